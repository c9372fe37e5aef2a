// The multiplayer protocol on loopback, with several programs as separate
// network records in one process and raw peers that send exactly the bytes a
// test wants: host and join, ids, counts, names, messages to one and to all,
// removals, and peers that forge replies, removals or send garbage.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

#include "net_programs.h"

namespace {

// Every message waiting for a local player, collected for a while.
std::vector<std::string> Collect(NetworkRecord& net, const std::string& id, int ms = 300) {
    std::vector<std::string> got;
    for (int waited = 0; waited < ms; waited += 10) {
        for (;;) {
            std::string one = Text(NetReceiveMessage(net, id.c_str()));
            if (one.empty()) break;
            got.push_back(one);
        }
        usleep(10000);
    }
    return got;
}

// True once the host has closed the raw peer's connection.
bool ClosedByHost(int fd) {
    RawReceive(fd, 2000, true);
    char byte;
    return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

}  // namespace

TEST(NetGame, HostAndJoinGiveIdsCountsAndNames) {
    uint16_t port = FreePort();
    Program host, joiner;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    EXPECT_EQ(Text(NetCreatePlayer(*host, "alice")), "101");
    ASSERT_EQ(NetJoin(*joiner, "", PortText(port).c_str()), 1.0);
    // The joiner's check made its anonymous connection player, id 102.
    EXPECT_EQ((*joiner).myId, 102);
    EXPECT_EQ(Text(NetCreatePlayer(*joiner, "bob")), "103");
    EXPECT_EQ(Text(NetCreatePlayer(*joiner, std::string(127, 'n').c_str())), "-1");
    EXPECT_EQ(Text(NetCreatePlayer(*joiner, std::string(126, 'c').c_str())), "104");

    EXPECT_EQ(NetPlayerCount(*joiner), 3.0);
    EXPECT_EQ(NetPlayerCount(*host), 3.0) << "connection players are not counted";
    EXPECT_EQ(Text(NetPlayerId(*joiner, 0)), "101") << "the index is 0-based";
    EXPECT_EQ(Text(NetPlayerId(*joiner, 1)), "103");
    EXPECT_EQ(Text(NetPlayerId(*joiner, 2)), "104");
    EXPECT_EQ(Text(NetPlayerId(*joiner, 3)), "0");
    EXPECT_EQ(Text(NetPlayerId(*joiner, -1)), "0");
    EXPECT_EQ(Text(NetPlayerName(*host, "103")), "bob");
    EXPECT_EQ(Text(NetPlayerName(*joiner, "101")), "alice");
    EXPECT_EQ(Text(NetPlayerName(*joiner, "104")), std::string(126, 'c'));
    EXPECT_EQ(Text(NetPlayerName(*joiner, "999")), "");

    // Hosting again starts a fresh game with fresh ids.
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    EXPECT_EQ(Text(NetCreatePlayer(*host, "carol")), "101");
}

TEST(NetGame, CommandsWithoutAGameFailAtOnce) {
    Program lone;
    EXPECT_EQ(Text(NetCreatePlayer(*lone, "x")), "-1");
    EXPECT_EQ(NetPlayerCount(*lone), 0.0);
    EXPECT_EQ(Text(NetPlayerName(*lone, "101")), "NO_DATA");
    EXPECT_EQ(NetSendMessage(*lone, "101", "101", "hi"), 0.0);
    EXPECT_EQ(Text(NetReceiveMessage(*lone, "101")), "");
    EXPECT_EQ(Text(NetLastSender(*lone)), "0");
    EXPECT_EQ(NetRemovePlayer(*lone, "101"), 1.0);
    std::string addresses = Text(NetLocalAddresses(*lone));
    EXPECT_NE(addresses.find("127.0.0.1:26000"), std::string::npos) << addresses;
}

TEST(NetGame, JoinFailsWhereNobodyListensOrNobodyAnswers) {
    Program joiner;
    uint16_t refused = FreePort();
    EXPECT_EQ(NetJoin(*joiner, "127.0.0.1", PortText(refused).c_str()), 0.0);
    EXPECT_EQ(NetJoin(*joiner, "name.invalid", "26000"), 0.0);

    // A listener that takes the connection and never answers: the check times out.
    uint16_t port = 0;
    int silent = RawListen(port);
    EXPECT_EQ(NetJoin(*joiner, "localhost", PortText(port).c_str()), 0.0);
    EXPECT_EQ((*joiner).threadRunning, 0);
    EXPECT_EQ((*joiner).connection, NL_INVALID);
    ::close(silent);
}

TEST(NetGame, MessagesToOnePlayerAndToAllArriveOnce) {
    uint16_t port = FreePort();
    Program host, second, third;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*second, "", PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*third, "", PortText(port).c_str()), 1.0);
    std::string h1 = Text(NetCreatePlayer(*host, "h1")), h2 = Text(NetCreatePlayer(*host, "h2"));
    std::string s1 = Text(NetCreatePlayer(*second, "s1"));
    std::string t1 = Text(NetCreatePlayer(*third, "t1")), t2 = Text(NetCreatePlayer(*third, "t2"));

    ASSERT_EQ(NetSendMessage(*second, s1.c_str(), t2.c_str(), "for t2"), 1.0);
    EXPECT_EQ(Collect(*third, t2), std::vector<std::string>{"for t2"});
    EXPECT_EQ(Text(NetLastSender(*third)), s1);
    EXPECT_TRUE(Collect(*third, t1, 50).empty());
    EXPECT_EQ(Text(NetReceiveMessage(*third, t2.c_str())), "");
    EXPECT_EQ(Text(NetLastSender(*third)), s1) << "an empty inbox leaves the last sender";

    // From a player of the host program, to everybody (recipient 0 means all),
    // and from another program: every player gets each once, nothing circulates.
    ASSERT_EQ(NetSendMessage(*host, h1.c_str(), "0", "from h1"), 1.0);
    ASSERT_EQ(NetSendMessage(*third, t1.c_str(), "-1", "from t1"), 1.0);
    std::vector<std::string> both{"from h1", "from t1"};
    for (auto [program, id] : {std::pair{host.net, h1}, {host.net, h2}, {second.net, s1}, {third.net, t1},
                               {third.net, t2}}) {
        std::vector<std::string> got = Collect(*program, id, 600);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, both) << id;
    }
    EXPECT_TRUE(Collect(*host, h1, 300).empty()) << "a message to all came round again";

    EXPECT_EQ(NetSendMessage(*second, s1.c_str(), t1.c_str(), std::string(2049, 'x').c_str()), 0.0);
    ASSERT_EQ(NetSendMessage(*second, s1.c_str(), t1.c_str(), std::string(2048, 'x').c_str()), 1.0);
    EXPECT_EQ(Collect(*third, t1), std::vector<std::string>{std::string(2048, 'x')});
}

