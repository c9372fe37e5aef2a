// Players and messages of a running game, and the request-and-reply exchange
// with the host.
#include "net/net_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Constants

static constexpr int kWaitTries = 250;
static constexpr int kWaitStepMs = 20;

// ---------------------------------------------------------------------------
// Internal helpers

static int32_t IdFromText(const RuntimeString& text) { return TruncateToInt(TextToNumber(text.Text())); }

static RuntimeString IdText(int32_t id) { return RuntimeString(id); }

static bool ThreadRunning(NetworkRecord& net) {
    NetLock hold(net);
    return net.threadRunning != 0;
}

// Appends a local player and waits for the host to give it an id; the id, or
// -1 on timeout (the player is then abandoned). Without a running game there
// is nobody to wait for.
static int32_t CreateLocalPlayer(NetworkRecord& net, const std::string& name, uint8_t connectionFlag) {
    if (!ThreadRunning(net)) return -1;
    NetPlayer* player = nullptr;
    {
        NetLock hold(net);
        net.localPlayers.push_back(NetPlayer());
        player = &net.localPlayers.back();
        player->connectionFlag = connectionFlag;
        player->name = name;
    }
    for (int tries = 0; tries < kWaitTries; ++tries) {
        {
            NetLock hold(net);
            if (player->id >= 0) return player->id;
        }
        nlThreadSleep(kWaitStepMs);
    }
    NetLock hold(net);
    if (player->id >= 0) return player->id;
    player->id = -2;
    return -1;
}

// ---------------------------------------------------------------------------
// Public

bool NetRequest(NetworkRecord& net, uint8_t type, const std::string& payload, NetPacket& reply) {
    if (net.myId < 0) net.myId = CreateLocalPlayer(net, std::string(), 1);
    if (net.myId < 0) return false;
    {
        NetLock hold(net);
        net.replies.clear();
        net.awaitedReply = type;
    }
    NetPacket request;
    request.type = type;
    request.fieldA = 0;
    request.fieldB = net.myId;
    request.payload = payload;
    bool written = WriteNetPacket(net.connection, request);
    for (int tries = 0; written && tries < kWaitTries; ++tries) {
        {
            NetLock hold(net);
            if (!net.replies.empty()) {
                reply = net.replies.front();
                net.replies.pop_front();
                net.awaitedReply = 0;
                return true;
            }
        }
        nlThreadSleep(kWaitStepMs);
    }
    NetLock hold(net);
    net.awaitedReply = 0;
    net.replies.clear();
    return false;
}

RuntimeString NetCreatePlayer(NetworkRecord& net, const RuntimeString& name) {
    if (name.Length() > (uint32_t)kNetMaxName) return IdText(-1);
    return IdText(CreateLocalPlayer(net, name.Text(), 0));
}

double NetRemovePlayer(NetworkRecord& net, const RuntimeString& idText) {
    int32_t id = IdFromText(idText);
    if (id >= 0) {
        NetPacket remove;
        remove.type = kNetRemovePlayer;
        remove.fieldB = id;
        WriteNetPacket(net.connection, remove);
    }
    return 1.0;
}

double NetSendMessage(NetworkRecord& net, const RuntimeString& sender, const RuntimeString& recipient,
                      const RuntimeString& text) {
    if (text.Length() > (uint32_t)kNetMaxPayload) return 0.0;
    int32_t to = IdFromText(recipient);
    NetPacket message;
    message.type = kNetMessage;
    message.fieldA = to == 0 ? -1 : to;
    message.fieldB = IdFromText(sender);
    message.payload.assign(text.Text(), text.Length());
    return WriteNetPacket(net.connection, message) ? 1.0 : 0.0;
}

RuntimeString NetReceiveMessage(NetworkRecord& net, const RuntimeString& idText) {
    int32_t id = IdFromText(idText);
    NetLock hold(net);
    for (NetPlayer& player : net.localPlayers) {
        if (player.id != id || player.id < 0) continue;
        if (player.inbox.empty()) return RuntimeString();
        NetPacket message = std::move(player.inbox.front());
        player.inbox.pop_front();
        net.lastSender = message.fieldB;
        // The text ends at its first zero byte, as a runtime string does.
        return RuntimeString(message.payload.c_str());
    }
    return RuntimeString();
}

RuntimeString NetLastSender(NetworkRecord& net) {
    NetLock hold(net);
    return IdText(net.lastSender);
}

double NetPlayerCount(NetworkRecord& net) {
    NetPacket reply;
    if (!NetRequest(net, kNetCountRequest, std::string(), reply)) return 0.0;
    return (double)DecodeNetInt(reply.payload);
}

RuntimeString NetPlayerId(NetworkRecord& net, double index) {
    NetPacket reply;
    if (!NetRequest(net, kNetIndexRequest, EncodeNetInt(TruncateToInt(index)), reply)) return IdText(0);
    return IdText(DecodeNetInt(reply.payload));
}

RuntimeString NetPlayerName(NetworkRecord& net, const RuntimeString& id) {
    NetPacket reply;
    if (!NetRequest(net, kNetNameRequest, EncodeNetInt(IdFromText(id)), reply)) return RuntimeString("NO_DATA");
    return RuntimeString(reply.payload.c_str());
}
