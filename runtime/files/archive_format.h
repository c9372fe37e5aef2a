// The data archive's file layout, shared by the resolver, the packer and the
// fuzz target: a 7-byte trailer (magic, directory position), a directory of
// length-prefixed names with offsets and sizes, and LZO1X blocks that start
// with their unpacked size. All integers little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// ---------------------------------------------------------------------------
// Types

// The magic the packer writes, and the older byte order that is read as well.
constexpr uint8_t kArchiveMagic[3] = {'v', 'a', 'Z'};
constexpr uint8_t kArchiveMagicAlternate[3] = {0x73, 0x62, 0x58};
constexpr int kArchiveTrailerSize = 7;
// A stored block begins with the 4-byte unpacked size.
constexpr uint32_t kArchiveBlockHeader = 4;

struct ArchiveLayout {
    int64_t fileSize = 0;
    int32_t directoryPosition = 0;  // as stored
    int64_t directoryStart = 0;     // absolute position of the directory
    bool fromEnd = false;           // entry offsets are counted from the end
};

struct ArchiveEntry {
    char name[256] = {};     // the stored name, zero-terminated
    uint8_t nameLength = 0;  // bytes of the stored name
    uint32_t dataOffset = 0; // as stored
    uint32_t dataSize = 0;   // bytes of the stored block
    // Absolute position of the block; -1 when the block does not lie wholly
    // inside the file or is too short to hold its header.
    int64_t dataStart = -1;
};

enum class ArchiveStep { Entry, End, Damaged };
enum class UnpackResult { Complete, Damaged, Refused };

struct UnpackedData {
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
};

// ---------------------------------------------------------------------------
// Reading

// Reads the trailer and moves the file to the directory. False when the file
// is shorter than the trailer, the magic is neither form, or the directory
// position lies outside the file.
bool ArchiveOpenDirectory(FILE* file, ArchiveLayout& layout);

// Reads the directory entry at the file's position. Entry: `entry` is filled
// (its dataStart tells whether its block is usable). End: the end mark.
// Damaged: the directory runs past the end of the file.
ArchiveStep ArchiveNextEntry(FILE* file, const ArchiveLayout& layout, ArchiveEntry& entry);

// Largest unpacked size an LZO1X stream of `packed` bytes can produce; a
// block claiming more states its size wrongly.
uint64_t ArchiveMaxUnpacked(uint64_t packed);

// Reads an entry's block and unpacks it into a buffer of the stored unpacked
// size or, when that is larger, of ArchiveMaxUnpacked. Complete: the stream
// decompressed whole; `out` holds the data at the length the decompressor
// reports. Damaged: the decompressor stopped with an error (also when the
// data does not fit the stored size); `out` holds what it unpacked before.
// Refused: the block lies outside the file, cannot be read, states a size
// larger than its bytes can expand to and does not decompress whole, or
// memory ran out; `out` is empty.
UnpackResult ArchiveUnpack(FILE* file, const ArchiveEntry& entry, UnpackedData& out);

// Unpacks a block already in memory (header included); same results.
UnpackResult ArchiveUnpackBlock(const uint8_t* block, size_t blockSize, UnpackedData& out);
