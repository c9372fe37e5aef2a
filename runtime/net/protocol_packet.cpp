// Checked encoding and decoding of the protocol's packets.
#include "net/protocol.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Internal helpers

static void PutInt(uint8_t* at, int32_t value) {
    uint32_t bits = (uint32_t)value;
    for (int i = 0; i < 4; ++i) at[i] = (uint8_t)(bits >> (8 * i));
}

static int32_t GetInt(const uint8_t* at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= (uint32_t)at[i] << (8 * i);
    return (int32_t)bits;
}

static bool KnownType(uint8_t type) {
    return (type >= kNetJoin && type <= kNetRemovePlayer) || (type >= kNetCountRequest && type <= kNetCheckRequest);
}

// ---------------------------------------------------------------------------
// Public

std::vector<uint8_t> EncodeNetPacket(const NetPacket& packet) {
    std::vector<uint8_t> bytes(kNetHeaderSize + packet.payload.size());
    bytes[0] = 'V';
    bytes[1] = 'L';
    bytes[2] = 'M';
    bytes[3] = 'N';
    bytes[4] = packet.type;
    PutInt(&bytes[5], (int32_t)packet.payload.size());
    PutInt(&bytes[9], packet.fieldA);
    PutInt(&bytes[13], packet.fieldB);
    std::copy(packet.payload.begin(), packet.payload.end(), bytes.begin() + kNetHeaderSize);
    return bytes;
}

bool DecodeNetPacket(const uint8_t* bytes, size_t count, NetPacket& packet) {
    if (!bytes || count < (size_t)kNetHeaderSize) return false;
    if (bytes[0] != 'V' || bytes[1] != 'L' || bytes[2] != 'M' || bytes[3] != 'N') return false;
    if (!KnownType(bytes[4])) return false;
    int32_t length = GetInt(bytes + 5);
    if (length < 0 || length > kNetMaxPayload) return false;
    if (count != (size_t)kNetHeaderSize + (size_t)length) return false;
    packet.type = bytes[4];
    packet.fieldA = GetInt(bytes + 9);
    packet.fieldB = GetInt(bytes + 13);
    packet.payload.assign((const char*)bytes + kNetHeaderSize, (size_t)length);
    return true;
}

bool ValidNetRequest(const NetPacket& packet) {
    switch (packet.type) {
    case kNetJoin: {
        NetPlayerInfo info;
        return DecodePlayerInfo(packet.payload, info);
    }
    case kNetMessage: return true;
    // A join reply from a peer is well formed but means nothing to the host.
    case kNetJoinReply:
    case kNetRemovePlayer:
    case kNetCountRequest:
    case kNetCheckRequest: return packet.payload.empty();
    case kNetIndexRequest:
    case kNetNameRequest: return packet.payload.size() == 4;
    default: return false;
    }
}

bool ValidNetReply(const NetPacket& packet) {
    switch (packet.type) {
    case kNetJoinReply: return packet.payload.empty();
    case kNetMessage: return true;
    case kNetCountRequest:
    case kNetIndexRequest:
    case kNetCheckRequest: return packet.payload.size() == 4;
    case kNetNameRequest: return packet.payload.size() <= (size_t)kNetMaxName;
    default: return false;
    }
}

std::string EncodePlayerInfo(const NetPlayerInfo& info) {
    std::string payload((size_t)kNetPlayerInfoSize, '\0');
    uint8_t* at = (uint8_t*)payload.data();
    PutInt(at, info.socket);
    PutInt(at + 4, info.id);
    at[8] = info.connectionFlag;
    size_t length = info.name.size() < (size_t)kNetMaxName ? info.name.size() : (size_t)kNetMaxName;
    for (size_t i = 0; i < length; ++i) at[9 + i] = (uint8_t)info.name[i];
    return payload;
}

bool DecodePlayerInfo(const std::string& payload, NetPlayerInfo& info) {
    if (payload.size() != (size_t)kNetPlayerInfoSize) return false;
    const uint8_t* at = (const uint8_t*)payload.data();
    if (at[8] > 1) return false;
    size_t length = 0;
    while (length < (size_t)kNetMaxName + 1 && at[9 + length] != 0) ++length;
    if (length > (size_t)kNetMaxName) return false;
    info.socket = GetInt(at);
    info.id = GetInt(at + 4);
    info.connectionFlag = at[8];
    info.name.assign((const char*)at + 9, length);
    return true;
}

std::string EncodeNetInt(int32_t value) {
    std::string payload(4, '\0');
    PutInt((uint8_t*)payload.data(), value);
    return payload;
}

int32_t DecodeNetInt(const std::string& payload) {
    if (payload.size() < 4) return 0;
    return GetInt((const uint8_t*)payload.data());
}
