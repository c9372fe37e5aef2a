// Raw loopback peers for the network tests.
#include "net_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

int RawConnect(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    if (::connect(fd, (sockaddr*)&to, sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int RawListen(uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, (sockaddr*)&at, sizeof at) != 0 || ::listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof at;
    getsockname(fd, (sockaddr*)&at, &length);
    port = ntohs(at.sin_port);
    return fd;
}

bool RawSend(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        done += (size_t)sent;
    }
    return true;
}

std::string RawReceive(int fd, int timeoutMs, bool toEnd) {
    std::string got;
    char chunk[4096];
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, timeoutMs) <= 0) break;
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        got.append(chunk, (size_t)n);
        if (!toEnd) timeoutMs = 50;
    }
    return got;
}

void RawReset(int fd) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

std::string Framed(const std::string& payload) {
    std::string bytes = "NL";
    bytes += (char)(payload.size() >> 8);
    bytes += (char)(payload.size() & 255);
    return bytes + payload;
}

std::string LittleEndian(int32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = (char)((uint32_t)value >> (8 * i));
    return bytes;
}

int32_t FromLittleEndian(const std::string& bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < bytes.size(); ++i) value |= (uint32_t)(uint8_t)bytes[i] << (8 * i);
    return (int32_t)value;
}

std::string Vlmn(uint8_t type, int32_t a, int32_t b, const std::string& payload, int64_t length) {
    return "VLMN" + std::string(1, (char)type) +
           LittleEndian(length == kTrueLength ? (int32_t)payload.size() : (int32_t)length) + LittleEndian(a) +
           LittleEndian(b) + payload;
}

std::string JoinInfo(const std::string& name, uint8_t flag) {
    std::string info(152, '\0');
    info.replace(0, 4, LittleEndian(-1));
    info.replace(4, 4, LittleEndian(-1));
    info[8] = (char)flag;
    info.replace(9, name.size(), name);
    return info;
}

// ---------------------------------------------------------------------------
// RawPlayer

RawPlayer::RawPlayer(uint16_t port, int receiveBuffer, int waitMs) {
    for (int waited = 0;; waited += 20) {
        int candidate = ::socket(AF_INET, SOCK_STREAM, 0);
        // Set before the connect, so that the window offered is this small.
        if (receiveBuffer > 0) setsockopt(candidate, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port);
        if (::connect(candidate, (sockaddr*)&to, sizeof to) == 0) {
            fd = candidate;
            break;
        }
        ::close(candidate);
        if (waited >= waitMs) return;
        usleep(20000);
    }
    reader = std::thread([this] { Read(); });
}

RawPlayer::~RawPlayer() {
    stop = true;
    if (reader.joinable()) reader.join();
    if (fd >= 0) ::close(fd);
}

void RawPlayer::Read() {
    std::string stream;
    size_t at = 0;
    std::vector<char> chunk(65536);
    while (!stop && !closed) {
        if (!reading) {
            usleep(10000);
            continue;
        }
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 10) <= 0) continue;
        size_t want = pace ? std::min(pace.load(), chunk.size()) : chunk.size();
        ssize_t got = ::recv(fd, chunk.data(), want, 0);
        if (got <= 0) {
            closed = true;
            break;
        }
        stream.append(chunk.data(), (size_t)got);
        // Every whole frame holding a packet of the game.
        std::vector<RawPacket> packets;
        while (stream.size() - at >= 4) {
            size_t length = ((size_t)(uint8_t)stream[at + 2] << 8) | (uint8_t)stream[at + 3];
            if (stream.size() - at < 4 + length) break;
            if (length >= 17) {
                RawPacket packet;
                packet.type = (uint8_t)stream[at + 8];
                packet.a = FromLittleEndian(stream.substr(at + 13, 4));
                packet.b = FromLittleEndian(stream.substr(at + 17, 4));
                packet.payload = stream.substr(at + 21, length - 17);
                packets.push_back(std::move(packet));
            }
            at += 4 + length;
        }
        if (at > stream.size() / 2) {
            stream.erase(0, at);
            at = 0;
        }
        if (!packets.empty()) {
            std::lock_guard<std::mutex> hold(lock);
            for (RawPacket& packet : packets) received.push_back(std::move(packet));
        }
        if (pace) usleep(10000);
    }
}

int32_t RawPlayer::Join(const std::string& name, int timeoutMs) {
    size_t from;
    {
        std::lock_guard<std::mutex> hold(lock);
        from = received.size();
    }
    if (!SendPacket(1, 0, 0, JoinInfo(name))) return -1;
    long at = WaitFor(from, timeoutMs, [](const RawPacket& p) { return p.type == 2; });
    if (at < 0) return -1;
    std::lock_guard<std::mutex> hold(lock);
    return received[(size_t)at].a;
}

bool RawPlayer::Ask(uint8_t type, int32_t requester, const std::string& payload, std::string& reply,
                    int timeoutMs) {
    size_t from;
    {
        std::lock_guard<std::mutex> hold(lock);
        from = received.size();
    }
    if (!SendPacket(type, 0, requester, payload)) return false;
    long at = WaitFor(from, timeoutMs,
                      [&](const RawPacket& p) { return p.type == type && p.a == requester && p.b == 0; });
    if (at < 0) return false;
    std::lock_guard<std::mutex> hold(lock);
    reply = received[(size_t)at].payload;
    return true;
}

void RawPlayer::Abort() { ::shutdown(fd, SHUT_RDWR); }

void RawPlayer::SetReading(bool on, size_t bytesPerTick) {
    pace = bytesPerTick;
    reading = on;
}

std::vector<std::string> RawPlayer::MessagesFrom(int32_t sender) {
    std::vector<std::string> messages;
    std::lock_guard<std::mutex> hold(lock);
    for (const RawPacket& packet : received)
        if (packet.type == 3 && packet.b == sender) messages.push_back(packet.payload);
    return messages;
}

size_t RawPlayer::CountMessagesFrom(int32_t sender) {
    size_t count = 0;
    std::lock_guard<std::mutex> hold(lock);
    for (const RawPacket& packet : received) count += packet.type == 3 && packet.b == sender;
    return count;
}
