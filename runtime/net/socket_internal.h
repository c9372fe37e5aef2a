// The socket layer's own table of open sockets, shared by its files.
#pragma once

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
