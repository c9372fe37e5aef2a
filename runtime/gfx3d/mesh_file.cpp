// The binary object file (".ddd"): little-endian, no padding. A header with
// magic, version and the colour and texture-coordinate tables, then one block
// of packed records per frame. The reader checks every count and index
// against what the file holds before it reserves or reads anything.
#include <bit>
#include <cstring>
#include <new>

#include "core/engine.h"
#include "files/file_io.h"
#include "gfx3d/mesh.h"
#include "gfx3d/mesh_internal.h"

// ---------------------------------------------------------------------------
// Types

namespace {

constexpr uint32_t kObjectMagic = 0x00C6B317;
constexpr double kObjectVersion = 1.02;
constexpr size_t kRecordBytes = 5;           // qx, qy, qz, normal, colour index
constexpr size_t kFrameHeaderBytes = 4 + 24; // count, bias, scale

// Reads fixed-width little-endian values from a buffer, never past its end.
struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    size_t Left() const { return size - at; }
    // The header's magic, version and counts read as zero when cut short.
    uint32_t U32OrZero() {
        if (Left() < 4) {
            at = size;
            return 0;
        }
        uint32_t value = ReadLe32(data + at);
        at += 4;
        return value;
    }
    double F64OrZero() {
        if (Left() < 8) {
            at = size;
            return 0.0;
        }
        uint64_t bits = (uint64_t)ReadLe32(data + at) | (uint64_t)ReadLe32(data + at + 4) << 32;
        at += 8;
        return std::bit_cast<double>(bits);
    }
    // Callers have checked that four bytes are left.
    uint32_t U32() {
        uint32_t value = ReadLe32(data + at);
        at += 4;
        return value;
    }
    float F32() { return std::bit_cast<float>(U32()); }
    uint8_t U8() { return data[at++]; }
};

enum class Parse { kOk, kReadError, kWrongVersion };

}  // namespace

// ---------------------------------------------------------------------------
// Internal helpers

// Every frame shares frame 0's texture coordinates and is drawn against it
// record by record, so each must have its size and its markers in the same
// places.
static bool SameLayout(const MeshObject& object, const MeshFrame& first, const MeshFrame& frame) {
    if (frame.packed.size() != first.packed.size()) return false;
    for (size_t i = 0; i < frame.packed.size(); ++i) {
        uint32_t a = object.colourTable[first.packed[i].colourIndex];
        uint32_t b = object.colourTable[frame.packed[i].colourIndex];
        if ((IsMarker(a) || IsMarker(b)) && a != b) return false;
    }
    return true;
}

static void DecodeFrames(MeshObject& object) {
    for (MeshFrame& frame : object.frames) {
        frame.vertices.resize(frame.packed.size());
        for (size_t i = 0; i < frame.packed.size(); ++i) ExpandPackedVertex(object, frame, i, frame.vertices[i]);
    }
}

static Parse ParseObject(MeshObject& object, const uint8_t* data, size_t size, bool decode) {
    ByteReader in{data, size};
    if (in.U32OrZero() != kObjectMagic) return Parse::kReadError;
    if (in.F64OrZero() != kObjectVersion) return Parse::kWrongVersion;
    int32_t frameCount = (int32_t)in.U32OrZero();
    int32_t colourCount = (int32_t)in.U32OrZero();
    int32_t coordinateCount = (int32_t)in.U32OrZero();
    if (frameCount < 0 || colourCount < 0 || coordinateCount < 0) return Parse::kReadError;

    if ((uint64_t)colourCount * 4 + (uint64_t)coordinateCount * 8 > in.Left()) return Parse::kReadError;
    object.colourTable.reserve((size_t)colourCount);
    for (int32_t i = 0; i < colourCount; ++i) object.colourTable.push_back(in.U32());
    object.uList.reserve((size_t)coordinateCount);
    object.vList.reserve((size_t)coordinateCount);
    for (int32_t i = 0; i < coordinateCount; ++i) {
        object.uList.push_back(in.F32());
        object.vList.push_back(in.F32());
    }

    if ((uint64_t)frameCount * kFrameHeaderBytes > in.Left()) return Parse::kReadError;
    object.frames.reserve((size_t)frameCount);
    for (int32_t f = 0; f < frameCount; ++f) {
        if (in.Left() < kFrameHeaderBytes) return Parse::kReadError;
        int32_t recordCount = (int32_t)in.U32();
        MeshFrame frame;
        for (float& b : frame.bias) b = in.F32();
        for (float& s : frame.scale) s = in.F32();
        if (recordCount < 0 || (uint64_t)recordCount * kRecordBytes > in.Left())
            return Parse::kReadError;
        frame.packed.reserve((size_t)recordCount);
        for (int32_t i = 0; i < recordCount; ++i) {
            PackedVertex packed{};
            packed.qx = in.U8();
            packed.qy = in.U8();
            packed.qz = in.U8();
            packed.normal = in.U8();
            packed.colourIndex = in.U8();
            if (packed.normal >= kNormalCount || packed.colourIndex >= (uint32_t)colourCount)
                return Parse::kReadError;
            frame.packed.push_back(packed);
        }
        if (f > 0 && !SameLayout(object, object.frames[0], frame)) return Parse::kReadError;
        object.frames.push_back(std::move(frame));
    }

    if (decode) DecodeFrames(object);
    object.normalsValid = 1;
    return Parse::kOk;
}

