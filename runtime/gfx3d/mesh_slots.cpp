// The engine's object slots: emptying one, the load command and saving.
#include <cstring>
#include <new>

#include "core/engine.h"
#include "files/archive.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/mesh.h"
#include "gfx3d/mesh_internal.h"

// ---------------------------------------------------------------------------
// State

static void (*slotReleaseHook)(ObjectSlot& slot) = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers

static const char* const kNoMemory = "too large for the memory at hand";

// Reports the failed load of `name` (the reason noted first stands) and
// returns the load's result.
static int Failed(const char* name, const char* reason) {
    NoteLoadFailure(reason);
    ReportLoadFailure(name);
    return 0;
}

// ---------------------------------------------------------------------------
// Public

void SetObjectSlotReleaseHook(void (*hook)(ObjectSlot& slot)) { slotReleaseHook = hook; }

void ClearObjectSlot(ObjectSlot& slot) {
    if (slotReleaseHook) slotReleaseHook(slot);
    for (MeshObjectX& object : slot.objects) ClearObject(object, true);
    std::vector<MeshObjectX>().swap(slot.objects);
    std::vector<uint32_t>().swap(slot.textures);
    slot.loaded = 0;
    slot.multiObject = 0;
}

int LoadObjectSlot(ObjectSlot& slot, const char* name) {
    ClearObjectSlot(slot);
    if (!name) name = "";
    BeginLoad();
    char path[kDataPathMax + 1];
    const char* readFrom = name;
    if (engine.dataArchives) {
        if (!ResolveDataFile(&engine.dataArchives[0], name, path)) {
            path[0] = 0;
            NoteLoadFailure("no such file");
        }
        readFrom = path;
    }
    std::vector<uint8_t> bytes;
    ObjectFileRead read = ReadObjectFile(readFrom, bytes);
    if (read != ObjectFileRead::kRead) {
        LogObjectLoadFailure(nullptr, read == ObjectFileRead::kNoMemory, name);
        return Failed(name, read == ObjectFileRead::kNoMemory ? kNoMemory : "cannot be read");
    }
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), ";DDW", 4) == 0) {
        const SpriteStore* store = ActiveSpriteStore();
        if (LoadSceneFile(slot, name, readFrom, store ? store->spriteColourKey : kDefaultSpriteColourKey)) return 1;
        return Failed(name, "a damaged scene file");
    }

    try {
        slot.objects.resize(1);
    } catch (const std::bad_alloc&) {
        LogObjectLoadFailure(nullptr, true, name);
        return Failed(name, kNoMemory);
    }
    MeshObjectX& object = slot.objects[0];
    if (!LoadObjectFromBytes(object, bytes.data(), bytes.size(), false, name) ||
        object.frames.empty() || object.frames[0].packed.empty()) {
        ClearObjectSlot(slot);
        return Failed(name, "an object with nothing to draw");
    }
    try {
        object.BuildTriangles();
        ComputeBounds(object);
    } catch (const std::bad_alloc&) {
        LogObjectLoadFailure(nullptr, true, name);
        ClearObjectSlot(slot);
        return Failed(name, kNoMemory);
    }
    slot.loaded = 1;
    return 1;
}

bool SaveObjectSlot(const ObjectSlot& slot, const char* path) {
    if (slot.objects.empty()) return false;
    return SaveObject(slot.objects[0], path);
}
