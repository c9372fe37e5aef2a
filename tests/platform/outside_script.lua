-- Reads everything from outside every frame: the clock, random numbers, keys,
-- typed characters, the mouse, a joystick, messages of a network game, an
-- HTTP fetch, a started program's exit code and a file dialog's answer. One
-- line a frame, drawn too, and the screen saved every 30 frames. Ends itself
-- once it has seen each kind of input.
if not ready then
  ready = true
  frame = 0
  typed = ""
  pongs = 0
  clicks = 0
  joyMoves = 0
  Lua_Channelopen(1, "ports.txt", 1)
  local netPort = Lua_Channelreadline(1)
  httpPort = tonumber(Lua_Channelreadline(1))
  Lua_Channelclose(1)
  joined = Lua_Netjoin("127.0.0.1", netPort)
  me = Lua_Netcreateplayer("recorder")
  print("joined", joined, me, Lua_Joycount(), Lua_Joyname(0))
end
frame = frame + 1
local t = Lua_Runtime()
local r = Lua_Random(1000)
local x, y, left, right = Lua_Mouse()
if left == 1 then clicks = clicks + 1 end
typed = typed .. Lua_Readchar()
local jx, jy = Lua_Joyx(0), Lua_Joyy(0)
local dx, dy, b1, b2 = Lua_Joydigital()
if jx ~= 0 then joyMoves = joyMoves + 1 end
if joined == 1 and frame % 10 == 0 then Lua_Netsendmessage(me, 0, "ping " .. frame) end
local got = Lua_Netreceivemessage(me)
if got ~= "" then
  if string.sub(got, 1, 4) == "pong" then pongs = pongs + 1 end
  got = got .. " from " .. Lua_Netlastsender()
end
if frame == 20 then
  local ok = Lua_Httpfetch("127.0.0.1", "/hello.txt", httpPort, "fetched.txt")
  Lua_Channelopen(2, "fetched.txt", 1)
  print("fetch", ok, Lua_Channelreadline(2))
  Lua_Channelclose(2)
end
if frame == 25 then print("program", Lua_Runprogram("sh -c 'echo ran >> ran.txt; exit 7'", 1, 0)) end
if frame == 28 then print("dialog", Lua_Filedialog("Pictures|*.png", 1)) end
local line = table.concat({frame, t, r, x, y, left, right, Lua_Keydown(30), typed,
  string.format("%.4f %.4f", jx, jy), dx, dy, b1, b2, Lua_Joyhatx(0), Lua_Joyhaty(0), got}, " ")
print(line)
Lua_Blackscreen(1)
Lua_Print(line, 2, 10 + r % 200)
Lua_Print("*", x, y)
if frame % 30 == 0 then Lua_Savescreen("shot" .. frame .. ".png") end
if frame >= 120 and frame % 30 == 0 and string.find(typed, "hi") and clicks > 0 and pongs > 0 and joyMoves > 0 then
  print("seen everything")
  Lua_End()
end