TEST(NetGame, PlayersGoWhenTheirProgramEndsOrItsConnectionDrops) {
    uint16_t port = FreePort();
    Program host;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    NetCreatePlayer(*host, "stays");
    {
        Program leaving;
        ASSERT_EQ(NetJoin(*leaving, "", PortText(port).c_str()), 1.0);
        NetCreatePlayer(*leaving, "a");
        NetCreatePlayer(*leaving, "b");
        EXPECT_EQ(NetPlayerCount(*host), 3.0);
    }
    EXPECT_TRUE(WaitUntil([&] { return NetPlayerCount(*host) == 1.0; }));

    // A dropped connection without any goodbye.
    int raw = RawConnect(port);
    RawSend(raw, Framed(Vlmn(kNetJoin, 0, 0, JoinInfo("raw"))));
    EXPECT_TRUE(WaitUntil([&] { return NetPlayerCount(*host) == 2.0; }));
    RawReset(raw);
    EXPECT_TRUE(WaitUntil([&] { return NetPlayerCount(*host) == 1.0; }));
    EXPECT_EQ(Text(NetPlayerName(*host, Text(NetPlayerId(*host, 0)).c_str())), "stays");

    // Removal asked by the owner.
    Program owner;
    ASSERT_EQ(NetJoin(*owner, "", PortText(port).c_str()), 1.0);
    std::string id = Text(NetCreatePlayer(*owner, "gone soon"));
    EXPECT_EQ(NetPlayerCount(*owner), 2.0);
    NetRemovePlayer(*owner, id.c_str());
    EXPECT_TRUE(WaitUntil([&] { return NetPlayerCount(*owner) == 1.0; }));
}

