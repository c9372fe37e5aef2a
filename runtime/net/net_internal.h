// The network record, its players and queues, and the record-taking forms of
// the commands, which tests use to run several programs in one process.
#pragma once

#include <deque>
#include <list>
#include <memory>

#include "net/net.h"
#include "net/protocol.h"
#include "net/socket_layer.h"

// ---------------------------------------------------------------------------
// Types

struct NetPlayer {
    NLsocket socket = NL_INVALID;  // at the host: the connection it joined over
    int32_t id = -1;               // -1 pending, -3 waiting, -2 abandoned, else joined
    uint8_t connectionFlag = 0;    // 1: a program's anonymous connection player
    std::string name;
    std::deque<NetPacket> inbox;
};

// A received packet with where it came from: `fromHost` is the program's own
// connection to the host; otherwise `source` is a peer's socket at the host.
struct NetQueued {
    NetPacket packet;
    NLsocket source = NL_INVALID;
    bool fromHost = false;
};

struct NetworkRecord {
    int32_t nextPlayerId = kNetFirstPlayerId;
    int32_t myId = -1;
    uint8_t isHost = 0;
    NLsocket listenSocket = NL_INVALID;
    NLsocket connection = NL_INVALID;
    std::list<NetPlayer> localPlayers;
    std::list<NetPlayer> hostPlayers;
    NLenum networkType = NL_IP;
    NLenum connectionType = NL_RELIABLE_PACKETS;
    uint8_t stopRequested = 1;
    uint8_t threadRunning = 0;
    NLmutex* lock = nullptr;
    std::deque<NetQueued> incoming;
    std::deque<NetPacket> replies;

    // The type of the request waiting for its reply, 0 when none: only that
    // reply, from the host, is taken.
    uint8_t awaitedReply = 0;
    int32_t lastSender = 0;
    NLthread* thread = nullptr;
    NLint group = -1;
    std::vector<NLsocket> peers;  // host: every accepted connection
    // Host: its own program's connection, as accepted. Its reader is this
    // program's thread, which never stalls, so no limit ends it.
    NLsocket ownPeer = NL_INVALID;
    bool holdsLibrary = false;
    uint64_t passes = 0;  // passes the thread has made, for tests and figures
};

// Holds the record's lock for a scope.
struct NetLock {
    explicit NetLock(NetworkRecord& net) : net(net) { nlMutexLock(net.lock); }
    ~NetLock() { nlMutexUnlock(net.lock); }
    NetworkRecord& net;
};

// ---------------------------------------------------------------------------
// The record (network_record.cpp)

NetworkRecord* NewNetworkRecord();
// The end at program exit; the pointer is freed.
void DeleteNetworkRecord(NetworkRecord* net);
// Asks the thread to stop and waits for it; closes the sockets; frees both
// player lists.
void StopNetworkGame(NetworkRecord& net);
// Ids back to their start; the record's library reference taken afresh.
void ResetNetwork(NetworkRecord& net);
// Starts the network thread; false when it cannot be made. Prints the line
// "{ server thread - UP" (or client) first.
bool StartNetworkThread(NetworkRecord& net);
// The lines StartNetworkThread printed since the last call.
std::string TakeNetworkAnnouncement();
// Writes a packet on a socket; false unless written whole.
bool WriteNetPacket(NLsocket socket, const NetPacket& packet);

// ---------------------------------------------------------------------------
// The thread (network_thread.cpp) and the host's part (host_relay.cpp)

void NetworkThreadMain(void* record);
// Host: handles the packets peers sent in this pass (joins, removals,
// messages, requests) and removes them from `incoming`. Called with the lock
// held; the writes it wants are appended to `writes` to be made unlocked.
struct NetWrite {
    NLsocket socket;
    // One packet relayed to every program is held once, for all of them.
    std::shared_ptr<const NetPacket> packet;
};
void HandlePeerPackets(NetworkRecord& net, std::vector<NetWrite>& writes);
// Host: removes every player that joined over the socket. Lock held.
void RemovePlayersOfSocket(NetworkRecord& net, NLsocket socket);

// ---------------------------------------------------------------------------
// The writes of a pass and the queues behind them (connection_queues.cpp).
// Called without the lock.

// Host: drops a peer: out of the group, closed, its players removed, and
// whatever it sent this pass forgotten.
void DropPeer(NetworkRecord& net, NLsocket socket);
// Makes the pass's writes; a peer whose write fails (gone, or its queue
// full) is dropped, and nothing more is written to it.
void WritePass(NetworkRecord& net, const std::vector<NetWrite>& writes);
// Hands every connection's queue to the system as far as it takes it. A
// peer that took nothing of its queue for the stall time is dropped; on a
// joined program, a host that did the same has its connection ended.
void ServiceQueues(NetworkRecord& net, bool host);

// ---------------------------------------------------------------------------
// Commands on a given record (net_commands.cpp, net_players.cpp)

double NetHost(NetworkRecord& net, const RuntimeString& port);
double NetJoin(NetworkRecord& net, const RuntimeString& host, const RuntimeString& port);
RuntimeString NetLocalAddresses(NetworkRecord& net);
RuntimeString NetCreatePlayer(NetworkRecord& net, const RuntimeString& name);
double NetRemovePlayer(NetworkRecord& net, const RuntimeString& id);
double NetSendMessage(NetworkRecord& net, const RuntimeString& sender, const RuntimeString& recipient,
                      const RuntimeString& text);
RuntimeString NetReceiveMessage(NetworkRecord& net, const RuntimeString& id);
RuntimeString NetLastSender(NetworkRecord& net);
double NetPlayerCount(NetworkRecord& net);
RuntimeString NetPlayerId(NetworkRecord& net, double index);
RuntimeString NetPlayerName(NetworkRecord& net, const RuntimeString& id);
// A request of the given type with its payload; true and the reply when the
// host answered within 5 seconds.
bool NetRequest(NetworkRecord& net, uint8_t type, const std::string& payload, NetPacket& reply);
