// The network thread: one per program, started by hosting or joining. Each
// pass sends the joins of new local players, drains the connection to the
// host and, on the host, every peer's socket, delivers messages to the local
// players, lets the host handle its peers' packets, and takes the replies.
#include <cstdio>

#include "net/net_internal.h"

// ---------------------------------------------------------------------------
// Constants

static constexpr int kPassPauseMs = 10;
static constexpr int kSocketsPerPass = 100;
// A flooding peer must not hold the thread in one socket for ever; this is
// far above what a burst of messages needs.
static constexpr int kPacketsPerSocketPerPass = 1024;

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

// Drops a peer at the host: out of the group, closed, its players removed,
// and whatever it sent this pass forgotten.
static void DropPeer(NetworkRecord& net, NLsocket socket) {
    nlGroupDeleteSocket(net.group, socket);
    nlClose(socket);
    NetLock hold(net);
    for (size_t i = 0; i < net.peers.size(); ++i) {
        if (net.peers[i] == socket) {
            net.peers.erase(net.peers.begin() + (std::ptrdiff_t)i);
            break;
        }
    }
    RemovePlayersOfSocket(net, socket);
    for (auto it = net.incoming.begin(); it != net.incoming.end();) {
        if (!it->fromHost && it->source == socket) it = net.incoming.erase(it);
        else ++it;
    }
}

// Reads every whole packet waiting on a socket into `incoming`. False when the
// socket is finished: closed, reset, or (from a peer) sending what is not a
// packet of the protocol.
static bool DrainSocket(NetworkRecord& net, NLsocket socket, bool fromHost) {
    uint8_t buffer[kNetPacketSize];
    for (int n = 0; n < kPacketsPerSocketPerPass; ++n) {
        NLint got = nlRead(socket, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            // A packet larger than any of the protocol is garbage like any other.
            return false;
        }
        NetQueued queued;
        queued.source = socket;
        queued.fromHost = fromHost;
        bool valid = DecodeNetPacket(buffer, (size_t)got, queued.packet) &&
                     (fromHost ? ValidNetReply(queued.packet) : ValidNetRequest(queued.packet));
        if (!valid) {
            // The host's word is taken or ignored packet by packet; a peer
            // sending garbage goes.
            if (fromHost) continue;
            return false;
        }
        NetLock hold(net);
        net.incoming.push_back(std::move(queued));
    }
    return true;
}

// Pass step 4: new connections, then every peer with something to read.
// False when accepting failed for good.
static bool ServicePeers(NetworkRecord& net) {
    for (int n = 0; n < kSocketsPerPass; ++n) {
        NLsocket accepted = nlAcceptConnection(net.listenSocket);
        if (accepted != NL_INVALID) {
            nlGroupAddSocket(net.group, accepted);
            NetLock hold(net);
            net.peers.push_back(accepted);
            continue;
        }
        NLenum error = nlGetError();
        if (error == NL_SYSTEM_ERROR || error == NL_NOT_LISTEN || error == NL_INVALID_SOCKET) return false;
        break;
    }
    NLsocket ready[kSocketsPerPass];
    NLint count = nlPollGroup(net.group, NL_READ_STATUS, ready, kSocketsPerPass, 0);
    for (NLint i = 0; i < count; ++i)
        if (!DrainSocket(net, ready[i], false)) DropPeer(net, ready[i]);
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
    std::printf("{ %s thread - UP\n", host ? "server" : "client");
    std::fflush(stdout);
    net.group = nlGroupCreate();
    for (;;) {
        {
            NetLock hold(net);
            if (net.stopRequested) break;
        }
        SendJoins(net);
        DrainSocket(net, net.connection, true);
        if (host && !ServicePeers(net)) {
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
        for (const NetWrite& write : writes) WriteNetPacket(write.socket, write.packet);
        nlThreadSleep(kPassPauseMs);
    }
    ClosePeers(net);
    NetLock hold(net);
    net.threadRunning = 0;
}
