// The socket layer's own table of open sockets, shared by its files.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "net/socket_layer.h"

// One open socket. The descriptor is always non-blocking at the system;
// `blocking` makes reads and writes wait for it instead.
struct SocketEntry {
    int fd = -1;
    NLenum type = NL_RELIABLE;
    bool blocking = false;
    bool listening = false;
    std::mutex readLock;
    std::mutex writeLock;
    // Packet streams: bytes received but not yet handed out as packets.
    std::vector<uint8_t> pending;
    bool peerClosed = false;
    bool reset = false;
    bool lostSync = false;
    // Sockets that do not block: what writes handed over and the system has
    // not taken yet, oldest first. Guarded by writeLock.
    std::deque<std::vector<uint8_t>> outgoing;
    size_t outgoingSent = 0;   // bytes of the first element already taken
    size_t outgoingBytes = 0;  // bytes waiting in all
    size_t queueLimit = 0;     // 0: none
    // When the system last took bytes of the queue, or the queue began.
    std::chrono::steady_clock::time_point lastTaken;
    // Set once a write found the connection broken; later writes fail alike.
    NLenum writeError = NL_NO_ERROR;

    ~SocketEntry();
};

using SocketRef = std::shared_ptr<SocketEntry>;

// Sets the calling thread's error; returns false for use in returns.
bool SetNetError(NLenum error);
// The open socket, or null (and NL_INVALID_SOCKET).
SocketRef FindSocket(NLsocket socket);
// True while at least one nlInit reference is held.
bool NetLibraryReady();
// Guards the socket and group tables.
std::mutex& NetTableLock();
// Packet streams: a whole packet (or a close, reset or lost sync) waits, so a
// read returns at once without the system saying the socket is readable.
bool PacketWaiting(SocketEntry& entry);
// Drops every group; called when the last reference goes.
void ClearGroups();
// Whether a send error means the peer went (a reset or a closed pipe).
bool IsResetError(int error);
// The outgoing queue of a socket that does not block; writeLock held.
// Hands the system what it takes now; false (the error set, the queue
// emptied) when the connection broke.
bool FlushOutgoing(SocketEntry& entry);
// One write: sent at once as far as the system takes it, the rest queued
// behind what waits already. False, with nothing of it sent, when the
// connection broke or the queue would pass its limit.
bool QueueWrite(SocketEntry& entry, std::vector<uint8_t> bytes);
