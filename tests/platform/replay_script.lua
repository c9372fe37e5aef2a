-- Reads the clock, random numbers, keys and the mouse every frame, prints one
-- line and draws from them, and saves the screen every 30 frames.
if not ready then
  ready = true
  frame = 0
end
frame = frame + 1
local t = Lua_Runtime()
local r = Lua_Random(1000)
local x, y, left, right = Lua_Mouse()
local line = table.concat({frame, t, r, Lua_Random(7), Lua_Keydown(57), Lua_Keypressed(30),
  x, y, left, right, Lua_Mouseaxis(0), Lua_Mouseaxis(1)}, " ")
print(line)
Lua_Blackscreen(1)
Lua_Print(line, 2, 10 + r % 200)
Lua_Print("*", x, y)
if frame % 30 == 0 then Lua_Savescreen("shot" .. frame .. ".png") end
