// The socket layer's library state, socket table and socket operations:
// open, listen, accept, connect, close, and the stream reads and writes.
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/packet_stream.h"
#include "net/socket_internal.h"

// ---------------------------------------------------------------------------
// State

static std::mutex tableLock;
static std::map<NLsocket, SocketRef> sockets;
static NLsocket nextSocket = 0;
static int libraryUsers = 0;
static bool networkSelected = false;
static thread_local NLenum lastError = NL_NO_ERROR;
static thread_local bool blockingIo = false;

// A connect gives up after this long.
static constexpr int kWaitMs = 5000;

// ---------------------------------------------------------------------------
// Internal helpers

SocketEntry::~SocketEntry() {
    if (fd >= 0) ::close(fd);
}

bool SetNetError(NLenum error) {
    lastError = error;
    return false;
}

std::mutex& NetTableLock() { return tableLock; }

bool NetLibraryReady() {
    std::lock_guard<std::mutex> hold(tableLock);
    return libraryUsers > 0 && networkSelected;
}

SocketRef FindSocket(NLsocket socket) {
    std::lock_guard<std::mutex> hold(tableLock);
    auto found = sockets.find(socket);
    if (found == sockets.end()) {
        SetNetError(NL_INVALID_SOCKET);
        return nullptr;
    }
    return found->second;
}

static NLsocket AddSocket(SocketRef entry) {
    std::lock_guard<std::mutex> hold(tableLock);
    // Numbers are not reused at once, so a stale number held by a player
    // record does not reach a newer connection.
    for (;;) {
        NLsocket number = nextSocket;
        nextSocket = nextSocket == INT32_MAX ? 0 : nextSocket + 1;
        if (!sockets.count(number)) {
            sockets[number] = std::move(entry);
            return number;
        }
    }
}

static void ConfigureDescriptor(int fd, NLenum type) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
    int on = 1;
    // Packets are small and answered at once: no coalescing delay.
    if (type == NL_RELIABLE_PACKETS) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Waits until the descriptor is ready for `events`; false on timeout.
static bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd entry{fd, events, 0};
    for (;;) {
        int ready = ::poll(&entry, 1, timeoutMs);
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool IsResetError(int error) {
    return error == ECONNRESET || error == EPIPE || error == ECONNABORTED || error == ETIMEDOUT;
}

// A blocking socket's write: waits until the system has taken every byte;
// false (with the error set) when the connection broke.
static bool SendAll(SocketEntry& entry, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        ssize_t sent = ::send(entry.fd, bytes, count, MSG_NOSIGNAL);
        if (sent > 0) {
            bytes += sent;
            count -= (size_t)sent;
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(entry.fd, POLLOUT, -1)) continue;
            return SetNetError(NL_SYSTEM_ERROR);
        }
        return SetNetError(sent < 0 && IsResetError(errno) ? NL_SOCK_DISCONNECT : NL_SYSTEM_ERROR);
    }
    return true;
}

static NLint ReadStream(SocketEntry& entry, void* buffer, NLint size) {
    for (;;) {
        ssize_t got = ::recv(entry.fd, buffer, (size_t)size, 0);
        if (got > 0) return (NLint)got;
        if (got == 0) {
            SetNetError(NL_MESSAGE_END);
            return -1;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (entry.blocking && WaitFor(entry.fd, POLLIN, -1)) continue;
            return 0;
        }
        SetNetError(IsResetError(errno) ? NL_SOCK_DISCONNECT : NL_SYSTEM_ERROR);
        return -1;
    }
}

// Reads whatever the system holds for a packet stream into its pending bytes.
// Returns false when nothing more can come now (would block).
static bool FillPending(SocketEntry& entry) {
    uint8_t chunk[16384];
    for (;;) {
        ssize_t got = ::recv(entry.fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            entry.pending.insert(entry.pending.end(), chunk, chunk + got);
            return true;
        }
        if (got == 0) {
            entry.peerClosed = true;
            return true;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (entry.blocking && WaitFor(entry.fd, POLLIN, -1)) continue;
            return false;
        }
        if (IsResetError(errno)) entry.reset = true;
        else entry.peerClosed = true;
        return true;
    }
}