TEST(NetGuards, ForgedRemovalsAndForgedRepliesChangeNothing) {
    uint16_t port = FreePort();
    Program host, victim;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*victim, "", PortText(port).c_str()), 1.0);
    std::string alice = Text(NetCreatePlayer(*host, "alice"));
    std::string bob = Text(NetCreatePlayer(*victim, "bob"));
    int raw = RawConnect(port);
    RawSend(raw, Framed(Vlmn(kNetJoin, 0, 0, JoinInfo("mallory"))));
    ASSERT_TRUE(WaitUntil([&] { return NetPlayerCount(*victim) == 3.0; }));

    // Removals of other connections' players, and a message in bob's name.
    RawSend(raw, Framed(Vlmn(kNetRemovePlayer, 0, std::stoi(alice), "")) +
                     Framed(Vlmn(kNetRemovePlayer, 0, std::stoi(bob), "")) +
                     Framed(Vlmn(kNetMessage, std::stoi(alice), std::stoi(bob), "forged")));
    usleep(200000);
    EXPECT_EQ(NetPlayerCount(*victim), 3.0);
    EXPECT_TRUE(Collect(*host, alice, 100).empty());

    // A stream of reply-typed packets aimed at the host's and the victim's
    // connection players while they ask.
    int32_t hostId = -1, victimId = (*victim).myId;
    NetPlayerCount(*host);
    hostId = (*host).myId;
    std::string forged;
    for (int32_t target : {hostId, victimId}) {
        // Shaped as requests, so that the host does not simply drop the peer.
        forged += Framed(Vlmn(kNetCountRequest, target, 0, ""));
        forged += Framed(Vlmn(kNetIndexRequest, target, 0, LittleEndian(555)));
        forged += Framed(Vlmn(kNetNameRequest, target, 0, "liar"));
        // A name request in the victim's name, asking for another player.
        forged += Framed(Vlmn(kNetNameRequest, 0, target, LittleEndian(std::stoi(bob))));
    }
    std::atomic<bool> done{false};
    std::thread flood([&] {
        while (!done) {
            RawSend(raw, forged);
            RawReceive(raw, 1);
            usleep(2000);
        }
    });
    for (int round = 0; round < 5; ++round) {
        EXPECT_EQ(NetPlayerCount(*host), 3.0);
        EXPECT_EQ(NetPlayerCount(*victim), 3.0);
        EXPECT_EQ(Text(NetPlayerId(*victim, 0)), alice);
        EXPECT_EQ(Text(NetPlayerName(*victim, alice.c_str())), "alice");
        EXPECT_EQ(Text(NetPlayerName(*host, alice.c_str())), "alice");
    }
    done = true;
    flood.join();
    ::close(raw);
}

