// Raw loopback peers for the network tests.
#include "net_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
