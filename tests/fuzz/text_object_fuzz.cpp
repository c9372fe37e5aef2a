// Fuzz target: the text object file reader. The input is a text object file;
// an accepted object must have frames of one layout with valid table
// indices, write as a binary file that reads back the same, and expand into
// triangles and bounds without a fault. A refused one must be left empty.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/engine.h"
#include "gfx3d/mesh.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Refusals are logged; keep the log in a scratch directory.
    char pattern[] = "/tmp/revev-fuzz-text-object-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) std::abort();
    setenv("TMPDIR", dir, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Inputs with the binary magic belong to the binary reader's target.
    if (size >= 4 && data[0] == 0x17 && data[1] == 0xB3 && data[2] == 0xC6 && data[3] == 0) return 0;
    MeshObjectX object;
    if (!LoadObjectFromBytes(object, data, size, false, "fuzz.txt")) {
        if (!object.frames.empty() || !object.colourTable.empty() || !object.uList.empty()) std::abort();
        ErrorLogDelete();
        return 0;
    }
    if (object.uList.size() != object.vList.size()) std::abort();
    for (const MeshFrame& frame : object.frames) {
        if (frame.packed.size() != object.frames[0].packed.size()) std::abort();
        for (const PackedVertex& p : frame.packed)
            if (p.normal >= kNormalCount || p.colourIndex >= object.colourTable.size()) std::abort();
    }
    const std::vector<uint8_t> written = ObjectToBytes(object);
    MeshObjectX again;
    if (!LoadObjectFromBytes(again, written.data(), written.size(), false, "fuzz.ddd")) std::abort();
    if (ObjectToBytes(again) != written) std::abort();

    object.BuildTriangles();
    ComputeBounds(object);
    for (const MeshFrame& frame : object.frames) {
        if (frame.triangles.size() % 3 != 0) std::abort();
        if (frame.triangles.size() != object.frames[0].triangles.size()) std::abort();
        if (frame.radius < 0) std::abort();
    }
    ErrorLogDelete();
    return 0;
}
