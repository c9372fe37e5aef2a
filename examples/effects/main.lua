-- Shading effects: a cube built by the script turns above a floor and casts
-- its stencil shadow there, beside a second cube drawn in cartoon bands.
if not made then
  made = 1
  -- The floor: one strip, 20 units square, facing up.
  Lua_Normalmode(2)
  Lua_Beginobject(2)
  Lua_Addvertex(-10, 0, -10, 0, 0, 0x60A060)
  Lua_Addvertex(10, 0, -10, 1, 0, 0x60A060)
  Lua_Addvertex(-10, 0, 10, 0, 1, 0x60A060)
  Lua_Addvertex(10, 0, 10, 1, 1, 0x60A060)
  Lua_Endobject()
  -- A closed cube of half side 0.75, one strip a face, so that the shadow
  -- volume finds every edge's neighbour.
  local function cross(a, b)
    return {a[2] * b[3] - a[3] * b[2], a[3] * b[1] - a[1] * b[3], a[1] * b[2] - a[2] * b[1]}
  end
  local axes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}
  local h = 0.75
  Lua_Beginobject(1)
  for i, n in ipairs(axes) do
    if i > 1 then Lua_Newstrip() end
    local u = axes[i % 3 + 1]
    local v = cross(u, n)
    for _, c in ipairs({{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}) do
      Lua_Addvertex(h * (n[1] + c[1] * u[1] + c[2] * v[1]), h * (n[2] + c[1] * u[2] + c[2] * v[2]),
                    h * (n[3] + c[1] * u[3] + c[2] * v[3]), (c[1] + 1) / 2, (c[2] + 1) / 2, 0xFFFFFF)
    end
  end
  Lua_Endobject()
  Lua_Shaderamp({0.35, 0.7, 1})
  turn = 0
end
turn = turn + 1

Lua_Blackscreen(1)
Lua_Setup3d(1, 100, 60)
Lua_Cleardepth()
Lua_Camera(0, 5, 9, 0, 0.5, 0)
Lua_Selecttextures(-1, -1)

-- The floor and the turning cube, lit from above and to the side.
Lua_Light(0, 0xFFFFFF, 0, 0, 0, -14, -9, -10, 180)
Lua_Drawobject(2, 0)
Lua_Pushtransform()
Lua_Move(-1, 1.5, 0)
Lua_Rotate(turn, 0, 1, 0)
Lua_Drawobject(1, 0)
Lua_Poptransform()

-- The cartoon cube: its own bands stand in for the light.
Lua_Light(0, 0, 0, 0, 0, 0, 0, 0, 0)
Lua_Cullmode(1)
Lua_Light(-2, 0xFFFFFF, 14, 9, 10, 0, 0, 0, 1)
Lua_Pushtransform()
Lua_Move(2.5, 1, 1)
Lua_Rotate(30 + turn, 1, 1, 0)
Lua_Drawobject(1, 0)
Lua_Poptransform()
Lua_Light(-2, 0, 0, 0, 0, 0, 0, 0, 0)
Lua_Cullmode(0)

-- The shadow of the turning cube; the pass ends with the frame.
Lua_Light(-3, 0xFFFFFF, 14, 9, 10, 0, 0, 0, 1)
Lua_Pushtransform()
Lua_Move(-1, 1.5, 0)
Lua_Rotate(turn, 0, 1, 0)
Lua_Drawobject(1, 0)
Lua_Poptransform()
