-- Run by lua_strings_test through the real program: arrays, SplitText and the
-- text and number commands as a script sees them.
local words = Lua_Textarray()
local n = Lua_Splittext(",alpha,,beta;gamma,", words, ",;")
print("pieces " .. n .. " bounds " .. Lua_Bounds(words, 0))
for i = 0, n - 1 do
  print("piece " .. i .. " [" .. Lua_Get(words, i) .. "]")
end
Lua_Set(words, 1, "changed")
print("set [" .. Lua_Get(words, 1) .. "]")

local grid = Lua_Numberarray(3, 2)
Lua_Set(grid, 2, 1, 7.5)
print("grid " .. Lua_Bounds(grid, 0) .. "x" .. Lua_Bounds(grid, 1) .. " " .. Lua_Get(grid, 2, 1) .. " " .. Lua_Get(grid, 0, 0))
Lua_Redim(grid, 4, 2)
print("redim " .. Lua_Get(grid, 2, 1) .. " " .. Lua_Get(grid, 3, 1))
local list = Lua_Numberarray()
Lua_Fill(list, {5, 6, 7})
local copy = Lua_Numberarray()
Lua_Assign(copy, list)
print("fill " .. Lua_Bounds(copy, 0) .. " " .. Lua_Get(copy, 2))

print("mid [" .. Lua_Textmid("hello", 1, 3) .. "] [" .. Lua_Textmid("hello", 3, 10) .. "]")
print("replace " .. Lua_Textreplace("a-b-c", "-", "+"))
print("math " .. Lua_Mod(-7, 3) .. " " .. Lua_Atan(1, 1) .. " " .. Lua_Acos(-2) .. " " .. Lua_Overlap(0, 0, 10, 10, 10, 0, 5, 5))
print("random " .. Lua_Random(0))
print("text " .. Lua_Str(1 / 3) .. " " .. Lua_Str(3) .. " " .. Lua_Val("  12.5kg") .. " " .. Lua_Find("hello", "l") .. " " .. Lua_Hex("\15\160") .. " [" .. Lua_Format(6, 2, 3.14159) .. "]")
