// The socket layer under the multiplayer protocol and the HTTP fetch: IPv4
// sockets over POSIX, plain TCP streams and framed packet streams, socket
// groups with read polling, addresses, mutexes and threads.
//
// Packet streams (NL_RELIABLE_PACKETS) put every packet on the wire as 'N',
// 'L', the length as 16-bit unsigned big-endian, then the bytes; every peer
// relies on that framing. Errors are kept per thread and read by nlGetError.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// Types and constants

using NLsocket = int32_t;
using NLint = int32_t;
using NLenum = int32_t;

inline constexpr NLsocket NL_INVALID = -1;

// Network types.
inline constexpr NLenum NL_IP = 0x0003;
// Connection types.
inline constexpr NLenum NL_RELIABLE = 0x0010;          // a plain TCP stream
inline constexpr NLenum NL_RELIABLE_PACKETS = 0x0011;  // TCP with the packet framing
// nlEnable options.
inline constexpr NLenum NL_BLOCKING_IO = 0x0020;
inline constexpr NLenum NL_SOCKET_STATS = 0x0021;
// nlPollGroup status.
inline constexpr NLenum NL_READ_STATUS = 0x0030;

// Errors reported by nlGetError.
inline constexpr NLenum NL_NO_ERROR = 0;
inline constexpr NLenum NL_NO_NETWORK = 0x0101;      // nlInit not called, or no network selected
inline constexpr NLenum NL_SYSTEM_ERROR = 0x0102;    // the system refused; see errno
inline constexpr NLenum NL_INVALID_SOCKET = 0x0103;
inline constexpr NLenum NL_INVALID_TYPE = 0x0104;
inline constexpr NLenum NL_NOT_LISTEN = 0x0105;      // accept on a socket that does not listen
inline constexpr NLenum NL_NO_PENDING = 0x0106;      // nothing to accept right now
inline constexpr NLenum NL_MESSAGE_END = 0x0107;     // the peer closed the connection
inline constexpr NLenum NL_SOCK_DISCONNECT = 0x0108; // the connection was reset
inline constexpr NLenum NL_PACKET_SYNC = 0x0109;     // a packet stream held no header where one was due
inline constexpr NLenum NL_PACKET_SIZE = 0x010A;     // a packet above NL_MAX_PACKET_LENGTH
inline constexpr NLenum NL_BUFFER_SIZE = 0x010B;     // a packet larger than the read buffer
inline constexpr NLenum NL_BAD_ADDR = 0x010C;
inline constexpr NLenum NL_INVALID_GROUP = 0x010D;
inline constexpr NLenum NL_CON_REFUSED = 0x010E;
inline constexpr NLenum NL_QUEUE_FULL = 0x010F;      // a write would take the outgoing queue past its limit

inline constexpr NLint NL_MAX_PACKET_LENGTH = 16384;
inline constexpr NLint NL_PACKET_HEADER = 4;

// An IPv4 address and port, both in host order.
struct NLaddress {
    uint32_t host = 0;
    uint16_t port = 0;
    bool valid = false;
};

struct NLmutex;
struct NLthread;

// ---------------------------------------------------------------------------
// Library use. Every user takes a reference with nlInit and gives it back with
// nlShutdown; sockets and groups are closed when the last reference goes, so
// one user's shutdown does not end another's connections.

// Takes a reference; true on success.
bool nlInit();
// Gives one reference back; the last closes every socket and group.
void nlShutdown();
// Only NL_IP is known; false for anything else.
bool nlSelectNetwork(NLenum network);
// NL_BLOCKING_IO makes the sockets the calling thread opens afterwards block
// in connect, read and write; NL_SOCKET_STATS is accepted and does nothing.
bool nlEnable(NLenum option);
bool nlDisable(NLenum option);
// The calling thread's last error.
NLenum nlGetError();
// A short English text for an error.
const char* nlGetErrorStr(NLenum error);

// ---------------------------------------------------------------------------
// Sockets

