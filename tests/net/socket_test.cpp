// The socket layer on loopback: the packet framing every peer relies on, the
// read results of a closed, reset or garbled stream, groups, addresses, the
// counted library references, blocking streams and the outgoing queue of
// writes that do not block.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "net/packet_stream.h"
#include "net/socket_layer.h"
#include "net_test_support.h"

namespace {

// A library reference for the test's lifetime.
struct NetLibrary {
    NetLibrary() {
        nlInit();
        nlSelectNetwork(NL_IP);
    }
    ~NetLibrary() { nlShutdown(); }
};

// A listening packet socket and its port.
NLsocket ListenOnAnyPort(uint16_t& port, NLenum type = NL_RELIABLE_PACKETS) {
    NLsocket listener = nlOpen(0, type);
    EXPECT_NE(listener, NL_INVALID);
    EXPECT_TRUE(nlListen(listener));
    NLaddress at;
    EXPECT_TRUE(nlGetLocalAddr(listener, at));
    port = at.port;
    return listener;
}

NLsocket AcceptWithin(NLsocket listener, int timeoutMs = 2000) {
    NLsocket accepted = NL_INVALID;
    WaitUntil([&] { return (accepted = nlAcceptConnection(listener)) != NL_INVALID; }, timeoutMs);
    return accepted;
}

// Reads until a packet or an error comes; the read's result.
NLint ReadWithin(NLsocket socket, char* buffer, NLint size, int timeoutMs = 2000) {
    NLint got = 0;
    WaitUntil([&] { return (got = nlRead(socket, buffer, size)) != 0; }, timeoutMs);
    return got;
}

}  // namespace

TEST(PacketFraming, HeaderIsMarkThenBigEndianLength) {
    uint8_t body[300];
    for (int i = 0; i < 300; ++i) body[i] = (uint8_t)i;
    std::vector<uint8_t> framed = FramePacket(body, 300);
    ASSERT_EQ(framed.size(), 304u);
    EXPECT_EQ(framed[0], 'N');
    EXPECT_EQ(framed[1], 'L');
    EXPECT_EQ(framed[2], 1);
    EXPECT_EQ(framed[3], 44);
    EXPECT_EQ(0, std::memcmp(framed.data() + 4, body, 300));

    PacketScan whole = ScanPacket(framed.data(), framed.size());
    EXPECT_EQ(whole.status, PacketScan::kWhole);
    EXPECT_EQ(whole.length, 300u);
    for (size_t cut : {0u, 1u, 3u, 4u, 303u})
        EXPECT_EQ(ScanPacket(framed.data(), cut).status, PacketScan::kIncomplete) << cut;

    const uint8_t wrongMark[] = {'N', 'X', 0, 1, 7};
    const uint8_t wrongFirst[] = {'V'};
    const uint8_t tooLong[] = {'N', 'L', 0x40, 0x01};  // 16,385
    const uint8_t longest[] = {'N', 'L', 0x40, 0x00};  // 16,384 is allowed
    EXPECT_EQ(ScanPacket(wrongMark, 5).status, PacketScan::kLostSync);
    EXPECT_EQ(ScanPacket(wrongFirst, 1).status, PacketScan::kLostSync);
    EXPECT_EQ(ScanPacket(tooLong, 4).status, PacketScan::kLostSync);
    EXPECT_EQ(ScanPacket(longest, 4).status, PacketScan::kIncomplete);
}