static void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[4];
    WriteLe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

static void PutF32(std::vector<uint8_t>& out, float value) { PutU32(out, std::bit_cast<uint32_t>(value)); }

// ---------------------------------------------------------------------------
// Shared with the slot loader

ObjectFileRead ReadObjectFile(const char* path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (!path || !*path) return ObjectFileRead::kUnreadable;
    FILE* file = OpenForReading(path);
    if (!file) return ObjectFileRead::kUnreadable;
    ObjectFileRead result = ObjectFileRead::kUnreadable;
    int64_t length = FileLength(file);
    if (length >= 0 && length <= kLargestObjectFile) {
        try {
            bytes.resize((size_t)length);
            if (ReadExact(file, bytes.data(), bytes.size())) result = ObjectFileRead::kRead;
        } catch (const std::bad_alloc&) {
            result = ObjectFileRead::kNoMemory;
        }
    }
    std::fclose(file);
    if (result != ObjectFileRead::kRead) std::vector<uint8_t>().swap(bytes);
    return result;
}

void LogObjectLoadFailure(const char* message, bool noMemory, const char* name) {
    if (message) ErrorLogAppend(message);
    ErrorLogAppend(noMemory ? "# malloc error" : "# read error");
    ErrorLogAppend(name ? name : "");
}

// ---------------------------------------------------------------------------
// Public

bool LoadObjectFromBytes(MeshObject& object, const uint8_t* data, size_t size, bool decode,
                         const char* logName) {
    ClearObject(object, true);
    Parse result = Parse::kReadError;
    bool noMemory = false;
    // Without the binary magic the file is read as a text object file.
    const bool binary = size >= 4 && ReadLe32(data) == kObjectMagic;
    try {
        if (binary) {
            result = ParseObject(object, data, size, decode);
        } else if (ReadTextObject(object, data, size)) {
            result = Parse::kOk;
            if (decode) DecodeFrames(object);
        }
    } catch (const std::bad_alloc&) {
        noMemory = true;
    }
    if (result == Parse::kOk && !noMemory) return true;
    if (noMemory) NoteLoadFailure("too large for the memory at hand");
    else if (result == Parse::kWrongVersion) NoteLoadFailure("an object file of a version this program does not read");
    else NoteLoadFailure(binary ? "a damaged object file" : "not an object file, or a damaged one");
    ClearObject(object, true);
    LogObjectLoadFailure(result == Parse::kWrongVersion ? "Wrong .ddd version." : nullptr, noMemory,
                         logName);
    return false;
}

bool LoadObject(MeshObject& object, const char* path, bool decode) {
    ClearObject(object, true);
    std::vector<uint8_t> bytes;
    ObjectFileRead read = ReadObjectFile(path, bytes);
    if (read != ObjectFileRead::kRead) {
        LogObjectLoadFailure(nullptr, read == ObjectFileRead::kNoMemory, path);
        return false;
    }
    return LoadObjectFromBytes(object, bytes.data(), bytes.size(), decode, path);
}

std::vector<uint8_t> ObjectToBytes(const MeshObject& object) {
    std::vector<uint8_t> out;
    size_t records = 0;
    for (const MeshFrame& frame : object.frames) records += frame.packed.size();
    out.reserve(24 + object.colourTable.size() * 4 + object.uList.size() * 8 +
                object.frames.size() * kFrameHeaderBytes + records * kRecordBytes);
    PutU32(out, kObjectMagic);
    uint64_t version = std::bit_cast<uint64_t>(kObjectVersion);
    PutU32(out, (uint32_t)version);
    PutU32(out, (uint32_t)(version >> 32));
    PutU32(out, (uint32_t)object.frames.size());
    PutU32(out, (uint32_t)object.colourTable.size());
    PutU32(out, (uint32_t)object.uList.size());
    for (uint32_t colour : object.colourTable) PutU32(out, colour);
    for (size_t i = 0; i < object.uList.size(); ++i) {
        PutF32(out, object.uList[i]);
        PutF32(out, i < object.vList.size() ? object.vList[i] : 0.0f);
    }
    for (const MeshFrame& frame : object.frames) {
        PutU32(out, (uint32_t)frame.packed.size());
        for (float b : frame.bias) PutF32(out, b);
        for (float s : frame.scale) PutF32(out, s);
        for (const PackedVertex& packed : frame.packed) {
            const uint8_t record[kRecordBytes] = {packed.qx, packed.qy, packed.qz, packed.normal,
                                                  packed.colourIndex};
            out.insert(out.end(), record, record + kRecordBytes);
        }
    }
    return out;
}

bool SaveObject(const MeshObject& object, const char* path) {
    if (!path || !*path) return false;
    std::vector<uint8_t> bytes;
    try {
        bytes = ObjectToBytes(object);
    } catch (const std::bad_alloc&) {
        return false;
    }
    FILE* file = OpenForWriting(path);
    if (!file) return false;
    bool written = WriteExact(file, bytes.data(), bytes.size());
    return std::fclose(file) == 0 && written;
}
