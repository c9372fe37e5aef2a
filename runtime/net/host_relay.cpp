// The host's part of a pass: joins, removals, relayed messages and the
// answers to requests, for the packets its peers sent. A peer can act only
// for the players it created: it cannot remove, or speak as, another
// connection's player, and every answer goes back on the socket the request
// came from.
#include "net/net_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

static NetPlayer* FindHostPlayer(NetworkRecord& net, int32_t id) {
    for (NetPlayer& player : net.hostPlayers)
        if (player.id == id) return &player;
    return nullptr;
}

static void Reply(std::vector<NetWrite>& writes, NLsocket socket, uint8_t type, int32_t requester,
                  std::string payload) {
    NetPacket reply;
    reply.type = type;
    reply.fieldA = requester;
    reply.fieldB = 0;
    reply.payload = std::move(payload);
    writes.push_back({socket, std::make_shared<const NetPacket>(std::move(reply))});
}

static void Join(NetworkRecord& net, const NetQueued& queued, std::vector<NetWrite>& writes) {
    NetPlayerInfo info;
    if (!DecodePlayerInfo(queued.packet.payload, info)) return;
    // Ids never wrap round into the range of players already there.
    if (net.nextPlayerId == INT32_MAX) return;
    NetPlayer player;
    player.socket = queued.source;
    player.id = net.nextPlayerId++;
    player.connectionFlag = info.connectionFlag;
    player.name = info.name;
    net.hostPlayers.push_back(std::move(player));
    NetPacket reply;
    reply.type = kNetJoinReply;
    reply.fieldA = net.hostPlayers.back().id;
    writes.push_back({queued.source, std::make_shared<const NetPacket>(std::move(reply))});
}

static void Relay(NetworkRecord& net, const NetQueued& queued, std::vector<NetWrite>& writes) {
    const NetPacket& message = queued.packet;
    NetPlayer* sender = FindHostPlayer(net, message.fieldB);
    if (!sender || sender->socket != queued.source) return;
    auto shared = std::make_shared<const NetPacket>(message);
    if (message.fieldA == -1) {
        // Once to every program, however many players it has.
        std::vector<NLsocket> sent;
        for (const NetPlayer& player : net.hostPlayers) {
            if (player.socket == NL_INVALID) continue;
            bool already = false;
            for (NLsocket socket : sent) already |= socket == player.socket;
            if (already) continue;
            sent.push_back(player.socket);
            writes.push_back({player.socket, shared});
        }
        return;
    }
    NetPlayer* recipient = FindHostPlayer(net, message.fieldA);
    if (recipient && recipient->socket != NL_INVALID) writes.push_back({recipient->socket, shared});
}

static void Remove(NetworkRecord& net, const NetQueued& queued) {
    for (auto it = net.hostPlayers.begin(); it != net.hostPlayers.end();) {
        if (it->id == queued.packet.fieldB && it->socket == queued.source) it = net.hostPlayers.erase(it);
        else ++it;
    }
}

// The id of the index-th named player (0-based, in the order of joining), or 0.
static int32_t NamedPlayerAt(NetworkRecord& net, int32_t index) {
    if (index < 0) return 0;
    for (const NetPlayer& player : net.hostPlayers) {
        if (player.connectionFlag != 0) continue;
        if (index-- == 0) return player.id;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public

void RemovePlayersOfSocket(NetworkRecord& net, NLsocket socket) {
    for (auto it = net.hostPlayers.begin(); it != net.hostPlayers.end();) {
        if (it->socket == socket) it = net.hostPlayers.erase(it);
        else ++it;
    }
}

void HandlePeerPackets(NetworkRecord& net, std::vector<NetWrite>& writes) {
    for (auto it = net.incoming.begin(); it != net.incoming.end();) {
        if (it->fromHost) {
            ++it;
            continue;
        }
        const NetPacket& packet = it->packet;
        int32_t requester = packet.fieldB;
        switch (packet.type) {
        case kNetJoin: Join(net, *it, writes); break;
        case kNetMessage: Relay(net, *it, writes); break;
        case kNetRemovePlayer: Remove(net, *it); break;
        case kNetCountRequest: {
            int32_t count = 0;
            for (const NetPlayer& player : net.hostPlayers) count += player.connectionFlag == 0;
            Reply(writes, it->source, packet.type, requester, EncodeNetInt(count));
            break;
        }
        case kNetIndexRequest:
            Reply(writes, it->source, packet.type, requester,
                  EncodeNetInt(NamedPlayerAt(net, DecodeNetInt(packet.payload))));
            break;
        case kNetNameRequest: {
            NetPlayer* player = FindHostPlayer(net, DecodeNetInt(packet.payload));
            Reply(writes, it->source, packet.type, requester, player ? player->name : std::string());
            break;
        }
        case kNetCheckRequest: Reply(writes, it->source, packet.type, requester, EncodeNetInt(1)); break;
        default: break;  // a reply type from a peer is nothing the host takes
        }
        it = net.incoming.erase(it);
    }
}
