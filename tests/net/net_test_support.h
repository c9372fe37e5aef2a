// Helpers of the network tests: raw loopback peers over POSIX sockets, so
// that a test can send exactly the bytes it wants, and a raw player program
// that joins, asks and reads what the host sends on a thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A connected raw TCP socket to 127.0.0.1:port; -1 on failure.
int RawConnect(uint16_t port);
// A raw listening socket on 127.0.0.1 with any free port; fd and port out.
int RawListen(uint16_t& port);
// Sends every byte; false on failure.
bool RawSend(int fd, const std::string& bytes);
// Reads what arrives within `timeoutMs`, up to the peer's close when `toEnd`.
std::string RawReceive(int fd, int timeoutMs, bool toEnd = false);
// Closes with a reset instead of a normal close.
void RawReset(int fd);
// The bytes of one framed packet.
std::string Framed(const std::string& payload);

// A 32-bit value as four little-endian bytes, and back.
std::string LittleEndian(int32_t value);
int32_t FromLittleEndian(const std::string& bytes);
// A VLMN packet's bytes; `length` overrides the stated payload length.
inline constexpr int64_t kTrueLength = INT64_MIN;
std::string Vlmn(uint8_t type, int32_t a, int32_t b, const std::string& payload, int64_t length = kTrueLength);
// The 152-byte player info of a join.
std::string JoinInfo(const std::string& name, uint8_t flag = 0);

// A packet a raw peer received.
struct RawPacket {
    uint8_t type = 0;
    int32_t a = 0;
    int32_t b = 0;
    std::string payload;
};

// A player program made of a raw socket: it reads everything the host sends
// on its own thread, unless told to stop, and keeps every packet.
class RawPlayer {
public:
    // Connects, retrying for up to `waitMs` while nobody listens yet; with a
    // receive buffer of `receiveBuffer` bytes when that is not 0.
    explicit RawPlayer(uint16_t port, int receiveBuffer = 0, int waitMs = 0);
    ~RawPlayer();
    bool Connected() const { return fd >= 0; }
    bool Send(const std::string& bytes) { return RawSend(fd, bytes); }
    bool SendPacket(uint8_t type, int32_t a, int32_t b, const std::string& payload) {
        return Send(Framed(Vlmn(type, a, b, payload)));
    }
    // Joins a named player: its id, or -1 when no reply came in time.
    int32_t Join(const std::string& name, int timeoutMs = 5000);
    // A request in the requester's name; true, with the reply's payload,
    // when the reply came in time.
    bool Ask(uint8_t type, int32_t requester, const std::string& payload, std::string& reply, int timeoutMs = 5000);
    // Stops or resumes reading. `bytesPerTick` above 0 reads at most that
    // much every 10 ms, a slow reader.
    void SetReading(bool on, size_t bytesPerTick = 0);
    // The messages (type 3) received from a sender, in the order they came.
    std::vector<std::string> MessagesFrom(int32_t sender);
    size_t CountMessagesFrom(int32_t sender);
    // Ends the connection at once; a send blocked in another thread returns.
    void Abort();
    // True once the host closed or reset the connection, seen by the reader.
    bool Closed() const { return closed; }

private:
    void Read();
    // The index of the first packet at or after `from` that `match` accepts,
    // waiting up to `timeoutMs`; -1 when none came.
    template <typename Match>
    long WaitFor(size_t from, int timeoutMs, Match match);

    int fd = -1;
    std::mutex lock;
    std::vector<RawPacket> received;
    std::atomic<bool> reading{true};
    std::atomic<size_t> pace{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> closed{false};
    std::thread reader;
};

// Polls `condition` every 10 ms for up to `timeoutMs`; its last value.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = 5000);

#include <chrono>
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

template <typename Match>
long RawPlayer::WaitFor(size_t from, int timeoutMs, Match match) {
    long found = -1;
    WaitUntil([&] {
        std::lock_guard<std::mutex> hold(lock);
        for (size_t i = from; i < received.size(); ++i)
            if (match(received[i])) return (found = (long)i) >= 0;
        return false;
    }, timeoutMs);
    return found;
}
