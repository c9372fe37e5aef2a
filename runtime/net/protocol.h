// The packets of the multiplayer protocol: the "VLMN" header, the message
// types, the player info of a join, and their checked encoding and decoding.
// Every integer on the wire is 32-bit little-endian, read byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Constants

inline constexpr int kNetPacketSize = 2065;  // header and the largest payload
inline constexpr int kNetHeaderSize = 17;
inline constexpr int kNetMaxPayload = 2048;
inline constexpr int kNetPlayerInfoSize = 152;
inline constexpr int kNetMaxName = 126;
inline constexpr int kNetFirstPlayerId = 101;
inline constexpr uint16_t kNetDefaultPort = 26000;
// What a connection may hold that the peer has not taken yet, and how long
// the peer may take nothing of it; past either the connection is ended.
inline constexpr int kNetQueueLimit = 4 * 1024 * 1024;
inline constexpr int kNetStallLimitMs = 5000;

enum NetPacketType : uint8_t {
    kNetJoin = 1,
    kNetJoinReply = 2,
    kNetMessage = 3,
    kNetRemovePlayer = 4,
    kNetCountRequest = 101,
    kNetIndexRequest = 102,
    kNetNameRequest = 103,
    kNetCheckRequest = 104,
};

// ---------------------------------------------------------------------------
// Types

// A packet as the program holds it; the payload's length is its size.
struct NetPacket {
    uint8_t type = 0;
    int32_t fieldA = 0;
    int32_t fieldB = 0;
    std::string payload;
};

// The player info of a join's payload.
struct NetPlayerInfo {
    int32_t socket = -1;
    int32_t id = -1;
    uint8_t connectionFlag = 0;
    std::string name;
};

// ---------------------------------------------------------------------------
// Functions

// The wire bytes: exactly 17 + payload length. The payload must be at most
// 2048 bytes.
std::vector<uint8_t> EncodeNetPacket(const NetPacket& packet);
// Decodes a received buffer. False (nothing trusted) unless it holds at least
// the header, the magic, a known type, a length of 0 to 2048 and exactly that
// many payload bytes after the header.
bool DecodeNetPacket(const uint8_t* bytes, size_t count, NetPacket& packet);
// Whether a packet a peer sent to the host has the payload its type needs as
// a request (join: a player info; count and check: none; index and name: a
// 32-bit value; remove and join reply: none). Unknown types are not.
bool ValidNetRequest(const NetPacket& packet);
// Whether a packet from the host has the payload its type needs as a reply
// (join reply: none; count, index, check: a 32-bit value; name: at most 126
// bytes).
bool ValidNetReply(const NetPacket& packet);
// The 152 bytes of a join's payload.
std::string EncodePlayerInfo(const NetPlayerInfo& info);
// False unless the payload is 152 bytes, the flag is 0 or 1 and the name ends
// within its 127 bytes.
bool DecodePlayerInfo(const std::string& payload, NetPlayerInfo& info);
// A 32-bit little-endian value as a 4-byte payload, and back (0 when the
// payload is shorter).
std::string EncodeNetInt(int32_t value);
int32_t DecodeNetInt(const std::string& payload);
