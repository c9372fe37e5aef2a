-- A two-program chat. Start the program with this script in two terminals:
--   build/revev --script examples/chat/main.lua
-- press H in the first to host, J in the second to join it on this machine,
-- then type a line and press Enter to send it to everybody.
-- The script runs once every frame; its globals keep the state between frames.

-- chatPort and chatTyping let a test run the example unattended: another
-- port, and keys typed for the user, one a frame.
local PORT = chatPort or "26000"

local function readchar()
  if chatTyping and chatTyping ~= "" then
    local c = string.sub(chatTyping, 1, 1)
    chatTyping = string.sub(chatTyping, 2)
    return c
  end
  return Lua_Readchar()
end

if not chat then
  chat = { state = "choose", lines = {}, typed = "", me = "", frame = 0, players = 0 }
end

local function say(line)
  table.insert(chat.lines, line)
  if #chat.lines > 16 then table.remove(chat.lines, 1) end
end

local function start(hosting)
  local ok
  if hosting then ok = Lua_Nethost(PORT) else ok = Lua_Netjoin("", PORT) end
  if ok == 0 then
    say(hosting and "cannot host on port " .. PORT or "nobody hosts on port " .. PORT)
    return
  end
  local name = hosting and "host" or "guest"
  chat.me = Lua_Netcreateplayer(name)
  if chat.me == "-1" then
    say("the host gave no player id")
    return
  end
  chat.state = "chat"
  say("you are " .. name .. " (player " .. chat.me .. ")")
  Lua_Netsendmessage(chat.me, 0, name .. " is here")
end

Lua_Blackscreen(1)
chat.frame = chat.frame + 1

if chat.state == "choose" then
  Lua_Print("H: host a chat   J: join the chat on this machine", 4, 4)
  local c = readchar()
  if c == "h" or c == "H" then start(true) end
  if c == "j" or c == "J" then start(false) end
else
  -- Typing: characters append, backspace drops one, Enter sends to all.
  local c = readchar()
  if c == "\r" or c == "\n" then
    if chat.typed ~= "" then Lua_Netsendmessage(chat.me, 0, chat.typed) end
    chat.typed = ""
  elseif c == "\b" then
    chat.typed = string.sub(chat.typed, 1, -2)
  elseif c ~= "" then
    chat.typed = chat.typed .. c
  end
  -- Everything that arrived since the last frame.
  while true do
    local text = Lua_Netreceivemessage(chat.me)
    if text == "" then break end
    say(Lua_Netplayername(Lua_Netlastsender()) .. ": " .. text)
  end
  -- Asking the host waits for its answer, so only once a second.
  if chat.frame % 60 == 1 then chat.players = Lua_Netplayercount() end
  Lua_Print("players: " .. chat.players, 4, 4)
end

for i, line in ipairs(chat.lines) do Lua_Print(line, 4, 8 + i * 12) end
Lua_Print("> " .. chat.typed .. "_", 4, 220)
