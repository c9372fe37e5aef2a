// Addresses of the socket layer: dotted text, the system resolver, the local
// and remote addresses of a socket, and those of the machine.
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <string>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "net/socket_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

// Reads a decimal number of at most `limit` from text, advancing it.
static bool ReadDecimal(const char*& text, uint32_t limit, uint32_t& value) {
    if (*text < '0' || *text > '9') return false;
    uint64_t number = 0;
    while (*text >= '0' && *text <= '9') {
        number = number * 10 + (uint64_t)(*text - '0');
        if (number > limit) return false;
        ++text;
    }
    value = (uint32_t)number;
    return true;
}

// ---------------------------------------------------------------------------
// Public

NLaddress nlStringToAddr(const char* text) {
    NLaddress address;
    if (!text) return address;
    uint32_t host = 0;
    for (int part = 0; part < 4; ++part) {
        uint32_t byte = 0;
        if (!ReadDecimal(text, 255, byte)) return address;
        host = (host << 8) | byte;
        if (part < 3 && *text++ != '.') return address;
    }
    uint32_t port = 0;
    if (*text == ':') {
        ++text;
        if (!ReadDecimal(text, 65535, port)) return address;
    }
    if (*text != '\0') return address;
    address.host = host;
    address.port = (uint16_t)port;
    address.valid = true;
    return address;
}

char* nlAddrToString(const NLaddress& address, char* out) {
    std::snprintf(out, 22, "%lu.%lu.%lu.%lu:%u", (unsigned long)(address.host >> 24),
                  (unsigned long)((address.host >> 16) & 255), (unsigned long)((address.host >> 8) & 255),
                  (unsigned long)(address.host & 255), (unsigned)address.port);
    return out;
}

bool nlGetAddrFromName(const char* name, NLaddress& address) {
    address = NLaddress();
    if (!name || !*name) return SetNetError(NL_BAD_ADDR);
    NLaddress dotted = nlStringToAddr(name);
    if (dotted.valid) {
        address = dotted;
        return true;
    }
    // A name may carry ":port" too.
    std::string host = name;
    uint16_t port = 0;
    size_t colon = host.rfind(':');
    if (colon != std::string::npos) {
        const char* digits = host.c_str() + colon + 1;
        uint32_t value = 0;
        if (!ReadDecimal(digits, 65535, value) || *digits != '\0') return SetNetError(NL_BAD_ADDR);
        port = (uint16_t)value;
        host.resize(colon);
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return SetNetError(NL_BAD_ADDR);
    const sockaddr_in* first = (const sockaddr_in*)found->ai_addr;
    address.host = ntohl(first->sin_addr.s_addr);
    address.port = port;
    address.valid = true;
    freeaddrinfo(found);
    return true;
}

void nlSetAddrPort(NLaddress& address, uint16_t port) { address.port = port; }

uint16_t nlGetPortFromAddr(const NLaddress& address) { return address.port; }

bool nlGetLocalAddr(NLsocket socket, NLaddress& address) {
    address = NLaddress();
    SocketRef entry = FindSocket(socket);
    if (!entry) return false;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(entry->fd, (sockaddr*)&local, &length) != 0) return SetNetError(NL_SYSTEM_ERROR);
    address.host = ntohl(local.sin_addr.s_addr);
    if (address.host == INADDR_ANY) address.host = INADDR_LOOPBACK;
    address.port = ntohs(local.sin_port);
    address.valid = true;
    return true;
}

bool nlGetRemoteAddr(NLsocket socket, NLaddress& address) {
    address = NLaddress();
    SocketRef entry = FindSocket(socket);
    if (!entry) return false;
    sockaddr_in remote{};
    socklen_t length = sizeof remote;
    if (getpeername(entry->fd, (sockaddr*)&remote, &length) != 0) return SetNetError(NL_SYSTEM_ERROR);
    address.host = ntohl(remote.sin_addr.s_addr);
    address.port = ntohs(remote.sin_port);
    address.valid = true;
    return true;
}

NLint nlGetAllLocalAddr(uint16_t port, NLaddress* out, NLint capacity) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return SetNetError(NL_SYSTEM_ERROR), 0;
    NLint count = 0;
    for (ifaddrs* item = list; item && count < capacity; item = item->ifa_next) {
        if (!item->ifa_addr || item->ifa_addr->sa_family != AF_INET) continue;
        const sockaddr_in* ip = (const sockaddr_in*)item->ifa_addr;
        out[count].host = ntohl(ip->sin_addr.s_addr);
        out[count].port = port;
        out[count].valid = true;
        ++count;
    }
    freeifaddrs(list);
    return count;
}
