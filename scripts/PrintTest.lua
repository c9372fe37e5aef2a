-- The demo script: the program runs it once every frame, and its globals
-- survive from frame to frame. It uses only the seven main bindings:
--   Lua_Print(text, x, y)      text in the current font, top-left corner at x, y
--   Lua_Blackscreen(1)         drops the background picture and clears the screen
--   Lua_Loadsprite(file, n)    loads a picture into sprite slot n
--   Lua_Drawsprite(n, x, y)    draws sprite n with its top-left corner at x, y
--   Lua_Loadbmp(file)          loads the background, drawn behind every frame
--   Lua_Setscreen(w, h, full) and Lua_Showscreen() are not needed here.
-- The screen is 320 x 240; ESC ends the program.

if not frame then
  -- First frame: load the pictures once. The ball's pink surround is the
  -- sprite key colour (red 255, blue 128), which becomes transparent.
  Lua_Loadbmp("scripts/sky.png")
  Lua_Loadsprite("scripts/ball.bmp", 1)
  frame = 0
end
frame = frame + 1

-- Every ten seconds night falls for two seconds: no background, black screen.
local phase = frame % 600
if phase == 480 then
  Lua_Blackscreen(1)
elseif phase == 0 then
  Lua_Loadbmp("scripts/sky.png")
end

-- The ball (32 x 32) rolls to and fro and bounces.
local x = (frame * 2) % 576
if x > 288 then x = 576 - x end
local y = 176 - math.abs(math.sin(frame / 24)) * 130
Lua_Drawsprite(1, x, y)

Lua_Print("ReVev - games in Lua", 8, 8)
Lua_Print(string.format("Frame %d", frame), 8, 224)
if phase >= 480 then Lua_Print("Night falls...", 104, 112) end
