// Fuzz target: the binary object file reader. The input is an object file; an
// accepted object must be consistent, write back as a prefix of its input
// (when its header is whole) and expand into triangles and bounds without a
// fault. A refused one must be left empty.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "gfx3d/mesh.h"

static void Check(const uint8_t* data, size_t size, bool decode) {
    MeshObjectX object;
    if (!LoadObjectFromBytes(object, data, size, decode, "fuzz.ddd")) {
        if (!object.frames.empty() || !object.colourTable.empty() || !object.uList.empty())
            std::abort();
        return;
    }
    if (object.uList.size() != object.vList.size()) std::abort();
    for (const MeshFrame& frame : object.frames) {
        if (frame.packed.size() != object.frames[0].packed.size()) std::abort();
        if (frame.vertices.size() != (decode ? frame.packed.size() : 0)) std::abort();
        for (const PackedVertex& p : frame.packed)
            if (p.normal >= kNormalCount || p.colourIndex >= object.colourTable.size() || p.auxA || p.auxB)
                std::abort();
    }
    // A header cut inside its counts reads them as zero, so only a whole
    // header must come back as it was.
    std::vector<uint8_t> written = ObjectToBytes(object);
    // Text object files (no binary magic) are read by their own target.
    const bool binary = size >= 4 && data[0] == 0x17 && data[1] == 0xB3 && data[2] == 0xC6 && data[3] == 0;
    if (binary && size >= 24 && (written.size() > size || std::memcmp(written.data(), data, written.size()) != 0))
        std::abort();

    object.BuildTriangles();
    ComputeBounds(object);
    for (const MeshFrame& frame : object.frames) {
        if (frame.triangles.size() % 3 != 0 || frame.triangles.size() > frame.packed.size() * 3)
            std::abort();
        if (frame.triangles.size() != object.frames[0].triangles.size()) std::abort();
        if (frame.radius < 0) std::abort();
    }
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Refusals are logged; keep the log in a scratch directory.
    char pattern[] = "/tmp/revev-fuzz-mesh-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) std::abort();
    setenv("TMPDIR", dir, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size, false);
    Check(data, size, true);
    ErrorLogDelete();
    return 0;
}
