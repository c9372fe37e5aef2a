// The real program hosting while one peer stops reading and another floods:
// every other player is served with nothing lost or reordered, the host's own
// requests are answered, the stalled peer is dropped in time, and no frame
// of the host program waits on a socket.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "net_programs.h"
#include "support/headless.h"

namespace {

// The host program: hosts, creates the player "h", and every frame sends
// itself a message, takes up to 100 of the messages waiting and, every tenth
// frame and at the end, asks the host for the number of players. It measures the time its own commands
// take in each frame (the frame routine's pacing wait is not theirs), and
// ends when somebody sends "done" to everybody.
std::string HostScript(const std::string& port) {
    return "if not hosting then\n"
           "  hosting = true\n"
           "  print('host ' .. Lua_Nethost('" + port + "'))\n"
           "  me = Lua_Netcreateplayer('h')\n"
           "  got, nextNumber, disorder, own, frames, unanswered = 0, 0, 0, 0, 0, 0\n"
           "  plain, asking = {}, {}\n"
           "  everybodyThere, droppedAfter, firstAt = false, -1, nil\n"
           "end\n"
           "local start = Lua_Runtime()\n"
           "local finished = false\n"
           "Lua_Netsendmessage(me, me, 'own')\n"
           "local taken = 0\n"
           "repeat\n"
           "  taken = taken + 1\n"
           "  m = Lua_Netreceivemessage(me)\n"
           "  if m == 'done' then finished = true\n"
           "  elseif m == 'own' then own = own + 1\n"
           "  elseif m ~= '' then\n"
           "    if tonumber(string.sub(m, 1, 5)) ~= nextNumber or #m ~= 2000 then disorder = disorder + 1 end\n"
           "    nextNumber = nextNumber + 1\n"
           "    got = got + 1\n"
           "    if not firstAt then firstAt = Lua_Runtime() end\n"
           "  end\n"
           "until m == '' or taken == 100\n"
           "local asked = frames % 10 == 0 or finished\n"
           "if asked then\n"
           "  local count = Lua_Netplayercount()\n"
           "  if count == 0 then unanswered = unanswered + 1 end\n"
           "  if count == 4 then everybodyThere = true end\n"
           "  if count == 3 and everybodyThere and firstAt and droppedAfter < 0 then\n"
           "    droppedAfter = Lua_Runtime() - firstAt\n"
           "  end\n"
           "end\n"
           "frames = frames + 1\n"
           "local took = Lua_Runtime() - start\n"
           "if asked then asking[#asking + 1] = took else plain[#plain + 1] = took end\n"
           "if finished or Lua_Runtime() > 60000 then\n"
           "  table.sort(plain)\n"
           "  table.sort(asking)\n"
           "  print('got ' .. got .. ' disorder ' .. disorder .. ' own ' .. own)\n"
           "  print('unanswered ' .. unanswered .. ' dropped after ' .. math.floor(droppedAfter))\n"
           "  print(string.format('frames %d plain max %.1f p95 %.1f asking max %.1f median %.1f', frames,\n"
           "    plain[#plain], plain[math.ceil(#plain * 0.95)], asking[#asking], asking[math.ceil(#asking / 2)]))\n"
           "  Lua_End()\n"
           "end\n";
}

// A 2,000-byte message that carries its number in its first five bytes.
std::string Numbered(int number) {
    char head[8];
    std::snprintf(head, sizeof head, "%05d", number);
    return head + std::string(1995, 'f');
}

// The number after `label` in the program's output; -1 when it is not there.
double Figure(const std::string& out, const std::string& label) {
    size_t at = out.find(label);
    if (at == std::string::npos) return -1;
    return std::atof(out.c_str() + at + label.size());
}

}  // namespace

