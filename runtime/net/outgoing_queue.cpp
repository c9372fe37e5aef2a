// The outgoing queue of sockets that do not block: a write never waits for a
// peer that reads slowly or not at all; what the system does not take at
// once waits, in order, until it does. Its size and how long the peer has
// taken nothing tell the owner when to give the connection up.
#include <cerrno>
#include <sys/socket.h>
#include <sys/uio.h>

#include "net/socket_internal.h"

// ---------------------------------------------------------------------------
// Constants

// Pieces handed to the system in one call.
static constexpr size_t kPiecesPerSend = 64;

// ---------------------------------------------------------------------------
// Internal helpers

using QueueClock = std::chrono::steady_clock;

static bool Broken(SocketEntry& entry, int error) {
    entry.writeError = IsResetError(error) ? NL_SOCK_DISCONNECT : NL_SYSTEM_ERROR;
    entry.outgoing.clear();
    entry.outgoingSent = 0;
    entry.outgoingBytes = 0;
    return SetNetError(entry.writeError);
}

// Marks `count` bytes of the queue's front as taken.
static void Taken(SocketEntry& entry, size_t count) {
    entry.outgoingBytes -= count;
    entry.lastTaken = QueueClock::now();
    while (count > 0) {
        size_t left = entry.outgoing.front().size() - entry.outgoingSent;
        if (count < left) {
            entry.outgoingSent += count;
            return;
        }
        count -= left;
        entry.outgoing.pop_front();
        entry.outgoingSent = 0;
    }
}

// ---------------------------------------------------------------------------
// Public: within the socket layer

bool FlushOutgoing(SocketEntry& entry) {
    if (entry.writeError != NL_NO_ERROR) return SetNetError(entry.writeError);
    while (!entry.outgoing.empty()) {
        iovec pieces[kPiecesPerSend];
        size_t count = 0;
        for (size_t i = 0; i < entry.outgoing.size() && count < kPiecesPerSend; ++i, ++count) {
            size_t skip = i == 0 ? entry.outgoingSent : 0;
            pieces[count].iov_base = entry.outgoing[i].data() + skip;
            pieces[count].iov_len = entry.outgoing[i].size() - skip;
        }
        msghdr message{};
        message.msg_iov = pieces;
        message.msg_iovlen = count;
        ssize_t sent = ::sendmsg(entry.fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            Taken(entry, (size_t)sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        return Broken(entry, sent < 0 ? errno : EPIPE);
    }
    return true;
}

bool QueueWrite(SocketEntry& entry, std::vector<uint8_t> bytes) {
    if (!FlushOutgoing(entry)) return false;
    if (entry.queueLimit > 0 && entry.outgoingBytes + bytes.size() > entry.queueLimit)
        return SetNetError(NL_QUEUE_FULL);
    size_t sent = 0;
    // Nothing waits: straight to the system, as far as it takes it.
    while (entry.outgoing.empty() && sent < bytes.size()) {
        ssize_t now = ::send(entry.fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (now > 0) {
            sent += (size_t)now;
            continue;
        }
        if (now < 0 && errno == EINTR) continue;
        if (now < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        return Broken(entry, now < 0 ? errno : EPIPE);
    }
    if (sent == bytes.size()) return true;
    // The peer's wait is counted from when something began to wait for it.
    if (entry.outgoing.empty()) entry.lastTaken = QueueClock::now();
    entry.outgoingBytes += bytes.size() - sent;
    entry.outgoing.push_back(std::move(bytes));
    if (entry.outgoing.size() == 1) entry.outgoingSent = sent;
    return true;
}

// ---------------------------------------------------------------------------
// Public

NLint nlSendQueued(NLsocket socket) {
    SocketRef entry = FindSocket(socket);
    if (!entry) return -1;
    std::lock_guard<std::mutex> hold(entry->writeLock);
    if (!FlushOutgoing(*entry)) return -1;
    return (NLint)entry->outgoingBytes;
}

bool nlGetQueueState(NLsocket socket, NLint& bytes, NLint& stalledMs) {
    SocketRef entry = FindSocket(socket);
    if (!entry) return false;
    std::lock_guard<std::mutex> hold(entry->writeLock);
    bytes = (NLint)entry->outgoingBytes;
    stalledMs = 0;
    if (!entry->outgoing.empty()) {
        auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(QueueClock::now() - entry->lastTaken);
        stalledMs = (NLint)waited.count();
    }
    return true;
}

bool nlSetQueueLimit(NLsocket socket, NLint bytes) {
    SocketRef entry = FindSocket(socket);
    if (!entry) return false;
    if (bytes < 0) return SetNetError(NL_BUFFER_SIZE);
    std::lock_guard<std::mutex> hold(entry->writeLock);
    entry->queueLimit = (size_t)bytes;
    return true;
}
