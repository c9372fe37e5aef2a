// The network thread: one per program, started by hosting or joining. Each
// pass sends the joins of new local players, drains the connection to the
// host and, on the host, every peer's socket, delivers messages to the local
// players, lets the host handle its peers' packets, takes the replies, and
// makes the pass's writes (connection_queues.cpp). No step waits on a peer.
#include <cstdio>

#include "net/net_internal.h"

// ---------------------------------------------------------------------------
// Constants

static constexpr int kPassPauseMs = 10;
static constexpr int kSocketsPerPass = 100;
// A flooding peer must not hold the thread in one socket for ever; this is
// far above what a burst of messages needs.
static constexpr int kPacketsPerSocketPerPass = 1024;
// What the host reads from all its peers in one pass. Everything it reads it
// may relay to every peer, so this holds what a pass adds to each peer's
// queue far below its limit, and a pass short enough that the host's own
// requests are answered in good time during a flood. A pass that stops for
// this budget is followed at once by the next, without the pause.
static constexpr long kPeerBytesPerPass = kNetQueueLimit / 16;
// What a program reads from its connection to the host in one pass: more
// than the host relays in one, so that the host's own connection, read by
// the host's own thread, never falls behind.
static constexpr long kHostBytesPerPass = kNetQueueLimit;

// ---------------------------------------------------------------------------
// Internal helpers

// Pass step 2: the joins of pending local players; abandoned ones go.
static void SendJoins(NetworkRecord& net) {
    std::vector<NetPacket> joins;
    {
        NetLock hold(net);
        for (auto it = net.localPlayers.begin(); it != net.localPlayers.end();) {
            if (it->id == -2) {
                it = net.localPlayers.erase(it);
                continue;
            }
            if (it->id == -1) {
                NetPacket join;
                join.type = kNetJoin;
                join.payload = EncodePlayerInfo({-1, -1, it->connectionFlag, it->name});
                joins.push_back(join);
                it->id = -3;
            }
            ++it;
        }
    }
    for (const NetPacket& join : joins) WriteNetPacket(net.connection, join);
}

// Reads the whole packets waiting on a socket into `incoming`, up to
// `maxPackets` and while the byte budget lasts (each packet's bytes are taken
// from it). False when the socket is finished: closed, reset, or (from a
// peer) sending what is not a packet of the protocol.
static bool DrainSocket(NetworkRecord& net, NLsocket socket, bool fromHost, int maxPackets, long& budget) {
    uint8_t buffer[kNetPacketSize];
    std::vector<NetQueued> read;
    bool open = true;
    for (int n = 0; n < maxPackets && budget > 0; ++n) {
        NLint got = nlRead(socket, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            // A packet larger than any of the protocol is garbage like any other.
            open = false;
            break;
        }
        budget -= got;
        NetQueued queued;
        queued.source = socket;
        queued.fromHost = fromHost;
        bool valid = DecodeNetPacket(buffer, (size_t)got, queued.packet) &&
                     (fromHost ? ValidNetReply(queued.packet) : ValidNetRequest(queued.packet));
        if (!valid) {
            // The host's word is taken or ignored packet by packet; a peer
            // sending garbage goes.
            if (fromHost) continue;
            open = false;
            break;
        }
        read.push_back(std::move(queued));
    }
    if (!read.empty()) {
        NetLock hold(net);
        for (NetQueued& queued : read) net.incoming.push_back(std::move(queued));
    }
    return open;
}

// Pass step 3: what the host sent. On the host this is its own relay coming
// back over its own connection, whose two ends this thread holds: they are
// worked in turn until what the host queued for itself is read, rather than
// as much as the system's buffers hold each pass.
static void DrainConnection(NetworkRecord& net) {
    long budget = kHostBytesPerPass;
    for (;;) {
        DrainSocket(net, net.connection, true, INT32_MAX, budget);
        NLint before = 0, stalledMs = 0;
        if (net.ownPeer == NL_INVALID || budget <= 0) return;
        if (!nlGetQueueState(net.ownPeer, before, stalledMs) || before == 0) return;
        NLint left = nlSendQueued(net.ownPeer);
        if (left < 0 || left >= before) return;
    }
}

// Host: whether an accepted socket is this program's own connection.
static bool IsOwnConnection(NetworkRecord& net, NLsocket accepted) {
    NLaddress mine, theirs;
    if (!nlGetLocalAddr(net.connection, mine) || !nlGetRemoteAddr(accepted, theirs)) return false;
    return mine.host == theirs.host && mine.port == theirs.port;
}