TEST(PacketSockets, EachWriteArrivesAsOneWholeRead) {
    NetLibrary library;
    uint16_t port = 0;
    NLsocket listener = ListenOnAnyPort(port);
    NLsocket client = nlOpen(0, NL_RELIABLE_PACKETS);
    ASSERT_TRUE(nlConnect(client, nlStringToAddr(("127.0.0.1:" + std::to_string(port)).c_str())));
    NLsocket server = AcceptWithin(listener);
    ASSERT_NE(server, NL_INVALID);

    char buffer[NL_MAX_PACKET_LENGTH];
    EXPECT_EQ(nlRead(server, buffer, sizeof buffer), 0) << "nothing sent yet";
    std::string big(NL_MAX_PACKET_LENGTH, 'x');
    ASSERT_EQ(nlWrite(client, "one", 3), 3);
    ASSERT_EQ(nlWrite(client, big.data(), (NLint)big.size()), (NLint)big.size());
    ASSERT_EQ(nlWrite(client, "three", 5), 5);
    EXPECT_EQ(nlWrite(client, big.data(), NL_MAX_PACKET_LENGTH + 1), -1);
    EXPECT_EQ(nlGetError(), NL_PACKET_SIZE);

    ASSERT_EQ(ReadWithin(server, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "one");
    ASSERT_EQ(ReadWithin(server, buffer, sizeof buffer), NL_MAX_PACKET_LENGTH);
    EXPECT_EQ(std::string(buffer, NL_MAX_PACKET_LENGTH), big);
    ASSERT_EQ(ReadWithin(server, buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "three");

    // A packet larger than the reader's buffer is dropped with its own error;
    // the next one still reads.
    ASSERT_EQ(nlWrite(client, "0123456789", 10), 10);
    ASSERT_EQ(nlWrite(client, "ok", 2), 2);
    EXPECT_EQ(ReadWithin(server, buffer, 4), -1);
    EXPECT_EQ(nlGetError(), NL_BUFFER_SIZE);
    EXPECT_EQ(ReadWithin(server, buffer, 4), 2);

    // A close is seen only after the packets sent before it.
    ASSERT_EQ(nlWrite(client, "last", 4), 4);
    nlClose(client);
    EXPECT_EQ(ReadWithin(server, buffer, sizeof buffer), 4);
    EXPECT_EQ(ReadWithin(server, buffer, sizeof buffer), -1);
    EXPECT_EQ(nlGetError(), NL_MESSAGE_END);
    nlClose(server);
    nlClose(listener);
}

TEST(PacketSockets, RawPeersSplitGarbleOrResetTheStream) {
    NetLibrary library;
    uint16_t port = 0;
    NLsocket listener = ListenOnAnyPort(port);
    char buffer[64];

    // A packet arriving a byte at a time is handed out only when whole.
    int raw = RawConnect(port);
    NLsocket split = AcceptWithin(listener);
    std::string bytes = Framed("hello");
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        ASSERT_TRUE(RawSend(raw, bytes.substr(i, 1)));
        usleep(2000);
        EXPECT_EQ(nlRead(split, buffer, sizeof buffer), 0) << i;
    }
    ASSERT_TRUE(RawSend(raw, bytes.substr(bytes.size() - 1)));
    ASSERT_EQ(ReadWithin(split, buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    // A peer closing in the middle of a packet: the part is never handed out.
    ASSERT_TRUE(RawSend(raw, Framed("cut").substr(0, 5)));
    ::close(raw);
    EXPECT_EQ(ReadWithin(split, buffer, sizeof buffer), -1);
    EXPECT_EQ(nlGetError(), NL_MESSAGE_END);
    nlClose(split);

    // Bytes that are not a header lose the stream for good.
    raw = RawConnect(port);
    NLsocket garbled = AcceptWithin(listener);
    ASSERT_TRUE(RawSend(raw, Framed("fine") + "GET / HTTP/1.0\r\n\r\n" + Framed("after")));
    EXPECT_EQ(ReadWithin(garbled, buffer, sizeof buffer), 4);
    EXPECT_EQ(ReadWithin(garbled, buffer, sizeof buffer), -1);
    EXPECT_EQ(nlGetError(), NL_PACKET_SYNC);
    EXPECT_EQ(nlRead(garbled, buffer, sizeof buffer), -1);
    EXPECT_EQ(nlGetError(), NL_PACKET_SYNC);
    ::close(raw);
    nlClose(garbled);

    // A reset reads as a disconnect.
    raw = RawConnect(port);
    NLsocket reset = AcceptWithin(listener);
    RawReset(raw);
    EXPECT_EQ(ReadWithin(reset, buffer, sizeof buffer), -1);
    EXPECT_EQ(nlGetError(), NL_SOCK_DISCONNECT);
    nlClose(reset);
    nlClose(listener);
}

TEST(SocketGroups, PollReportsSocketsWithSomethingToRead) {
    NetLibrary library;
    uint16_t port = 0;
    NLsocket listener = ListenOnAnyPort(port);
    EXPECT_EQ(nlAcceptConnection(listener), NL_INVALID);
    EXPECT_EQ(nlGetError(), NL_NO_PENDING);
    NLsocket notListening = nlOpen(0, NL_RELIABLE_PACKETS);
    EXPECT_EQ(nlAcceptConnection(notListening), NL_INVALID);
    EXPECT_EQ(nlGetError(), NL_NOT_LISTEN);

    int quiet = RawConnect(port), talking = RawConnect(port), leaving = RawConnect(port);
    NLint group = nlGroupCreate();
    ASSERT_GE(group, 0);
    std::vector<NLsocket> accepted;
    for (int i = 0; i < 3; ++i) {
        NLsocket s = AcceptWithin(listener);
        ASSERT_NE(s, NL_INVALID);
        accepted.push_back(s);
        ASSERT_TRUE(nlGroupAddSocket(group, s));
    }
    NLsocket ready[8];
    EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 8, 0), 0);
    ASSERT_TRUE(RawSend(talking, Framed("a") + Framed("b")));
    ::close(leaving);
    NLint count = nlPollGroup(group, NL_READ_STATUS, ready, 8, 1000);
    WaitUntil([&] { return (count = nlPollGroup(group, NL_READ_STATUS, ready, 8, 0)) == 2; });
    EXPECT_EQ(count, 2);
    // One packet read leaves the second buffered: the socket stays ready.
    char buffer[8];
    for (NLint i = 0; i < count; ++i) nlRead(ready[i], buffer, sizeof buffer);
    count = nlPollGroup(group, NL_READ_STATUS, ready, 8, 0);
    EXPECT_GE(count, 1);
    EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 1, 0), 1) << "held to the room given";

    EXPECT_TRUE(nlGroupDeleteSocket(group, accepted[0]));
    EXPECT_FALSE(nlGroupDeleteSocket(group, accepted[0]));
    EXPECT_TRUE(nlGroupDestroy(group));
    EXPECT_EQ(nlPollGroup(group, NL_READ_STATUS, ready, 8, 0), -1);
    ::close(quiet);
    ::close(talking);
}

