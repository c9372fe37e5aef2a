// Fuzz target: the multi-object scene file. The input is written as a scene
// file beside a small text object; loading it must leave the slot either
// empty or loaded with every object consistent, and never touch a file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "gfx3d/mesh.h"

static std::string scratch;

static void Write(const std::string& path, const void* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/revev-fuzz-scene-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) std::abort();
    setenv("TMPDIR", dir, 1);
    scratch = std::string(dir) + "/";
    const char* tree = "DDDA 1.0 0 1 255 0 0 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 0 1 0\n";
    Write(scratch + "tree.txt", tree, std::strlen(tree));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every input is read as a scene file.
    std::string text = ";DDW";
    text.append((const char*)data, size);
    Write(scratch + "scene.ddw", text.data(), text.size());
    ObjectSlot slot;
    const int loaded = LoadObjectSlot(slot, (scratch + "scene.ddw").c_str());
    if (!loaded && (slot.loaded || !slot.objects.empty() || !slot.textures.empty())) std::abort();
    if (loaded && (!slot.loaded || !slot.multiObject)) std::abort();
    for (const MeshObjectX& object : slot.objects) {
        for (const MeshFrame& frame : object.frames) {
            if (frame.packed.size() != object.frames[0].packed.size()) std::abort();
            if (frame.triangles.size() % 3 != 0) std::abort();
        }
    }
    ClearObjectSlot(slot);
    ErrorLogDelete();
    return 0;
}
