// The framing of packet streams: 'N', 'L', a 16-bit big-endian length, then
// the bytes. Pure functions over byte buffers, shared by the socket layer and
// its tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PacketScan {
    enum Status { kIncomplete, kWhole, kLostSync };
    Status status = kIncomplete;
    uint32_t length = 0;  // the packet's length when whole
};

// Looks at the start of the bytes received so far: a whole packet, not yet
// one, or something that is not a header (a wrong mark or a length above the
// largest packet), after which the stream cannot be read any more.
PacketScan ScanPacket(const uint8_t* bytes, size_t count);
// The header and the bytes, ready to send; length at most 16,384.
std::vector<uint8_t> FramePacket(const uint8_t* bytes, uint32_t length);