TEST(NetGuards, OnlyTheAwaitedReplyFromTheHostIsTaken) {
    // A fake host that answers the check, then sends a reply of the wrong
    // type and an unasked one before the true answer.
    uint16_t port = 0;
    int fake = RawListen(port);
    Program joiner;
    std::thread host([&] {
        int peer = ::accept(fake, nullptr, nullptr);
        std::string stream;
        // The type of the next framed packet from the joiner.
        auto next = [&]() -> int {
            while (stream.size() < 4 + 17 || stream.size() < 4 + (size_t)(uint8_t)stream[3] + 256 * (uint8_t)stream[2]) {
                std::string more = RawReceive(peer, 3000);
                if (more.empty()) return -1;
                stream += more;
            }
            size_t length = 4 + (size_t)(uint8_t)stream[3] + 256 * (size_t)(uint8_t)stream[2];
            int type = (uint8_t)stream[8];
            stream.erase(0, length);
            return type;
        };
        EXPECT_EQ(next(), kNetJoin);
        RawSend(peer, Framed(Vlmn(kNetJoinReply, 102, 0, "")));
        EXPECT_EQ(next(), kNetCheckRequest);
        RawSend(peer, Framed(Vlmn(kNetCheckRequest, 102, 0, LittleEndian(1))));
        EXPECT_EQ(next(), kNetCountRequest);
        RawSend(peer, Framed(Vlmn(kNetNameRequest, 102, 0, "x")) +
                          Framed(Vlmn(kNetCountRequest, 999, 0, LittleEndian(7))) +
                          Framed(Vlmn(kNetCountRequest, 102, 0, LittleEndian(5))));
        RawReceive(peer, 500, true);
        ::close(peer);
    });
    ASSERT_EQ(NetJoin(*joiner, "", PortText(port).c_str()), 1.0);
    EXPECT_EQ((*joiner).myId, 102);
    EXPECT_EQ(NetPlayerCount(*joiner), 5.0);
    StopNetworkGame(*joiner);
    host.join();
    ::close(fake);
}

TEST(NetGuards, MalformedPacketsDropTheirPeerAndHarmNobody) {
    uint16_t port = FreePort();
    Program host, other;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*other, "", PortText(port).c_str()), 1.0);
    NetCreatePlayer(*host, "alice");
    NetCreatePlayer(*other, "bob");

    std::string unterminated = JoinInfo("");
    for (int i = 9; i < 136; ++i) unterminated[i] = 'z';
    std::string badFlag = JoinInfo("f");
    badFlag[8] = 2;
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"short", Framed("VLMN\x03")},
        {"wrong magic", Framed("XLMN" + Vlmn(kNetMessage, -1, 101, "hi").substr(4))},
        {"length beyond the packet", Framed(Vlmn(kNetMessage, -1, 101, "hi", 100))},
        {"length beyond the buffer", Framed(Vlmn(kNetMessage, -1, 101, "hi", 5000))},
        {"negative length", Framed(Vlmn(kNetMessage, -1, 101, "hi", -2))},
        {"lying short length", Framed(Vlmn(kNetMessage, -1, 101, "hello", 2))},
        {"unknown type", Framed(Vlmn(7, 0, 0, ""))},
        {"unknown high type", Framed(Vlmn(200, 0, 0, ""))},
        {"join without player info", Framed(Vlmn(kNetJoin, 0, 0, "abc"))},
        {"join with unterminated name", Framed(Vlmn(kNetJoin, 0, 0, unterminated))},
        {"join with a bad flag", Framed(Vlmn(kNetJoin, 0, 0, badFlag))},
        {"index request without index", Framed(Vlmn(kNetIndexRequest, 0, 101, ""))},
        {"count request with payload", Framed(Vlmn(kNetCountRequest, 0, 101, "xxxx"))},
        {"packet above the protocol's size", Framed(std::string(3000, 'V'))},
        {"not a framed stream", "GET / HTTP/1.0\r\n\r\n"},
        {"frame length beyond the largest packet", std::string("NL\xff\xff", 4) + "x"},
    };
    for (const Case& c : cases) {
        int raw = RawConnect(port);
        ASSERT_TRUE(RawSend(raw, Framed(Vlmn(kNetJoin, 0, 0, JoinInfo("intruder"))) + c.bytes)) << c.what;
        EXPECT_TRUE(ClosedByHost(raw)) << c.what;
        ::close(raw);
        EXPECT_EQ(NetPlayerCount(*other), 2.0) << c.what;
        EXPECT_EQ(Text(NetPlayerId(*other, 1)), "103") << c.what;
    }
    // Well-formed packets that mean nothing are ignored, not dropped.
    int raw = RawConnect(port);
    RawSend(raw, Framed(Vlmn(kNetJoinReply, 500, 0, "")) + Framed(Vlmn(kNetMessage, 4444, -7, "x")) +
                     Framed(Vlmn(kNetRemovePlayer, 0, -1, "")) + Framed(Vlmn(kNetCheckRequest, 0, 77, "")));
    std::string answer = RawReceive(raw, 1000);
    EXPECT_EQ(answer, Framed(Vlmn(kNetCheckRequest, 77, 0, LittleEndian(1))));
    EXPECT_EQ(NetPlayerCount(*other), 2.0);
    ::close(raw);
    ASSERT_EQ(NetSendMessage(*other, "103", "102", "still works"), 0.0 + 1.0);
}

