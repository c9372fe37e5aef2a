// Opening files the way the runtime's file commands and loaders do, and the
// little-endian byte helpers used by every reader and writer of files.
#pragma once

#include <cstdint>
#include <cstdio>

// Opens an existing regular file for reading, unbuffered. Null when it is
// missing, a directory, or cannot be read.
FILE* OpenForReading(const char* path);
// Creates or truncates a file for writing, unbuffered. Null on failure.
FILE* OpenForWriting(const char* path);
// Size of an open file in bytes; -1 when it cannot be told. Leaves the file
// position where it was.
int64_t FileLength(FILE* file);
// Moves to an absolute position. False on failure.
bool SeekTo(FILE* file, int64_t position);
// Reads exactly `count` bytes. False when fewer arrive.
bool ReadExact(FILE* file, void* buffer, size_t count);
// Writes exactly `count` bytes. False when fewer are written.
bool WriteExact(FILE* file, const void* buffer, size_t count);

// A-Z folded to a-z, as the platform's case-insensitive compare does.
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }
// Equality of two zero-terminated texts with A-Z and a-z taken as equal.
bool EqualNoCase(const char* a, const char* b);

inline uint32_t ReadLe32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
inline uint16_t ReadLe16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
inline void WriteLe32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}
inline void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

// Creates `path` afresh for writing: an existing file or link of that name is
// removed first and the new file is made exclusively, so a link planted in a
// shared directory is never followed. Null on failure.
FILE* CreateFreshForWriting(const char* path);
// Deletes a file; a missing file is not an error. False when it remains.
bool DeleteFileIfPresent(const char* path);
