// Helpers of the network tests: raw loopback peers over POSIX sockets, so
// that a test can send exactly the bytes it wants.
#pragma once

#include <cstdint>
#include <string>

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
// Polls `condition` every 10 ms for up to `timeoutMs`; its last value.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = 5000);

#include <chrono>
#include <thread>
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}
