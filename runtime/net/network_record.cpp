// The network record: creation, the stop of a running game, the reset of the
// network, the start of the thread and the end at program exit.
#include <cstdio>
#include <new>
#include <string>

#include "core/engine.h"
#include "net/net_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

static void CloseIfOpen(NLsocket& socket) {
    if (socket != NL_INVALID) nlClose(socket);
    socket = NL_INVALID;
}

// ---------------------------------------------------------------------------
// Public

NetworkRecord* NewNetworkRecord() {
    NetworkRecord* net = new (std::nothrow) NetworkRecord();
    if (net && !nlMutexInit(&net->lock)) {
        delete net;
        return nullptr;
    }
    return net;
}

bool WriteNetPacket(NLsocket socket, const NetPacket& packet) {
    if (socket == NL_INVALID || packet.payload.size() > (size_t)kNetMaxPayload) return false;
    std::vector<uint8_t> bytes = EncodeNetPacket(packet);
    return nlWrite(socket, bytes.data(), (NLint)bytes.size()) == (NLint)bytes.size();
}

void StopNetworkGame(NetworkRecord& net) {
    {
        NetLock hold(net);
        net.stopRequested = 1;
    }
    for (;;) {
        {
            NetLock hold(net);
            if (!net.threadRunning) break;
        }
        nlThreadSleep(50);
    }
    // The flag is down before the thread's last steps; wait for them too.
    nlThreadJoin(net.thread);
    net.thread = nullptr;
    CloseIfOpen(net.listenSocket);
    CloseIfOpen(net.connection);
    NetLock hold(net);
    net.localPlayers.clear();
    net.hostPlayers.clear();
    net.incoming.clear();
    net.replies.clear();
    net.isHost = 0;
}

void ResetNetwork(NetworkRecord& net) {
    net.nextPlayerId = kNetFirstPlayerId;
    net.myId = -1;
    // Only this record's own reference is given back, so another user of the
    // socket layer keeps its sockets.
    if (net.holdsLibrary) nlShutdown();
    net.holdsLibrary = nlInit();
    if (net.holdsLibrary) nlSelectNetwork(NL_IP);
}

// The line the start of a thread prints, kept for the journal: a replay
// starts no thread and prints it in its place.
static std::string announced;

std::string TakeNetworkAnnouncement() {
    std::string line;
    line.swap(announced);
    return line;
}

bool StartNetworkThread(NetworkRecord& net) {
    // Printed here on the main thread, not by the thread, so that it comes
    // at the same place among the script's prints in every run.
    char line[32];
    std::snprintf(line, sizeof line, "{ %s thread - UP\n", net.listenSocket != NL_INVALID ? "server" : "client");
    std::fputs(line, stdout);
    std::fflush(stdout);
    announced += line;
    // The flags are set before the thread exists, so a stop that comes at
    // once still finds it running and waits for it.
    {
        NetLock hold(net);
        net.stopRequested = 0;
        net.threadRunning = 1;
    }
    net.thread = nlThreadCreate(NetworkThreadMain, &net);
    if (net.thread) return true;
    NetLock hold(net);
    net.stopRequested = 1;
    net.threadRunning = 0;
    return false;
}

void DeleteNetworkRecord(NetworkRecord* net) {
    if (!net) return;
    {
        NetLock hold(*net);
        net->stopRequested = 1;
    }
    for (;;) {
        {
            NetLock hold(*net);
            if (!net->threadRunning) break;
        }
        nlThreadSleep(50);
    }
    nlThreadJoin(net->thread);
    net->thread = nullptr;
    // The host removes this program's players.
    for (const NetPlayer& player : net->localPlayers) {
        if (player.id < 0) continue;
        NetPacket leave;
        leave.type = kNetRemovePlayer;
        leave.fieldB = player.id;
        WriteNetPacket(net->connection, leave);
    }
    CloseIfOpen(net->listenSocket);
    CloseIfOpen(net->connection);
    nlMutexDestroy(&net->lock);
    if (net->holdsLibrary) nlShutdown();
    delete net;
}

void NetworkCreate() { engine.network = NewNetworkRecord(); }

void NetworkDestroy() {
    DeleteNetworkRecord(engine.network);
    engine.network = nullptr;
}
