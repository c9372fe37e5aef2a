-- The demo script: run once every frame. Globals survive from frame to frame.
frame = (frame or 0) + 1
if Lua_Print then
  Lua_Blackscreen(1)
  Lua_Print("ReVev", 10, 10)
  Lua_Print("Frame " .. frame, 10, 30)
end
