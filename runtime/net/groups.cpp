// Socket groups and read polling.
#include <map>
#include <poll.h>

#include "net/socket_internal.h"

// ---------------------------------------------------------------------------
// State

struct SocketGroup {
    std::vector<NLsocket> members;
    // Where the next poll starts, so that a full result does not always
    // favour the first members.
    size_t start = 0;
};

static std::map<NLint, SocketGroup> groups;
static NLint nextGroup = 0;

// ---------------------------------------------------------------------------
// Internal helpers

void ClearGroups() {
    std::lock_guard<std::mutex> hold(NetTableLock());
    groups.clear();
}

// ---------------------------------------------------------------------------
// Public

NLint nlGroupCreate() {
    if (!NetLibraryReady()) return SetNetError(NL_NO_NETWORK), -1;
    std::lock_guard<std::mutex> hold(NetTableLock());
    NLint number = nextGroup++;
    groups[number] = SocketGroup();
    return number;
}

bool nlGroupDestroy(NLint group) {
    std::lock_guard<std::mutex> hold(NetTableLock());
    if (!groups.erase(group)) return SetNetError(NL_INVALID_GROUP);
    return true;
}

bool nlGroupAddSocket(NLint group, NLsocket socket) {
    std::lock_guard<std::mutex> hold(NetTableLock());
    auto found = groups.find(group);
    if (found == groups.end()) return SetNetError(NL_INVALID_GROUP);
    for (NLsocket member : found->second.members)
        if (member == socket) return true;
    found->second.members.push_back(socket);
    return true;
}

bool nlGroupDeleteSocket(NLint group, NLsocket socket) {
    std::lock_guard<std::mutex> hold(NetTableLock());
    auto found = groups.find(group);
    if (found == groups.end()) return SetNetError(NL_INVALID_GROUP);
    std::vector<NLsocket>& members = found->second.members;
    for (size_t i = 0; i < members.size(); ++i) {
        if (members[i] == socket) {
            members.erase(members.begin() + (std::ptrdiff_t)i);
            return true;
        }
    }
    return SetNetError(NL_INVALID_SOCKET);
}

NLint nlPollGroup(NLint group, NLenum status, NLsocket* out, NLint capacity, NLint timeoutMs) {
    if (status != NL_READ_STATUS) return SetNetError(NL_INVALID_TYPE), -1;
    if (!out || capacity <= 0) return SetNetError(NL_BUFFER_SIZE), -1;
    std::vector<NLsocket> members;
    size_t start = 0;
    {
        std::lock_guard<std::mutex> hold(NetTableLock());
        auto found = groups.find(group);
        if (found == groups.end()) return SetNetError(NL_INVALID_GROUP), -1;
        members = found->second.members;
        start = members.empty() ? 0 : found->second.start % members.size();
        found->second.start = start + 1;
    }
    std::vector<SocketRef> entries;
    std::vector<NLsocket> numbers;
    std::vector<pollfd> descriptors;
    for (size_t k = 0; k < members.size(); ++k) {
        NLsocket socket = members[(start + k) % members.size()];
        SocketRef entry = FindSocket(socket);
        if (!entry) continue;
        entries.push_back(entry);
        numbers.push_back(socket);
        descriptors.push_back(pollfd{entry->fd, POLLIN, 0});
    }
    // Packets already received answer at once, without the system.
    bool waiting = false;
    std::vector<bool> ready(entries.size(), false);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i]->type == NL_RELIABLE_PACKETS && PacketWaiting(*entries[i])) ready[i] = waiting = true;
    }
    if (!descriptors.empty()) {
        int result = ::poll(descriptors.data(), descriptors.size(), waiting ? 0 : timeoutMs);
        if (result < 0 && !waiting) return SetNetError(NL_SYSTEM_ERROR), -1;
        for (size_t i = 0; i < descriptors.size(); ++i)
            if (descriptors[i].revents & (POLLIN | POLLHUP | POLLERR)) ready[i] = true;
    }
    NLint count = 0;
    for (size_t i = 0; i < ready.size() && count < capacity; ++i)
        if (ready[i]) out[count++] = numbers[i];
    return count;
}
