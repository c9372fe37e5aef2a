// Network figures over loopback: messages per second from one program to
// another through the host, 2,000-byte messages to everybody among three
// well-behaved programs, and the round trip of a count request, printed
// beside a plain TCP echo of the same sizes as the reference.
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "net/net_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

uint16_t FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, (sockaddr*)&at, sizeof at);
    socklen_t length = sizeof at;
    getsockname(fd, (sockaddr*)&at, &length);
    ::close(fd);
    return ntohs(at.sin_port);
}

// The reference: a plain TCP echo over loopback, one thread echoing.
void PlainEcho(int messages, size_t size, double& perSecond, double& roundTripMs) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, (sockaddr*)&at, sizeof at);
    ::listen(listener, 1);
    socklen_t length = sizeof at;
    getsockname(listener, (sockaddr*)&at, &length);
    std::thread echo([listener] {
        int peer = ::accept(listener, nullptr, nullptr);
        char buffer[65536];
        for (;;) {
            ssize_t got = ::recv(peer, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            ::send(peer, buffer, (size_t)got, MSG_NOSIGNAL);
        }
        ::close(peer);
    });
    int client = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::connect(client, (sockaddr*)&at, sizeof at);
    std::string message(size, 'm');
    char buffer[65536];
    auto start = Clock::now();
    size_t expected = (size_t)messages * size, received = 0;
    std::thread sender([&] {
        for (int i = 0; i < messages; ++i) ::send(client, message.data(), size, MSG_NOSIGNAL);
    });
    while (received < expected) {
        ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        received += (size_t)got;
    }
    sender.join();
    perSecond = messages / Seconds(start);
    const int kTrips = 200;
    start = Clock::now();
    for (int i = 0; i < kTrips; ++i) {
        ::send(client, message.data(), size, MSG_NOSIGNAL);
        size_t back = 0;
        while (back < size) {
            ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            back += (size_t)got;
        }
    }
    roundTripMs = Seconds(start) * 1000.0 / kTrips;
    ::close(client);
    echo.join();
    ::close(listener);
}

// Messages of 2,000 bytes to everybody from one guest, until the host's
// player and the other guest's player have every one; per second.
double Broadcast(NetworkRecord& host, NetworkRecord& sender, NetworkRecord& other, int messages, int& arrived) {
    std::string hostPlayer = NetCreatePlayer(host, "h").Text();
    std::string from = NetCreatePlayer(sender, "s").Text();
    std::string otherPlayer = NetCreatePlayer(other, "o").Text();
    const std::string text(2000, 'b');
    auto start = Clock::now();
    std::thread sending([&] {
        for (int i = 0; i < messages; ++i)
            while (NetSendMessage(sender, from.c_str(), "-1", text.c_str()) != 1.0) std::this_thread::yield();
    });
    int atHost = 0, atOther = 0, atSender = 0;
    while ((atHost < messages || atOther < messages || atSender < messages) && Seconds(start) < 60.0) {
        bool any = false;
        if (NetReceiveMessage(host, hostPlayer.c_str()).Length() > 0) any = true, ++atHost;
        if (NetReceiveMessage(other, otherPlayer.c_str()).Length() > 0) any = true, ++atOther;
        if (NetReceiveMessage(sender, from.c_str()).Length() > 0) any = true, ++atSender;
        if (!any) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    sending.join();
    arrived = std::min(atHost, std::min(atOther, atSender));
    return arrived / Seconds(start);
}

}  // namespace

int main() {
    const int kMessages = 20000;
    const std::string text(32, 'm');
    std::string port = std::to_string(FreePort());
    NetworkRecord* host = NewNetworkRecord();
    NetworkRecord* guest = NewNetworkRecord();
    if (NetHost(*host, port.c_str()) != 1.0 || NetJoin(*guest, "", port.c_str()) != 1.0) {
        std::printf("net_bench: cannot start a game on port %s\n", port.c_str());
        return 1;
    }
    std::string to = NetCreatePlayer(*host, "to").Text();
    std::string from = NetCreatePlayer(*guest, "from").Text();

    auto start = Clock::now();
    int received = 0;
    std::thread sender([&] {
        for (int i = 0; i < kMessages; ++i) NetSendMessage(*guest, from.c_str(), to.c_str(), text.c_str());
    });
    while (received < kMessages && Seconds(start) < 60.0) {
        if (NetReceiveMessage(*host, to.c_str()).Length() > 0) ++received;
        else std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    sender.join();
    double messagesPerSecond = received / Seconds(start);

    const int kRequests = 100;
    NetPlayerCount(*guest);
    start = Clock::now();
    for (int i = 0; i < kRequests; ++i) NetPlayerCount(*guest);
    double requestMs = Seconds(start) * 1000.0 / kRequests;

    const int kBroadcasts = 4000;
    NetworkRecord* third = NewNetworkRecord();
    int broadcastArrived = 0;
    double broadcastPerSecond = 0.0;
    if (NetJoin(*third, "", port.c_str()) == 1.0)
        broadcastPerSecond = Broadcast(*host, *guest, *third, kBroadcasts, broadcastArrived);
    DeleteNetworkRecord(third);

    double echoPerSecond = 0.0, echoMs = 0.0;
    PlainEcho(kMessages, text.size() + kNetHeaderSize + NL_PACKET_HEADER, echoPerSecond, echoMs);

    std::printf("messages, guest to host player (%d of %d arrived): %10.0f per second\n", received, kMessages,
                messagesPerSecond);
    std::printf("plain TCP echo of the same size:                  %10.0f per second\n", echoPerSecond);
    std::printf("2,000-byte messages to all, 3 programs (%d of %d): %8.0f per second\n", broadcastArrived,
                kBroadcasts, broadcastPerSecond);
    std::printf("count request round trip:                         %10.3f ms\n", requestMs);
    std::printf("plain TCP echo round trip:                        %10.3f ms\n", echoMs);
    DeleteNetworkRecord(guest);
    DeleteNetworkRecord(host);
    return 0;
}
