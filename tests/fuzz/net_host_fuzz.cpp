// Fuzz target: the host's handling of what its peers send. The input is a
// run of chunks, each from one of four peers: bytes as the packet layer
// hands them out, or a disconnect. Every chunk is decoded and checked as the
// network thread does, then handled; the player list must stay sound and
// every answer must go back to a peer and fit a packet.
#include <cstdint>
#include <cstdlib>
#include <set>

#include "net/net_internal.h"
#include "net/packet_stream.h"

namespace {

constexpr NLsocket kPeers[4] = {11, 12, 13, 14};

void CheckRecord(const NetworkRecord& net, const std::vector<NetWrite>& writes) {
    std::set<int32_t> ids;
    for (const NetPlayer& player : net.hostPlayers) {
        if (player.id < kNetFirstPlayerId || player.id >= net.nextPlayerId) std::abort();
        if (!ids.insert(player.id).second) std::abort();
        if (player.name.size() > (size_t)kNetMaxName || player.connectionFlag > 1) std::abort();
        bool known = false;
        for (NLsocket peer : kPeers) known |= player.socket == peer;
        if (!known) std::abort();
    }
    for (const NetWrite& write : writes) {
        if (write.packet->payload.size() > (size_t)kNetMaxPayload) std::abort();
        bool known = false;
        for (NLsocket peer : kPeers) known |= write.socket == peer;
        if (!known) std::abort();
        NetPacket back;
        std::vector<uint8_t> bytes = EncodeNetPacket(*write.packet);
        if (!DecodeNetPacket(bytes.data(), bytes.size(), back)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetworkRecord net;
    size_t at = 0;
    while (at + 3 <= size) {
        NLsocket source = kPeers[data[at] & 3];
        bool disconnect = (data[at] & 0x80) != 0;
        size_t length = ((size_t)data[at + 1] << 8) | data[at + 2];
        at += 3;
        if (length > size - at) length = size - at;
        if (disconnect) {
            RemovePlayersOfSocket(net, source);
        } else {
            // The framing reader sees the same bytes as a stream.
            PacketScan scan = ScanPacket(data + at, length);
            if (scan.status == PacketScan::kWhole && scan.length + 4 > length) std::abort();
            NetQueued queued;
            queued.source = source;
            if (DecodeNetPacket(data + at, length, queued.packet) && ValidNetRequest(queued.packet))
                net.incoming.push_back(std::move(queued));
        }
        at += length;
        std::vector<NetWrite> writes;
        HandlePeerPackets(net, writes);
        if (!net.incoming.empty()) std::abort();
        CheckRecord(net, writes);
    }
    return 0;
}