TEST(Addresses, ParseFormatAndResolve) {
    NetLibrary library;
    NLaddress a = nlStringToAddr("192.168.1.20:26000");
    ASSERT_TRUE(a.valid);
    EXPECT_EQ(a.host, 0xC0A80114u);
    EXPECT_EQ(a.port, 26000);
    char text[32];
    EXPECT_STREQ(nlAddrToString(a, text), "192.168.1.20:26000");
    EXPECT_TRUE(nlStringToAddr("10.0.0.1").valid);
    for (const char* bad : {"", "1.2.3", "1.2.3.256", "1.2.3.4:65536", "1.2.3.4:", "a.b.c.d", "1.2.3.4x",
                            "1..2.3", " 1.2.3.4"})
        EXPECT_FALSE(nlStringToAddr(bad).valid) << bad;

    NLaddress resolved;
    ASSERT_TRUE(nlGetAddrFromName("localhost", resolved));
    EXPECT_EQ(resolved.host, 0x7F000001u);
    ASSERT_TRUE(nlGetAddrFromName("localhost:80", resolved));
    EXPECT_EQ(resolved.port, 80);
    EXPECT_FALSE(nlGetAddrFromName("", resolved));
    EXPECT_FALSE(nlGetAddrFromName("name.invalid", resolved));

    NLaddress all[16];
    NLint count = nlGetAllLocalAddr(26000, all, 16);
    ASSERT_GE(count, 1);
    bool loopback = false;
    for (NLint i = 0; i < count; ++i) loopback |= all[i].host == 0x7F000001u && all[i].port == 26000;
    EXPECT_TRUE(loopback);
}

TEST(Library, LastReferenceClosesSocketsEarlierOnesLeaveThem) {
    ASSERT_TRUE(nlInit());
    ASSERT_TRUE(nlSelectNetwork(NL_IP));
    EXPECT_FALSE(nlSelectNetwork(0x77));
    uint16_t port = 0;
    NLsocket listener = ListenOnAnyPort(port);
    ASSERT_TRUE(nlInit());
    nlShutdown();
    NLaddress at;
    EXPECT_TRUE(nlGetLocalAddr(listener, at)) << "another user's shutdown left the socket open";
    nlShutdown();
    EXPECT_FALSE(nlGetLocalAddr(listener, at));
    EXPECT_EQ(nlOpen(0, NL_RELIABLE), NL_INVALID);
    EXPECT_EQ(nlGetError(), NL_NO_NETWORK);
    EXPECT_EQ(RawConnect(port), -1) << "the listener was closed";
}

