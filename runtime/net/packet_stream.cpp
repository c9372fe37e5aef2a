// Framing of packet streams.
#include "net/packet_stream.h"

#include <algorithm>

#include "net/socket_layer.h"

PacketScan ScanPacket(const uint8_t* bytes, size_t count) {
    PacketScan scan;
    // The mark can be judged as soon as its bytes are there.
    if (count >= 1 && bytes[0] != 'N') return scan.status = PacketScan::kLostSync, scan;
    if (count >= 2 && bytes[1] != 'L') return scan.status = PacketScan::kLostSync, scan;
    if (count < (size_t)NL_PACKET_HEADER) return scan;
    uint32_t length = ((uint32_t)bytes[2] << 8) | bytes[3];
    if (length > (uint32_t)NL_MAX_PACKET_LENGTH) return scan.status = PacketScan::kLostSync, scan;
    if (count - NL_PACKET_HEADER < length) return scan;
    scan.status = PacketScan::kWhole;
    scan.length = length;
    return scan;
}

std::vector<uint8_t> FramePacket(const uint8_t* bytes, uint32_t length) {
    std::vector<uint8_t> framed(NL_PACKET_HEADER + length);
    framed[0] = 'N';
    framed[1] = 'L';
    framed[2] = (uint8_t)(length >> 8);
    framed[3] = (uint8_t)length;
    std::copy(bytes, bytes + length, framed.begin() + NL_PACKET_HEADER);
    return framed;
}