static NLint ReadPacket(SocketEntry& entry, void* buffer, NLint size) {
    std::lock_guard<std::mutex> hold(entry.readLock);
    for (;;) {
        PacketScan scan = ScanPacket(entry.pending.data(), entry.pending.size());
        if (scan.status == PacketScan::kLostSync) entry.lostSync = true;
        if (entry.lostSync) {
            SetNetError(NL_PACKET_SYNC);
            return -1;
        }
        if (scan.status == PacketScan::kWhole) {
            NLint length = (NLint)scan.length;
            if (length > size) {
                entry.pending.erase(entry.pending.begin(), entry.pending.begin() + NL_PACKET_HEADER + length);
                SetNetError(NL_BUFFER_SIZE);
                return -1;
            }
            std::copy(entry.pending.begin() + NL_PACKET_HEADER,
                      entry.pending.begin() + NL_PACKET_HEADER + length, (uint8_t*)buffer);
            entry.pending.erase(entry.pending.begin(), entry.pending.begin() + NL_PACKET_HEADER + length);
            return length;
        }
        // A partial packet left behind by a closed or reset peer never completes.
        if (entry.reset) {
            SetNetError(NL_SOCK_DISCONNECT);
            return -1;
        }
        if (entry.peerClosed) {
            SetNetError(NL_MESSAGE_END);
            return -1;
        }
        if (!FillPending(entry)) return 0;
    }
}

bool PacketWaiting(SocketEntry& entry) {
    std::lock_guard<std::mutex> hold(entry.readLock);
    if (entry.lostSync || entry.reset || entry.peerClosed) return true;
    return ScanPacket(entry.pending.data(), entry.pending.size()).status != PacketScan::kIncomplete;
}

// ---------------------------------------------------------------------------
// Public: library

bool nlInit() {
    std::lock_guard<std::mutex> hold(tableLock);
    ++libraryUsers;
    return true;
}

void nlShutdown() {
    std::map<NLsocket, SocketRef> closing;
    {
        std::lock_guard<std::mutex> hold(tableLock);
        if (libraryUsers == 0) return;
        if (--libraryUsers > 0) return;
        networkSelected = false;
        closing.swap(sockets);
    }
    ClearGroups();
}

bool nlSelectNetwork(NLenum network) {
    std::lock_guard<std::mutex> hold(tableLock);
    if (libraryUsers == 0) return SetNetError(NL_NO_NETWORK);
    if (network != NL_IP) return SetNetError(NL_INVALID_TYPE);
    networkSelected = true;
    return true;
}

bool nlEnable(NLenum option) {
    if (option == NL_BLOCKING_IO) blockingIo = true;
    else if (option != NL_SOCKET_STATS) return SetNetError(NL_INVALID_TYPE);
    return true;
}

bool nlDisable(NLenum option) {
    if (option == NL_BLOCKING_IO) blockingIo = false;
    else if (option != NL_SOCKET_STATS) return SetNetError(NL_INVALID_TYPE);
    return true;
}

NLenum nlGetError() { return lastError; }

const char* nlGetErrorStr(NLenum error) {
    switch (error) {
    case NL_NO_ERROR: return "no error";
    case NL_NO_NETWORK: return "no network";
    case NL_SYSTEM_ERROR: return "system error";
    case NL_INVALID_SOCKET: return "invalid socket";
    case NL_INVALID_TYPE: return "invalid type";
    case NL_NOT_LISTEN: return "socket does not listen";
    case NL_NO_PENDING: return "no pending connection";
    case NL_MESSAGE_END: return "connection closed";
    case NL_SOCK_DISCONNECT: return "connection reset";
    case NL_PACKET_SYNC: return "packet stream out of sync";
    case NL_PACKET_SIZE: return "packet too large";
    case NL_BUFFER_SIZE: return "buffer too small";
    case NL_BAD_ADDR: return "bad address";
    case NL_INVALID_GROUP: return "invalid group";
    case NL_CON_REFUSED: return "connection refused";
    case NL_QUEUE_FULL: return "outgoing queue full";
    default: return "unknown error";
    }
}

// ---------------------------------------------------------------------------
// Public: sockets

NLsocket nlOpen(uint16_t port, NLenum type) {
    if (!NetLibraryReady()) return SetNetError(NL_NO_NETWORK), NL_INVALID;
    if (type != NL_RELIABLE && type != NL_RELIABLE_PACKETS) return SetNetError(NL_INVALID_TYPE), NL_INVALID;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return SetNetError(NL_SYSTEM_ERROR), NL_INVALID;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::bind(fd, (sockaddr*)&local, sizeof local) != 0) {
        ::close(fd);
        return SetNetError(NL_SYSTEM_ERROR), NL_INVALID;
    }
    ConfigureDescriptor(fd, type);
    auto entry = std::make_shared<SocketEntry>();
    entry->fd = fd;
    entry->type = type;
    entry->blocking = blockingIo;
    return AddSocket(std::move(entry));
}

