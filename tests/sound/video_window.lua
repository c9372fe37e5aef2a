-- Run by video_window_test in a real 640 x 480 window: plays a looping video
-- twice, writing a file before each start and after each end (with the
-- result), then goes on drawing frames and writes after.txt at the tenth.
local function mark(name, text)
  Lua_Channelopen(0, name, 0)
  Lua_Channelwriteline(0, text or "")
  Lua_Channelclose(0)
end
if not stage then
  stage = 0
  Lua_Setscreen(640, 480, 0)
end
if stage < 2 then
  stage = stage + 1
  mark("playing" .. stage .. ".txt")
  local result = Lua_Playvideo("clip.avi", 1)
  mark("ended" .. stage .. ".txt", tostring(result))
else
  after = (after or 0) + 1
  if after == 10 then mark("after.txt") end
end
