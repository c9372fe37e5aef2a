-- Run by net_lua_test through the real program: a game hosted and played by
-- one program, the results a script sees, and an end with the game running.
print("host " .. Lua_Nethost("47811"))
local a = Lua_Netcreateplayer("alice")
local b = Lua_Netcreateplayer("bob")
print("ids " .. a .. " " .. b .. " " .. Lua_Netcreateplayer(string.rep("n", 127)))
print("count " .. Lua_Netplayercount() .. " first " .. Lua_Netplayerid(0) .. " name " .. Lua_Netplayername(b))
print("send " .. Lua_Netsendmessage(a, b, "hi bob") .. " " .. Lua_Netsendmessage(a, 0, "hi all"))
local got = {}
for i = 1, 200 do
  local m = Lua_Netreceivemessage(b)
  if m ~= "" then got[#got + 1] = m .. " from " .. Lua_Netlastsender() end
  if #got == 2 then break end
  Lua_Netplayercount()
end
print("bob got: " .. table.concat(got, ", "))
print("alice got: " .. Lua_Netreceivemessage(a))
print("fetch " .. Lua_Httpfetch("127.0.0.1", "/", 1, "fetched.txt"))