// Pass step 4: new connections, then every peer with something to read.
// False when accepting failed for good; `more` is set when the pass's budget
// ran out with peers still to read.
static bool ServicePeers(NetworkRecord& net, bool& more) {
    for (int n = 0; n < kSocketsPerPass; ++n) {
        NLsocket accepted = nlAcceptConnection(net.listenSocket);
        if (accepted != NL_INVALID) {
            bool own = net.ownPeer == NL_INVALID && IsOwnConnection(net, accepted);
            if (!own) nlSetQueueLimit(accepted, kNetQueueLimit);
            nlGroupAddSocket(net.group, accepted);
            NetLock hold(net);
            if (own) net.ownPeer = accepted;
            net.peers.push_back(accepted);
            continue;
        }
        NLenum error = nlGetError();
        if (error == NL_SYSTEM_ERROR || error == NL_NOT_LISTEN || error == NL_INVALID_SOCKET) return false;
        break;
    }
    // This program's own commands first, whatever the others send: what its
    // main thread can write is held by its connection's own limit.
    if (net.ownPeer != NL_INVALID) {
        long own = kNetQueueLimit;
        if (!DrainSocket(net, net.ownPeer, false, INT32_MAX, own)) DropPeer(net, net.ownPeer);
    }
    // What still waits for this program's own connection counts against the
    // pass's reading, so a flood of messages to everybody never piles up there.
    long budget = kPeerBytesPerPass;
    NLint ownQueued = 0, stalledMs = 0;
    if (net.ownPeer != NL_INVALID && nlGetQueueState(net.ownPeer, ownQueued, stalledMs)) budget -= ownQueued;
    // While that much waits there, the pass reads nothing more and the
    // usual pause lets it go out.
    if (budget <= 0) return true;
    NLsocket ready[kSocketsPerPass];
    NLint count = nlPollGroup(net.group, NL_READ_STATUS, ready, kSocketsPerPass, 0);
    for (NLint i = 0; i < count && budget > 0; ++i) {
        if (ready[i] == net.ownPeer) continue;
        if (!DrainSocket(net, ready[i], false, kPacketsPerSocketPerPass, budget)) DropPeer(net, ready[i]);
    }
    more = budget <= 0;
    return true;
}

// Pass step 5: messages from the host into local inboxes. A message to every
// player reaches each named local player once.
static void DeliverMessages(NetworkRecord& net) {
    for (auto it = net.incoming.begin(); it != net.incoming.end();) {
        if (!it->fromHost || it->packet.type != kNetMessage) {
            ++it;
            continue;
        }
        for (NetPlayer& player : net.localPlayers) {
            bool everyone = it->packet.fieldA == -1 && player.connectionFlag == 0 && player.id >= 0;
            if (everyone || (it->packet.fieldA >= 0 && player.id == it->packet.fieldA))
                player.inbox.push_back(it->packet);
        }
        it = net.incoming.erase(it);
    }
}

// Pass step 7: replies from the host. Only the reply of the request waiting,
// addressed to this program, is taken; a join reply names the first waiting
// player.
static void TakeReplies(NetworkRecord& net) {
    for (const NetQueued& queued : net.incoming) {
        if (!queued.fromHost || queued.packet.fieldB != 0) continue;
        const NetPacket& packet = queued.packet;
        if (packet.type > 99) {
            if (packet.type == net.awaitedReply && packet.fieldA == net.myId && net.replies.empty())
                net.replies.push_back(packet);
        } else if (packet.type == kNetJoinReply && packet.fieldA >= kNetFirstPlayerId) {
            for (NetPlayer& player : net.localPlayers) {
                if (player.id == -3) {
                    player.id = packet.fieldA;
                    break;
                }
            }
        }
    }
}

// The end of the passes on the host when accepting fails.
static void EndAfterAcceptFailure(NetworkRecord& net) {
    nlClose(net.listenSocket);
    nlClose(net.connection);
    std::printf("Cannot Accept connection\n");
    std::fflush(stdout);
    NetLock hold(net);
    net.listenSocket = NL_INVALID;
    net.connection = NL_INVALID;
}

static void ClosePeers(NetworkRecord& net) {
    std::vector<NLsocket> peers;
    {
        NetLock hold(net);
        peers.swap(net.peers);
        net.ownPeer = NL_INVALID;
    }
    for (NLsocket peer : peers) nlClose(peer);
    nlGroupDestroy(net.group);
    net.group = -1;
}

// ---------------------------------------------------------------------------
// Public

void NetworkThreadMain(void* record) {
    NetworkRecord& net = *(NetworkRecord*)record;
    bool host = net.listenSocket != NL_INVALID;
    net.group = nlGroupCreate();
    for (;;) {
        {
            NetLock hold(net);
            if (net.stopRequested) break;
        }
        SendJoins(net);
        DrainConnection(net);
        bool more = false;
        if (host && !ServicePeers(net, more)) {
            EndAfterAcceptFailure(net);
            ClosePeers(net);
            NetLock hold(net);
            net.incoming.clear();
            net.stopRequested = 1;
            net.threadRunning = 0;
            return;
        }
        std::vector<NetWrite> writes;
        {
            NetLock hold(net);
            DeliverMessages(net);
            if (host) HandlePeerPackets(net, writes);
            TakeReplies(net);
            net.incoming.clear();
            ++net.passes;
        }
        WritePass(net, writes);
        ServiceQueues(net, host);
        if (!more) nlThreadSleep(kPassPauseMs);
    }
    ClosePeers(net);
    NetLock hold(net);
    net.threadRunning = 0;
}
