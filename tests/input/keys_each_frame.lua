-- Reads every input command each frame, as a game loop would, and checks that
-- with nothing pressed everything reads as idle.
frames = (frames or 0) + 1
local down = 0
for key = 0, 255 do down = down + Lua_Keydown(key) + Lua_Keypressed(key) + Lua_Keyreleased(key) end
local x, y, left, right = Lua_Mouse()
local char = Lua_Readchar()
local moved = Lua_Mouseaxis(0) + Lua_Mouseaxis(1) + Lua_Mouseaxis(2)
local buttons = Lua_Mouseaxis(3) + Lua_Mouseaxis(4) + Lua_Mouseaxis(5) + Lua_Anybutton()
local joy = Lua_Joyx(0) + Lua_Joyy(0) + Lua_Joyz(0) + Lua_Joyrx(0) + Lua_Joyry(0) + Lua_Joyrz(0)
local hat = Lua_Joyhatx(0) + Lua_Joyhaty(0)
local dx, dy, b1, b2 = Lua_Joydigital()
local name = Lua_Joyname(0)
local idle = down == 0 and left == 0 and right == 0 and char == "" and Lua_Anykey() == 0
  and buttons == 0 and joy == 0 and hat == 0 and dx == 0 and dy == 0 and b1 == 0 and b2 == 0
  and type(x) == "number" and type(y) == "number" and name == "" and Lua_Joycount() == 0
  and Lua_Keychar(30) == 97 and Lua_Keychar(28) == 10 and Lua_Keychar() == 0
Lua_Setmouse(x, y)
Lua_Showpointer(1)
Lua_Joyforce(0, 100, 1, 1)
print("frame " .. frames .. (idle and " idle" or " busy") .. " moved " .. moved)
