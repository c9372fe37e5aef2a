-- The other program of the network exchange: hosts the game and answers
-- every ping with a pong to its sender, until it is asked to end.
if not ready then
  ready = true
  Lua_Channelopen(1, "port.txt", 1)
  local port = Lua_Channelreadline(1)
  Lua_Channelclose(1)
  local hosting = Lua_Nethost(port)
  me = Lua_Netcreateplayer("peer")
  Lua_Channelopen(2, "hosting.txt", 0)
  Lua_Channelwriteline(2, hosting .. " " .. me)
  Lua_Channelclose(2)
end
local got = Lua_Netreceivemessage(me)
while got ~= "" do
  if string.sub(got, 1, 4) == "ping" then Lua_Netsendmessage(me, Lua_Netlastsender(), "pong " .. got) end
  got = Lua_Netreceivemessage(me)
end