bool nlListen(NLsocket socket) {
    SocketRef entry = FindSocket(socket);
    if (!entry) return false;
    if (::listen(entry->fd, SOMAXCONN) != 0) return SetNetError(NL_SYSTEM_ERROR);
    entry->listening = true;
    return true;
}

NLsocket nlAcceptConnection(NLsocket socket) {
    SocketRef entry = FindSocket(socket);
    if (!entry) return NL_INVALID;
    if (!entry->listening) return SetNetError(NL_NOT_LISTEN), NL_INVALID;
    for (;;) {
        int fd = ::accept4(entry->fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            ConfigureDescriptor(fd, entry->type);
            auto accepted = std::make_shared<SocketEntry>();
            accepted->fd = fd;
            accepted->type = entry->type;
            accepted->blocking = entry->blocking;
            return AddSocket(std::move(accepted));
        }
        if (errno == EINTR) continue;
        // A connection that went before it was taken is no failure of the listener.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED || errno == EPROTO)
            return SetNetError(NL_NO_PENDING), NL_INVALID;
        return SetNetError(NL_SYSTEM_ERROR), NL_INVALID;
    }
}

bool nlConnect(NLsocket socket, const NLaddress& address) {
    SocketRef entry = FindSocket(socket);
    if (!entry) return false;
    if (!address.valid) return SetNetError(NL_BAD_ADDR);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = htonl(address.host);
    remote.sin_port = htons(address.port);
    if (::connect(entry->fd, (sockaddr*)&remote, sizeof remote) == 0) return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return SetNetError(errno == ECONNREFUSED ? NL_CON_REFUSED : NL_SYSTEM_ERROR);
    if (!WaitFor(entry->fd, POLLOUT, kWaitMs)) return SetNetError(NL_SYSTEM_ERROR);
    int error = 0;
    socklen_t length = sizeof error;
    getsockopt(entry->fd, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error != 0) return SetNetError(error == ECONNREFUSED ? NL_CON_REFUSED : NL_SYSTEM_ERROR);
    return true;
}

bool nlClose(NLsocket socket) {
    SocketRef entry;
    {
        std::lock_guard<std::mutex> hold(tableLock);
        auto found = sockets.find(socket);
        if (found == sockets.end()) return SetNetError(NL_INVALID_SOCKET);
        entry = found->second;
        sockets.erase(found);
    }
    // What waits goes out if the system takes it now; the rest is lost.
    {
        std::lock_guard<std::mutex> hold(entry->writeLock);
        if (!entry->outgoing.empty()) FlushOutgoing(*entry);
    }
    // The descriptor closes when the last user of the entry lets go.
    return true;
}

NLint nlRead(NLsocket socket, void* buffer, NLint size) {
    SocketRef entry = FindSocket(socket);
    if (!entry) return -1;
    if (size <= 0 || !buffer) return SetNetError(NL_BUFFER_SIZE), -1;
    if (entry->listening) return SetNetError(NL_INVALID_SOCKET), -1;
    if (entry->type == NL_RELIABLE_PACKETS) return ReadPacket(*entry, buffer, size);
    std::lock_guard<std::mutex> hold(entry->readLock);
    return ReadStream(*entry, buffer, size);
}

NLint nlWrite(NLsocket socket, const void* buffer, NLint size) {
    SocketRef entry = FindSocket(socket);
    if (!entry) return -1;
    if (size < 0 || (size > 0 && !buffer)) return SetNetError(NL_BUFFER_SIZE), -1;
    std::lock_guard<std::mutex> hold(entry->writeLock);
    std::vector<uint8_t> bytes;
    if (entry->type == NL_RELIABLE_PACKETS) {
        if (size > NL_MAX_PACKET_LENGTH) return SetNetError(NL_PACKET_SIZE), -1;
        bytes = FramePacket((const uint8_t*)buffer, (uint32_t)size);
    } else {
        bytes.assign((const uint8_t*)buffer, (const uint8_t*)buffer + size);
    }
    if (entry->blocking) return SendAll(*entry, bytes.data(), bytes.size()) ? size : -1;
    return QueueWrite(*entry, std::move(bytes)) ? size : -1;
}
