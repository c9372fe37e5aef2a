// Writes to peers that read slowly or not at all: each connection's queue of
// what the system has not taken yet, the limits that end a connection whose
// peer stopped taking, and programs whose commands never wait on a socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "net_programs.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A 2,000-byte message that carries its number in its first six bytes.
std::string Numbered(int number) {
    char head[8];
    std::snprintf(head, sizeof head, "%06d", number);
    return head + std::string(1994, 'n');
}

// True when the messages are Numbered(0), Numbered(1), ... in that order.
::testing::AssertionResult InOrder(const std::vector<std::string>& messages, size_t expected) {
    if (messages.size() != expected)
        return ::testing::AssertionFailure() << messages.size() << " messages, not " << expected;
    for (size_t i = 0; i < messages.size(); ++i)
        if (messages[i] != Numbered((int)i)) return ::testing::AssertionFailure() << "message " << i << " differs";
    return ::testing::AssertionSuccess();
}

// Takes every message waiting for a local player.
void Drain(NetworkRecord& net, const std::string& id, std::vector<std::string>& into) {
    for (;;) {
        std::string one = Text(NetReceiveMessage(net, id.c_str()));
        if (one.empty()) return;
        into.push_back(one);
    }
}

// Durations of a program's frames, in milliseconds.
struct FrameTimes {
    std::vector<double> ms;
    double Max() const { return ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()); }
    double Percentile(double p) const {
        if (ms.empty()) return 0.0;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, (size_t)(p / 100.0 * (double)sorted.size()))];
    }
};

// The next framed packet of the game on a raw socket; type 0 when none came.
RawPacket NextPacket(int fd, std::string& stream, int timeoutMs = 3000) {
    for (;;) {
        if (stream.size() >= 4) {
            size_t length = ((size_t)(uint8_t)stream[2] << 8) | (uint8_t)stream[3];
            if (stream.size() >= 4 + length && length >= 17) {
                RawPacket packet;
                packet.type = (uint8_t)stream[8];
                packet.a = FromLittleEndian(stream.substr(13, 4));
                packet.b = FromLittleEndian(stream.substr(17, 4));
                packet.payload = stream.substr(21, length - 17);
                stream.erase(0, 4 + length);
                return packet;
            }
        }
        std::string more = RawReceive(fd, timeoutMs);
        if (more.empty()) return RawPacket();
        stream += more;
    }
}

}  // namespace

TEST(PeerQueues, APeerThatStopsReadingIsDroppedAfterTheStallTime) {
    uint16_t port = FreePort();
    Program host, sender;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*sender, "", PortText(port).c_str()), 1.0);
    std::string h = Text(NetCreatePlayer(*host, "h"));
    std::string from = Text(NetCreatePlayer(*sender, "from"));
    RawPlayer stalled(port, 4096);
    int32_t stalledId = stalled.Join("stalled");
    ASSERT_GE(stalledId, kNetFirstPlayerId);
    stalled.SetReading(false);
    ASSERT_EQ(NetPlayerCount(*sender), 3.0);

    // Below the byte limit, but above what the system holds for the peer
    // (its send buffer grows to a few MB on loopback), so that the host's
    // own queue waits on it.
    const int kMessages = 1800;
    ASSERT_LT(kMessages * 2021, kNetQueueLimit);
    std::string to = std::to_string(stalledId);
    auto start = Clock::now();
    for (int i = 0; i < kMessages; ++i)
        ASSERT_EQ(NetSendMessage(*sender, from.c_str(), to.c_str(), Numbered(i).c_str()), 1.0);
    // Meanwhile everybody else is served.
    ASSERT_EQ(NetSendMessage(*sender, from.c_str(), h.c_str(), Numbered(0).c_str()), 1.0);
    std::vector<std::string> atHost;
    EXPECT_TRUE(WaitUntil([&] {
        Drain(*host, h, atHost);
        return atHost.size() == 1;
    }));
    EXPECT_EQ(NetPlayerCount(*host), 3.0);

    ASSERT_TRUE(WaitUntil([&] { return NetPlayerCount(*sender) == 2.0; }, kNetStallLimitMs + 10000));
    double droppedAfter = MillisecondsSince(start);
    EXPECT_GE(droppedAfter, kNetStallLimitMs) << "dropped before the stall time";
    EXPECT_LE(droppedAfter, kNetStallLimitMs + 3000);
    {
        NetLock hold(*host);
        EXPECT_EQ((*host).peers.size(), 2u) << "the stalled peer's socket is gone";
        // The host knows its own connection among its peers: no limit ends that one.
        EXPECT_NE((*host).ownPeer, NL_INVALID);
    }

    // What the dropped peer did get is whole and in order, then the close.
    stalled.SetReading(true);
    EXPECT_TRUE(WaitUntil([&] { return stalled.Closed(); }));
    std::vector<std::string> got = stalled.MessagesFrom(std::stoi(from));
    EXPECT_LT(got.size(), (size_t)kMessages);
    EXPECT_TRUE(InOrder(got, got.size()));

    ASSERT_EQ(NetSendMessage(*host, h.c_str(), from.c_str(), Numbered(0).c_str()), 1.0);
    std::vector<std::string> atSender;
    EXPECT_TRUE(WaitUntil([&] {
        Drain(*sender, from, atSender);
        return atSender.size() == 1;
    }));
}