// A socket bound to `port` on every local address (0: any free port) of the
// connection type; NL_INVALID on failure.
NLsocket nlOpen(uint16_t port, NLenum type);
bool nlListen(NLsocket socket);
// The next waiting connection as a new socket of the listening socket's type;
// NL_INVALID with NL_NO_PENDING when there is none.
NLsocket nlAcceptConnection(NLsocket socket);
// Connects to the address; waits at most a few seconds; false on failure.
bool nlConnect(NLsocket socket, const NLaddress& address);
bool nlClose(NLsocket socket);
// Stream sockets: the bytes read (0 when nothing waits), or -1 with the error.
// Packet sockets: one whole packet (0 when none is complete yet), or -1:
// NL_MESSAGE_END once the peer closed and no whole packet is left,
// NL_SOCK_DISCONNECT on a reset, NL_PACKET_SYNC when no header was where one
// was due (the stream is then unusable), NL_BUFFER_SIZE when the next packet
// is longer than `size` (that packet is dropped).
NLint nlRead(NLsocket socket, void* buffer, NLint size);
// Writes all bytes (packet sockets: as one packet of at most
// NL_MAX_PACKET_LENGTH bytes); the count, or -1. A blocking socket waits
// until the system has taken them. Any other never waits: what the system
// does not take at once is kept in the socket's outgoing queue, behind what
// waits there already, and goes out on later writes, on nlSendQueued and on
// the close. -1 with NL_QUEUE_FULL, and nothing of the write sent, when it
// would take the queue past the socket's limit; -1 with NL_SOCK_DISCONNECT
// once the connection broke. Writes from two threads on one socket never
// interleave.
NLint nlWrite(NLsocket socket, const void* buffer, NLint size);
// Hands the system what it takes now of the outgoing queue; the bytes still
// waiting, or -1 when the connection broke (the queue is then dropped).
NLint nlSendQueued(NLsocket socket);
// The outgoing queue: the bytes waiting, and the milliseconds since the
// system last took any of them (0 when nothing waits). False for a socket
// that is not open.
bool nlGetQueueState(NLsocket socket, NLint& bytes, NLint& stalledMs);
// The most the outgoing queue may hold, in bytes; 0 (as opened) is no limit.
bool nlSetQueueLimit(NLsocket socket, NLint bytes);

// ---------------------------------------------------------------------------
// Addresses

// "a.b.c.d" or "a.b.c.d:port" into an address; invalid when it is not one.
NLaddress nlStringToAddr(const char* text);
// "%lu.%lu.%lu.%lu:%u" into `out` (at least 22 bytes); returns out.
char* nlAddrToString(const NLaddress& address, char* out);
// A host name or dotted address through the system resolver; false when
// unknown. The port is 0 unless the text gives one.
bool nlGetAddrFromName(const char* name, NLaddress& address);
void nlSetAddrPort(NLaddress& address, uint16_t port);
uint16_t nlGetPortFromAddr(const NLaddress& address);
// The socket's own address; for a socket bound to every address, the
// loopback address with the socket's port.
bool nlGetLocalAddr(NLsocket socket, NLaddress& address);
// The address of a connected socket's peer; false when it has none.
bool nlGetRemoteAddr(NLsocket socket, NLaddress& address);
// Every IPv4 address of this machine's interfaces, with `port`, into `out`
// (room for `capacity`); the count.
NLint nlGetAllLocalAddr(uint16_t port, NLaddress* out, NLint capacity);

// ---------------------------------------------------------------------------
// Groups

// A new empty group, or -1.
NLint nlGroupCreate();
bool nlGroupDestroy(NLint group);
bool nlGroupAddSocket(NLint group, NLsocket socket);
bool nlGroupDeleteSocket(NLint group, NLsocket socket);
// With NL_READ_STATUS: writes up to `capacity` sockets of the group that have
// something to read (data, a whole packet, a close or a reset) to `out`,
// waiting at most `timeoutMs` (0: do not wait); the count, or -1.
NLint nlPollGroup(NLint group, NLenum status, NLsocket* out, NLint capacity, NLint timeoutMs);

// ---------------------------------------------------------------------------
// Mutexes and threads

bool nlMutexInit(NLmutex** mutex);
bool nlMutexLock(NLmutex* mutex);
bool nlMutexUnlock(NLmutex* mutex);
bool nlMutexDestroy(NLmutex** mutex);
// Starts `function(argument)` on a new thread; null on failure.
NLthread* nlThreadCreate(void (*function)(void*), void* argument);
// Waits for the thread to end and frees its handle.
void nlThreadJoin(NLthread* thread);
// Sleeps the calling thread.
void nlThreadSleep(NLint milliseconds);
