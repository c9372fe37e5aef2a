-- The 3D example: an animated, textured torus turning under a point light in
-- blue fog. Run it with
--   build/revev --script examples/3d/main.lua
-- The program runs this script once every frame; its globals survive from
-- frame to frame. torus.ddd and torus.bmp were made by tools/makemodel.
-- ESC ends the program.

if not frame then
  -- First frame: the object into slot 1, its texture into sprite slot 1.
  if Lua_Loadobject(1, "torus.ddd") == 0 then print("torus.ddd did not load") end
  Lua_Loadsprite("torus.bmp", 1)
  frame = 0
end
frame = frame + 1

-- A black frame with a fresh depth buffer, then the 2D caption.
Lua_Blackscreen(1)
Lua_Print("ReVev 3D - frame " .. frame, 8, 8)

-- 3D mode: near 1, far 100, a field of view of 60 degrees; the camera a
-- little above the torus, looking at its centre.
Lua_Setup3d(1, 100, 60)
Lua_Cleardepth()
Lua_Camera(0, 1.6, 3.4, 0, 0, 0)

-- A white point light up and to the right (any cone between 90 and 180), and
-- linear blue fog from 2 to 7 units away from the eye.
Lua_Light(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120)
Lua_Fog(0xFF0000, 0, 2, 7)

-- The torus turns about y and tips towards the camera; its eight key frames
-- play once every two seconds, blended between frames.
Lua_Selecttextures(1, -1)
Lua_Cullmode(-1)
Lua_Rotate(frame * 1.5, 0, 1, 0)
Lua_Rotate(35, 1, 0, 0)
Lua_Drawanimated(1, 0, 7, (frame % 120) / 120, 1)
