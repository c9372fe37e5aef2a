-- Typed into through xdotool by window_keys_test: five frames a second, so
-- that each tap falls between two frames. For every key it counts the frames
-- in which the key read as down, was pressed and was released, and writes the
-- counts to taps.txt ("key down pressed released" per line) when they change.
if not tally then
  Lua_Framerate(5)
  Lua_Escapeend(0)
  tally = {}
  Lua_Channelopen(0, "ready.txt", 0)
  Lua_Channelclose(0)
end
local changed = false
for key = 0, 255 do
  local down, pressed, released = Lua_Keydown(key), Lua_Keypressed(key), Lua_Keyreleased(key)
  if down + pressed + released > 0 then
    local t = tally[key] or {0, 0, 0}
    tally[key] = {t[1] + down, t[2] + pressed, t[3] + released}
    changed = true
  end
end
if changed then
  Lua_Channelopen(0, "taps.new", 0)
  for key = 0, 255 do
    local t = tally[key]
    if t then Lua_Channelwriteline(0, key .. " " .. t[1] .. " " .. t[2] .. " " .. t[3]) end
  end
  Lua_Channelclose(0)
  Lua_Filecopy("taps.new", "taps.txt")
end