TEST(PeerQueues, ASlowReaderWithinTheLimitsGetsEverything) {
    uint16_t port = FreePort();
    Program host, sender, fast;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*sender, "", PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*fast, "", PortText(port).c_str()), 1.0);
    std::string h = Text(NetCreatePlayer(*host, "h"));
    std::string from = Text(NetCreatePlayer(*sender, "from"));
    std::string quick = Text(NetCreatePlayer(*fast, "fast"));
    RawPlayer slow(port);
    int32_t slowId = slow.Join("slow");
    ASSERT_GE(slowId, kNetFirstPlayerId);
    ASSERT_EQ(NetPlayerCount(*sender), 4.0);

    // About 3 MB to everybody, while the slow reader first takes nothing for
    // well under the stall time, then takes 16 KB every 10 ms.
    const int kMessages = 1500;
    ASSERT_LT(kMessages * 2021, kNetQueueLimit);
    slow.SetReading(false);
    for (int i = 0; i < kMessages; ++i)
        ASSERT_EQ(NetSendMessage(*sender, from.c_str(), "-1", Numbered(i).c_str()), 1.0) << i;
    std::vector<std::string> atHost, atSender, atFast;
    auto drainPrograms = [&] {
        Drain(*host, h, atHost);
        Drain(*sender, from, atSender);
        Drain(*fast, quick, atFast);
    };
    auto pause = Clock::now();
    while (MillisecondsSince(pause) < kNetStallLimitMs / 2) {
        drainPrograms();
        usleep(10000);
    }
    slow.SetReading(true, 16384);
    EXPECT_TRUE(WaitUntil([&] {
        drainPrograms();
        return slow.CountMessagesFrom(std::stoi(from)) == (size_t)kMessages && atHost.size() == (size_t)kMessages &&
               atSender.size() == (size_t)kMessages && atFast.size() == (size_t)kMessages;
    }, 30000));
    EXPECT_TRUE(InOrder(slow.MessagesFrom(std::stoi(from)), kMessages));
    EXPECT_TRUE(InOrder(atHost, kMessages));
    EXPECT_TRUE(InOrder(atSender, kMessages));
    EXPECT_TRUE(InOrder(atFast, kMessages));
    std::string reply;
    EXPECT_TRUE(slow.Ask(kNetCheckRequest, slowId, "", reply)) << "the slow reader is still in the game";
    EXPECT_EQ(NetPlayerCount(*fast), 4.0);
}

TEST(PeerQueues, AProgramWhoseHostStopsReadingKeepsItsFrames) {
    // A host that answers the joins and the check, then reads nothing more.
    uint16_t port = 0;
    int listener = RawListen(port);
    std::atomic<bool> release{false};
    std::string arrived;
    std::thread fakeHost([&] {
        int peer = ::accept(listener, nullptr, nullptr);
        std::string stream;
        int32_t nextId = 102;
        for (int answered = 0; answered < 3;) {
            RawPacket packet = NextPacket(peer, stream);
            if (packet.type == 0) break;
            if (packet.type == kNetJoin) {
                RawSend(peer, Framed(Vlmn(kNetJoinReply, nextId++, 0, "")));
                ++answered;
            } else if (packet.type == kNetCheckRequest) {
                RawSend(peer, Framed(Vlmn(kNetCheckRequest, packet.b, 0, LittleEndian(1))));
                ++answered;
            }
        }
        while (!release) usleep(10000);
        arrived = stream + RawReceive(peer, 3000, true);
        ::close(peer);
    });
    Program client;
    ASSERT_EQ(NetJoin(*client, "", PortText(port).c_str()), 1.0);
    std::string me = Text(NetCreatePlayer(*client, "me"));
    ASSERT_EQ(me, "103");

    // Frames of ten messages to everybody and a look at the inbox, until the
    // connection to the silent host is given up.
    FrameTimes frames;
    int accepted = 0, refused = 0;
    auto start = Clock::now();
    double droppedAfter = -1.0;
    while (MillisecondsSince(start) < kNetStallLimitMs + 5000) {
        auto frame = Clock::now();
        for (int i = 0; i < 10; ++i) {
            if (NetSendMessage(*client, me.c_str(), "-1", Numbered(accepted).c_str()) == 1.0) ++accepted;
            else ++refused;
        }
        NetReceiveMessage(*client, me.c_str());
        frames.ms.push_back(MillisecondsSince(frame));
        NLint queued = 0, stalledMs = 0;
        if (!nlGetQueueState((*client).connection, queued, stalledMs)) {
            droppedAfter = MillisecondsSince(start);
            break;
        }
        usleep(5000);
    }
    EXPECT_LE(frames.Max(), 500.0) << "a frame waited on the socket";
    EXPECT_LE(frames.Percentile(95), 50.0);
    EXPECT_GE((double)accepted * 2021, (double)kNetQueueLimit - 2021) << "queued up to the byte limit";
    EXPECT_GT(refused, 0) << "writes past the byte limit are refused";
    EXPECT_GE(droppedAfter, kNetStallLimitMs) << "the connection ends after the stall time, not before";
    EXPECT_LE(droppedAfter, kNetStallLimitMs + 3000);

    // Without a connection, commands fail at once instead of waiting.
    auto late = Clock::now();
    EXPECT_EQ(NetSendMessage(*client, me.c_str(), "-1", "x"), 0.0);
    EXPECT_EQ(NetPlayerCount(*client), 0.0);
    EXPECT_LE(MillisecondsSince(late), 500.0);

    // What reached the host is whole and in order.
    release = true;
    fakeHost.join();
    ::close(listener);
    std::vector<std::string> messages;
    for (size_t at = 0; arrived.size() - at >= 4;) {
        size_t length = ((size_t)(uint8_t)arrived[at + 2] << 8) | (uint8_t)arrived[at + 3];
        if (arrived.size() - at < 4 + length || length < 17) break;
        if ((uint8_t)arrived[at + 8] == kNetMessage) messages.push_back(arrived.substr(at + 21, length - 17));
        at += 4 + length;
    }
    EXPECT_GT(messages.size(), 0u);
    EXPECT_TRUE(InOrder(messages, messages.size()));
}