TEST(NetStress, HundredConnectionsOpeningAndDroppingAtOnce) {
    uint16_t port = FreePort();
    Program host, other;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*other, "", PortText(port).c_str()), 1.0);
    NetCreatePlayer(*host, "alice");
    NetCreatePlayer(*other, "bob");
    std::mt19937 random(7);
    std::vector<int> raws;
    for (int i = 0; i < 100; ++i) {
        int raw = RawConnect(port);
        ASSERT_GE(raw, 0);
        // Appended, not "p" + ...: GCC 12 at -O2 warns of an overlap in the latter.
        std::string name = "p";
        name += std::to_string(i);
        std::string bytes = Framed(Vlmn(kNetJoin, 0, 0, JoinInfo(name)));
        // Some send half a packet, some random bytes.
        if (i % 3 == 1) bytes.resize(bytes.size() / 2);
        if (i % 3 == 2)
            for (char& c : bytes) c = (char)random();
        RawSend(raw, bytes);
        raws.push_back(raw);
    }
    for (size_t i = 0; i < raws.size(); ++i) {
        if (i % 2) RawReset(raws[i]);
        else ::close(raws[i]);
    }
    EXPECT_TRUE(WaitUntil([&] { return NetPlayerCount(*other) == 2.0; }));
    EXPECT_EQ(Text(NetPlayerName(*other, Text(NetPlayerId(*other, 1)).c_str())), "bob");
    EXPECT_TRUE(WaitUntil([&] {
        NetLock hold(*host);
        return (*host).peers.size() == 2 && (*host).hostPlayers.size() == 3;
    }));

    // A peer that keeps sending random bytes is dropped.
    int noisy = RawConnect(port);
    std::string noise(4096, '\0');
    for (char& c : noise) c = (char)random();
    noise[0] = 'X';
    RawSend(noisy, noise);
    EXPECT_TRUE(ClosedByHost(noisy));
    ::close(noisy);
    EXPECT_EQ(NetPlayerCount(*other), 2.0);
}

TEST(NetThroughput, ABurstOfMessagesIsNotHeldToOnePerPass) {
    uint16_t port = FreePort();
    Program host, sender;
    ASSERT_EQ(NetHost(*host, PortText(port).c_str()), 1.0);
    ASSERT_EQ(NetJoin(*sender, "", PortText(port).c_str()), 1.0);
    std::string to = Text(NetCreatePlayer(*host, "to"));
    std::string from = Text(NetCreatePlayer(*sender, "from"));
    const int kBurst = 400;
    uint64_t passesBefore = 0;
    {
        NetLock hold(*host);
        passesBefore = (*host).passes;
    }
    for (int i = 0; i < kBurst; ++i) ASSERT_EQ(NetSendMessage(*sender, from.c_str(), to.c_str(), "m"), 1.0);
    int received = 0;
    WaitUntil([&] {
        while (!Text(NetReceiveMessage(*host, to.c_str())).empty()) ++received;
        return received == kBurst;
    }, 20000);
    EXPECT_EQ(received, kBurst);
    NetLock hold(*host);
    // Counted in passes of the thread, not in time: one packet a pass would
    // need a pass for each.
    EXPECT_LT((*host).passes - passesBefore, (uint64_t)kBurst / 4);
}
