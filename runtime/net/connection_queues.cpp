// The writes of a pass and the queues behind them. Writes never wait: each
// connection keeps what its peer has not taken yet (the socket layer's
// outgoing queue), and a peer that stops taking is dropped when its queue
// would pass kNetQueueLimit or it has taken nothing for kNetStallLimitMs, as
// if it had closed. The host cannot hold messages back for one peer without
// holding them back for all, so it gives that peer up instead.
#include <algorithm>

#include "net/net_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

static bool Stalled(NLsocket socket) {
    NLint queued = 0, stalledMs = 0;
    return nlGetQueueState(socket, queued, stalledMs) && stalledMs >= kNetStallLimitMs;
}

// ---------------------------------------------------------------------------
// Public

void DropPeer(NetworkRecord& net, NLsocket socket) {
    nlGroupDeleteSocket(net.group, socket);
    nlClose(socket);
    NetLock hold(net);
    for (size_t i = 0; i < net.peers.size(); ++i) {
        if (net.peers[i] == socket) {
            net.peers.erase(net.peers.begin() + (std::ptrdiff_t)i);
            break;
        }
    }
    if (net.ownPeer == socket) net.ownPeer = NL_INVALID;
    RemovePlayersOfSocket(net, socket);
    for (auto it = net.incoming.begin(); it != net.incoming.end();) {
        if (!it->fromHost && it->source == socket) it = net.incoming.erase(it);
        else ++it;
    }
}

void WritePass(NetworkRecord& net, const std::vector<NetWrite>& writes) {
    // Once one write to a peer has failed, a later, smaller one must not get
    // through and leave a gap in what it receives.
    std::vector<NLsocket> failed;
    const NetPacket* encoded = nullptr;
    std::vector<uint8_t> bytes;
    for (const NetWrite& write : writes) {
        if (std::find(failed.begin(), failed.end(), write.socket) != failed.end()) continue;
        // A message to everybody is encoded once for all its writes.
        if (write.packet.get() != encoded) {
            bytes = EncodeNetPacket(*write.packet);
            encoded = write.packet.get();
        }
        if (nlWrite(write.socket, bytes.data(), (NLint)bytes.size()) != (NLint)bytes.size())
            failed.push_back(write.socket);
    }
    for (NLsocket socket : failed) DropPeer(net, socket);
}

void ServiceQueues(NetworkRecord& net, bool host) {
    if (host) {
        std::vector<NLsocket> peers;
        NLsocket own = NL_INVALID;
        {
            NetLock hold(net);
            peers = net.peers;
            own = net.ownPeer;
        }
        // Handed over first, so that only a peer that takes nothing now counts as stalled.
        for (NLsocket peer : peers)
            if (nlSendQueued(peer) < 0 || (peer != own && Stalled(peer))) DropPeer(net, peer);
        nlSendQueued(net.connection);
        return;
    }
    // The host's own connection is read by this very thread; a joined
    // program's host is another program, which may stop reading.
    if (nlSendQueued(net.connection) >= 0 && Stalled(net.connection)) nlClose(net.connection);
}