TEST(StalledPeer, HostProgramServesEveryoneWhileOnePeerStallsAndOneFloods) {
    const std::string dir = UseScratchTempDirectory();
    const uint16_t port = FreePort();
    WriteWholeFile(dir + "host.lua", HostScript(std::to_string(port)));
    ProgramRun run;
    std::thread program([&] { run = RunProgram("--frames 100000 --script " + dir + "host.lua", dir); });
    // A test that stops early still waits for the program, which gives up by itself.
    struct JoinAtEnd {
        std::thread& thread;
        ~JoinAtEnd() {
            if (thread.joinable()) thread.join();
        }
    } joinAtEnd{program};

    {
        // "s" takes nothing after joining, through a 4 KB window; "b" reads
        // all the time; "a" floods and reads what comes back.
        RawPlayer s(port, 4096, 20000), b(port, 0, 20000), a(port, 0, 20000);
        ASSERT_TRUE(s.Connected() && b.Connected() && a.Connected());
        int32_t sId = s.Join("s"), bId = b.Join("b"), aId = a.Join("a");
        ASSERT_GE(sId, kNetFirstPlayerId);
        ASSERT_GE(bId, kNetFirstPlayerId);
        ASSERT_GE(aId, kNetFirstPlayerId);
        std::string reply;
        for (RawPlayer* peer : {&s, &b, &a})
            ASSERT_TRUE(peer->Ask(kNetCheckRequest, peer == &s ? sId : peer == &b ? bId : aId, "", reply));
        s.SetReading(false);
        // The host's own player is there too before the flood starts.
        ASSERT_TRUE(WaitUntil([&] {
            return a.Ask(kNetCountRequest, aId, "", reply) && FromLittleEndian(reply) == 4;
        }, 10000));

        const int kMessages = 4000;
        std::string flood;
        for (int i = 0; i < kMessages; ++i) flood += Framed(Vlmn(kNetMessage, -1, aId, Numbered(i)));
        std::thread sending([&] { a.Send(flood); });
        bool allArrived = WaitUntil([&] { return b.CountMessagesFrom(aId) == (size_t)kMessages; }, 40000);
        if (!allArrived) a.Abort();
        sending.join();
        EXPECT_TRUE(allArrived) << b.CountMessagesFrom(aId) << " of " << kMessages << " reached b";
        std::vector<std::string> atB = b.MessagesFrom(aId);
        size_t inOrder = 0;
        while (inOrder < atB.size() && atB[inOrder] == Numbered((int)inOrder)) ++inOrder;
        EXPECT_EQ(inOrder, (size_t)kMessages) << "lost or reordered at b";
        EXPECT_TRUE(WaitUntil([&] { return a.CountMessagesFrom(aId) == (size_t)kMessages; }, 10000));

        // Checks are answered, for b and for a newcomer; the stalled peer is gone.
        EXPECT_TRUE(b.Ask(kNetCheckRequest, bId, "", reply));
        RawPlayer newcomer(port);
        EXPECT_TRUE(newcomer.Ask(kNetCheckRequest, 0, "", reply));
        EXPECT_TRUE(b.Ask(kNetCountRequest, bId, "", reply));
        EXPECT_EQ(FromLittleEndian(reply), 3) << "h, b and a; not s";
        b.SendPacket(kNetMessage, -1, bId, "done");
        program.join();
    }

    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string& out = run.out;
    // The host program's own figures, for the record.
    size_t figures = out.find("got ");
    if (figures != std::string::npos) std::printf("%s", out.substr(figures).c_str());
    EXPECT_NE(out.find("host 1\n"), std::string::npos) << out;
    EXPECT_EQ(Figure(out, "got "), 4000) << out;
    EXPECT_EQ(Figure(out, "disorder "), 0) << out;
    EXPECT_GT(Figure(out, "own "), 0) << out;
    EXPECT_EQ(Figure(out, "unanswered "), 0) << "the host's own requests went unanswered\n" << out;
    double droppedAfter = Figure(out, "dropped after ");
    EXPECT_GE(droppedAfter, 0) << out;
    EXPECT_LE(droppedAfter, kNetStallLimitMs + 2000) << out;
    // The commands of a frame that asks nothing never wait on a socket: the
    // issue's 50 ms for nearly every frame, and a bound ten times that for
    // the odd frame a loaded machine delays. A frame that asks waits for the
    // host's answer, which must not take seconds.
    EXPECT_LE(Figure(out, "plain max "), 500) << out;
    EXPECT_LE(Figure(out, "p95 "), 50) << out;
    EXPECT_LE(Figure(out, "asking max "), 1000) << out;
    EXPECT_LE(Figure(out, "median "), 100) << out;
}
