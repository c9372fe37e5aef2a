// Starting a network game: hosting, joining and the local address list, and
// the process-wide forms of every multiplayer command, journaled.
#include <cstdio>

#include "core/engine.h"
#include "net/net_internal.h"
#include "platform/journal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

// A port text: 0 or less means the default; -1 when it is beyond 16 bits.
static int32_t PortFromText(const RuntimeString& text) {
    int32_t port = TruncateToInt(TextToNumber(text.Text()));
    if (port <= 0) return kNetDefaultPort;
    return port > 65535 ? -1 : port;
}

// ---------------------------------------------------------------------------
// Public: on a record

double NetHost(NetworkRecord& net, const RuntimeString& portText) {
    int32_t port = PortFromText(portText);
    StopNetworkGame(net);
    ResetNetwork(net);
    if (port < 0) return 0.0;
    net.listenSocket = nlOpen((uint16_t)port, NL_RELIABLE_PACKETS);
    if (net.listenSocket == NL_INVALID) return 0.0;
    if (!nlListen(net.listenSocket)) {
        nlClose(net.listenSocket);
        net.listenSocket = NL_INVALID;
        return 0.0;
    }
    // The host takes part as a client too, over a connection to itself.
    net.connection = nlOpen(0, NL_RELIABLE_PACKETS);
    if (net.connection == NL_INVALID) return 0.0;
    nlSetQueueLimit(net.connection, kNetQueueLimit);
    NLaddress self;
    nlGetLocalAddr(net.listenSocket, self);
    nlSetAddrPort(self, (uint16_t)port);
    if (!nlConnect(net.connection, self)) {
        nlClose(net.connection);
        net.connection = NL_INVALID;
        return 0.0;
    }
    net.isHost = 1;
    return StartNetworkThread(net) ? 1.0 : 0.0;
}

double NetJoin(NetworkRecord& net, const RuntimeString& host, const RuntimeString& portText) {
    int32_t port = PortFromText(portText);
    StopNetworkGame(net);
    ResetNetwork(net);
    if (port < 0) return 0.0;
    net.connection = nlOpen(0, NL_RELIABLE_PACKETS);
    if (net.connection == NL_INVALID) return 0.0;
    nlSetQueueLimit(net.connection, kNetQueueLimit);
    NLaddress address;
    bool found = host.Length() == 0 ? nlGetLocalAddr(net.connection, address)
                                    : nlGetAddrFromName(host.Text(), address);
    if (found) nlSetAddrPort(address, (uint16_t)port);
    if (!found || !nlConnect(net.connection, address)) {
        nlClose(net.connection);
        net.connection = NL_INVALID;
        return 0.0;
    }
    net.isHost = 0;
    if (!StartNetworkThread(net)) return 0.0;
    NetPacket reply;
    if (NetRequest(net, kNetCheckRequest, std::string(), reply)) return 1.0;
    StopNetworkGame(net);
    return 0.0;
}

RuntimeString NetLocalAddresses(NetworkRecord& net) {
    StopNetworkGame(net);
    ResetNetwork(net);
    NLsocket probe = nlOpen(kNetDefaultPort, NL_RELIABLE_PACKETS);
    NLaddress addresses[64];
    NLint count = nlGetAllLocalAddr(kNetDefaultPort, addresses, 64);
    if (probe != NL_INVALID) nlClose(probe);
    std::string text;
    for (NLint i = 0; i < count; ++i) {
        if (text.size() + 32 > 4096) break;
        char one[32];
        if (i > 0) text += '|';
        text += nlAddrToString(addresses[i], one);
    }
    return RuntimeString(text.c_str());
}

// ---------------------------------------------------------------------------
// Journaling the process-wide commands
//
// What a network game tells the script depends on other programs and on when
// the network thread got their packets, so the journal keeps every answer the
// script gets, on the main thread where the script asks. A replay opens no
// socket and starts no thread: it hands back the recording's answers.

// A replayed command prints what the live one printed (a thread's start).
static void PrintAnnouncement(JournalBytes& data) {
    std::string said = data.TakeText();
    if (said.empty()) return;
    std::fputs(said.c_str(), stdout);
    std::fflush(stdout);
}

template <typename Live>
static double JournaledNumber(Live live) {
    JournalBytes data;
    if (JournalReplayed(JournalChannel::Network, data)) {
        double value = JournalBitsDouble(data.TakeInt());
        PrintAnnouncement(data);
        if (data.Failed()) JournalDataUnreadable();
        return value;
    }
    double value;
    {
        JournalQuiet quiet;
        value = live();
    }
    data.Int(JournalDoubleBits(value)).Text(TakeNetworkAnnouncement());
    JournalKeep(JournalChannel::Network, data);
    return value;
}

template <typename Live>
static RuntimeString JournaledText(Live live) {
    JournalBytes data;
    if (JournalReplayed(JournalChannel::Network, data)) {
        std::string text = data.TakeText();
        PrintAnnouncement(data);
        if (data.Failed()) JournalDataUnreadable();
        return RuntimeString(text.c_str());
    }
    RuntimeString value;
    {
        JournalQuiet quiet;
        value = live();
    }
    data.Text(value.Text()).Text(TakeNetworkAnnouncement());
    JournalKeep(JournalChannel::Network, data);
    return value;
}

// ---------------------------------------------------------------------------
// Public: on the process-wide record

double NetHost(const RuntimeString& port) {
    return JournaledNumber([&] { return engine.network ? NetHost(*engine.network, port) : 0.0; });
}
double NetJoin(const RuntimeString& host, const RuntimeString& port) {
    return JournaledNumber([&] { return engine.network ? NetJoin(*engine.network, host, port) : 0.0; });
}
RuntimeString NetLocalAddresses() {
    return JournaledText([&] { return engine.network ? NetLocalAddresses(*engine.network) : RuntimeString(); });
}
RuntimeString NetCreatePlayer(const RuntimeString& name) {
    return JournaledText(
        [&] { return engine.network ? NetCreatePlayer(*engine.network, name) : RuntimeString("-1"); });
}
double NetRemovePlayer(const RuntimeString& id) {
    return JournaledNumber([&] {
        if (engine.network) NetRemovePlayer(*engine.network, id);
        return 1.0;
    });
}
double NetSendMessage(const RuntimeString& sender, const RuntimeString& recipient, const RuntimeString& text) {
    return JournaledNumber(
        [&] { return engine.network ? NetSendMessage(*engine.network, sender, recipient, text) : 0.0; });
}
RuntimeString NetReceiveMessage(const RuntimeString& id) {
    return JournaledText([&] { return engine.network ? NetReceiveMessage(*engine.network, id) : RuntimeString(); });
}
RuntimeString NetLastSender() {
    return JournaledText([&] { return engine.network ? NetLastSender(*engine.network) : RuntimeString("0"); });
}
double NetPlayerCount() {
    return JournaledNumber([&] { return engine.network ? NetPlayerCount(*engine.network) : 0.0; });
}
RuntimeString NetPlayerId(double index) {
    return JournaledText([&] { return engine.network ? NetPlayerId(*engine.network, index) : RuntimeString("0"); });
}
RuntimeString NetPlayerName(const RuntimeString& id) {
    return JournaledText(
        [&] { return engine.network ? NetPlayerName(*engine.network, id) : RuntimeString("NO_DATA"); });
}
