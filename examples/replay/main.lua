-- A small game to record and replay: the arrow keys move the square, a click
-- leaves a mark where the pointer is, space changes the colour at random.
if not ready then
  ready = true
  x, y, colour = 150, 110, 1
  marks = {}
  wasDown = 0
end
if Lua_Keydown(203) == 1 then x = x - 2 end
if Lua_Keydown(205) == 1 then x = x + 2 end
if Lua_Keydown(200) == 1 then y = y - 2 end
if Lua_Keydown(208) == 1 then y = y + 2 end
if Lua_Keypressed(57) == 1 then colour = Lua_Random(6) + 1 end
local mx, my, left = Lua_Mouse()
if left == 1 and wasDown == 0 then marks[#marks + 1] = {mx, my} end
wasDown = left

Lua_Blackscreen(1)
for _, mark in ipairs(marks) do Lua_Print("+", mark[1], mark[2]) end
Lua_Print(string.rep("#", colour), x, y)
Lua_Print("time " .. math.floor(Lua_Runtime()), 4, 4)