TEST(Streams, BlockingReadWaitsForDataAndReportsTheClose) {
    NetLibrary library;
    uint16_t port = 0;
    int rawListener = RawListen(port);
    ASSERT_GE(rawListener, 0);
    nlEnable(NL_BLOCKING_IO);
    NLsocket stream = nlOpen(0, NL_RELIABLE);
    nlDisable(NL_BLOCKING_IO);
    NLaddress to = nlStringToAddr("127.0.0.1");
    nlSetAddrPort(to, port);
    ASSERT_TRUE(nlConnect(stream, to));
    int peer = ::accept(rawListener, nullptr, nullptr);
    std::thread writer([&] {
        usleep(100000);
        RawSend(peer, "late bytes");
        ::close(peer);
    });
    char buffer[64];
    EXPECT_EQ(nlRead(stream, buffer, sizeof buffer), 10);
    EXPECT_EQ(nlRead(stream, buffer, sizeof buffer), -1);
    EXPECT_EQ(nlGetError(), NL_MESSAGE_END);
    writer.join();
    nlClose(stream);

    // Nobody listening: the connect is refused.
    ::close(rawListener);
    NLsocket refused = nlOpen(0, NL_RELIABLE);
    EXPECT_FALSE(nlConnect(refused, to));
    nlClose(refused);
}

TEST(OutgoingQueues, WritesThePeerDoesNotTakeWaitInOrderWithinTheLimit) {
    NetLibrary library;
    uint16_t port = 0;
    NLsocket listener = ListenOnAnyPort(port);
    int raw = ::socket(AF_INET, SOCK_STREAM, 0);
    int small = 4096;
    setsockopt(raw, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    ASSERT_EQ(::connect(raw, (sockaddr*)&to, sizeof to), 0);
    NLsocket server = AcceptWithin(listener);
    ASSERT_NE(server, NL_INVALID);
    const NLint kLimit = 256 * 1024;
    ASSERT_TRUE(nlSetQueueLimit(server, kLimit));

    // The peer takes nothing: writes go on at once until the queue is full.
    std::vector<std::string> written;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i) {
        std::string packet(NL_MAX_PACKET_LENGTH, (char)('a' + i % 26));
        packet.replace(0, 8, std::to_string(10000000 + i));
        if (nlWrite(server, packet.data(), (NLint)packet.size()) != (NLint)packet.size()) break;
        written.push_back(packet);
    }
    EXPECT_EQ(nlGetError(), NL_QUEUE_FULL);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "a write waited";
    NLint queued = 0, stalledMs = 0;
    ASSERT_TRUE(nlGetQueueState(server, queued, stalledMs));
    EXPECT_GT(queued, kLimit - NL_MAX_PACKET_LENGTH - NL_PACKET_HEADER);
    EXPECT_LE(queued, kLimit);
    // The system may still grow its buffers for a while; once it takes
    // nothing more, the queue's wait counts up.
    bool stalled = false;
    for (int round = 0; round < 50 && !stalled; ++round) {
        NLint before = nlSendQueued(server);
        usleep(120000);
        NLint after = nlSendQueued(server);
        ASSERT_TRUE(nlGetQueueState(server, queued, stalledMs));
        EXPECT_EQ(queued, after);
        if (after == before) {
            stalled = true;
            EXPECT_GE(stalledMs, 100);
        }
    }
    EXPECT_TRUE(stalled);

    // The peer reads: every packet arrives whole and in order, and the queue
    // empties as the system takes it.
    std::string expected;
    for (const std::string& packet : written) expected += Framed(packet);
    std::string got;
    for (int tries = 0; tries < 2000 && got.size() < expected.size(); ++tries) {
        nlSendQueued(server);
        got += RawReceive(raw, 10);
    }
    EXPECT_TRUE(got == expected) << got.size() << " of " << expected.size() << " bytes";
    ASSERT_TRUE(nlGetQueueState(server, queued, stalledMs));
    EXPECT_EQ(queued, 0);
    EXPECT_EQ(stalledMs, 0);

    // A peer that went: the write that finds it out fails, and so does every
    // later one.
    RawReset(raw);
    NLint result = 0;
    for (int i = 0; i < 200 && result >= 0; ++i) {
        result = nlWrite(server, "gone?", 5);
        usleep(1000);
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(nlGetError(), NL_SOCK_DISCONNECT);
    EXPECT_EQ(nlSendQueued(server), -1);
    EXPECT_EQ(nlWrite(server, "x", 1), -1);
    nlClose(server);
    nlClose(listener);
}
