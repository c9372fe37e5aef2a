// Reading the data archive's trailer, directory and LZO1X blocks. Every
// length, offset and count is checked against the real file before use.
#include "files/archive_format.h"

#include <cstring>
#include <new>

#include <lzo/lzo1x.h>

#include "files/file_io.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

bool LzoReady() {
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions

bool ArchiveOpenDirectory(FILE* file, ArchiveLayout& layout) {
    layout = ArchiveLayout();
    int64_t size = FileLength(file);
    if (size < kArchiveTrailerSize) return false;
    uint8_t trailer[kArchiveTrailerSize];
    if (!SeekTo(file, size - kArchiveTrailerSize) || !ReadExact(file, trailer, sizeof trailer))
        return false;
    if (std::memcmp(trailer, kArchiveMagic, 3) != 0 &&
        std::memcmp(trailer, kArchiveMagicAlternate, 3) != 0)
        return false;
    layout.fileSize = size;
    layout.directoryPosition = (int32_t)ReadLe32(trailer + 3);
    layout.fromEnd = layout.directoryPosition < 0;
    layout.directoryStart = layout.fromEnd ? size + layout.directoryPosition
                                           : (int64_t)layout.directoryPosition;
    if (layout.directoryStart < 0 || layout.directoryStart >= size) return false;
    return SeekTo(file, layout.directoryStart);
}

ArchiveStep ArchiveNextEntry(FILE* file, const ArchiveLayout& layout, ArchiveEntry& entry) {
    entry = ArchiveEntry();
    uint8_t length = 0;
    if (!ReadExact(file, &length, 1)) return ArchiveStep::Damaged;
    if (length == 0) return ArchiveStep::End;
    uint8_t fields[8];
    if (!ReadExact(file, entry.name, length) || !ReadExact(file, fields, sizeof fields))
        return ArchiveStep::Damaged;
    entry.name[length] = 0;
    entry.nameLength = length;
    entry.dataOffset = ReadLe32(fields);
    entry.dataSize = ReadLe32(fields + 4);
    int64_t start = layout.fromEnd ? layout.fileSize + (int32_t)entry.dataOffset
                                   : (int64_t)entry.dataOffset;
    if (start >= 0 && entry.dataSize >= kArchiveBlockHeader &&
        start + (int64_t)entry.dataSize <= layout.fileSize)
        entry.dataStart = start;
    return ArchiveStep::Entry;
}

uint64_t ArchiveMaxUnpacked(uint64_t packed) {
    // An LZO1X match length grows by at most 255 per input byte (each zero
    // length byte adds 255), so no stream expands by more than that.
    return packed * 255 + 64;
}

UnpackResult ArchiveUnpackBlock(const uint8_t* block, size_t blockSize, UnpackedData& out) {
    out = UnpackedData();
    if (!block || blockSize < kArchiveBlockHeader || !LzoReady()) return UnpackResult::Refused;
    uint32_t unpacked = ReadLe32(block);
    size_t packed = blockSize - kArchiveBlockHeader;
    // A stored size beyond what the packed bytes can expand to is wrong, yet
    // the stream may still be whole: the buffer takes the smaller size and the
    // decompressor's count says how much data there is.
    uint64_t most = ArchiveMaxUnpacked(packed);
    bool overstated = unpacked > most;
    size_t capacity = overstated ? (size_t)most : (size_t)unpacked;
    // One spare byte so that an empty entry still has a buffer to point at.
    out.bytes.reset(new (std::nothrow) uint8_t[capacity + 1]);
    if (!out.bytes) return UnpackResult::Refused;
    lzo_uint length = capacity;
    int status = lzo1x_decompress_safe(block + kArchiveBlockHeader, (lzo_uint)packed,
                                       out.bytes.get(), &length, nullptr);
    if (status == LZO_E_OK) {
        out.length = (size_t)length;
        return UnpackResult::Complete;
    }
    // With its stored size already known false, a broken stream leaves
    // nothing worth keeping.
    if (overstated) {
        out = UnpackedData();
        return UnpackResult::Refused;
    }
    // The decompressor reports how far it got, also when it stops on an error.
    out.length = length <= capacity ? (size_t)length : 0;
    return UnpackResult::Damaged;
}

UnpackResult ArchiveUnpack(FILE* file, const ArchiveEntry& entry, UnpackedData& out) {
    out = UnpackedData();
    if (entry.dataStart < 0 || !SeekTo(file, entry.dataStart)) return UnpackResult::Refused;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[entry.dataSize]);
    if (!block || !ReadExact(file, block.get(), entry.dataSize)) return UnpackResult::Refused;
    return ArchiveUnpackBlock(block.get(), entry.dataSize, out);
}
