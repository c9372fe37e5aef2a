-- Run by path_lua_test through the real program: a map built in a number
-- array, a path found round a wall, the refusals a script sees.
local map = Lua_Numberarray(5, 3)
for y = 0, 2 do
  for x = 0, 4 do
    Lua_Set(map, x, y, 1)
  end
end
-- A wall down column 2 with a gap at the bottom.
Lua_Set(map, 2, 0, 0)
Lua_Set(map, 2, 1, 0)

local path = Lua_Numberarray()
local n = Lua_Pathfind(map, path, 0.5, 0, 0, 4, 0)
local cells = {}
for i = 0, n - 1 do
  cells[#cells + 1] = Lua_Get(path, i, 0) .. "," .. Lua_Get(path, i, 1)
end
print("path " .. n .. " rows " .. Lua_Bounds(path, 0) .. "x" .. Lua_Bounds(path, 1) .. ": " .. table.concat(cells, " "))

-- Closing the gap leaves no way round: no rows, 0.
Lua_Set(map, 2, 2, 0)
print("walled " .. Lua_Pathfind(map, path, 0.5, 0, 0, 4, 0) .. " rows " .. Lua_Bounds(path, 0))

-- Start outside the map, start equal to goal: 0, path kept as it was.
Lua_Fill(path, {7, 8})
print("outside " .. Lua_Pathfind(map, path, 0.5, -1, 0, 4, 0) .. " same " .. Lua_Pathfind(map, path, 0.5, 1, 1, 1, 1) ..
      " kept " .. Lua_Bounds(path, 0) .. " " .. Lua_Get(path, 0) .. " " .. Lua_Get(path, 1))

-- Missing numbers read as 0: start and goal both (0, 0).
print("missing " .. Lua_Pathfind(map, path))
print("not an array " .. tostring(pcall(Lua_Pathfind, map, 5, 0.5, 0, 0, 1, 0)))
