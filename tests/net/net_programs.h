// Programs of a network game as separate network records in one process, for
// the tests that play several programs at once.
#pragma once

#include <string>
#include <unistd.h>

#include "net/net_internal.h"
#include "net_test_support.h"

// One program taking part in a game.
struct Program {
    NetworkRecord* net = NewNetworkRecord();
    ~Program() { DeleteNetworkRecord(net); }
    NetworkRecord& operator*() { return *net; }
};

// A port nobody listens on just now.
inline uint16_t FreePort() {
    uint16_t port = 0;
    int fd = RawListen(port);
    ::close(fd);
    return port;
}

inline std::string PortText(uint16_t port) { return std::to_string(port); }

inline std::string Text(const RuntimeString& text) { return std::string(text.Text(), text.Length()); }
