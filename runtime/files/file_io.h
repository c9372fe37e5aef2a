// Opening files the way the runtime's file commands and loaders do, and the
// little-endian byte helpers used by every reader and writer of files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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
// `path` taken from the current directory when it is relative, so that it
// still names the same file after the directory changes; unchanged when the
// current directory cannot be told.
std::string AbsolutePath(const char* path);

// ---------------------------------------------------------------------------
// Replacing a whole file
//
// A file the runtime rewrites (configuration and line files, copies) is
// written into a new file beside it, flushed to disk and renamed over the old
// one, so a write that fails part-way (disk full, a file-size limit) leaves
// the old file whole, and a program that has the old file mapped (a loaded
// library) keeps its pages.

struct FileReplacement {
    int descriptor = -1;
    std::string target;     // the file being replaced (a link's destination)
    std::string temporary;  // the new file beside it
    bool failed = false;
};

// Creates the new file in the target's directory, with the old file's
// permission bits when there is one. False (after one error-log line) when it
// cannot be created.
bool ReplacementBegin(FileReplacement& replacement, const char* path);
// Appends bytes to the new file. False, and the replacement failed, when not
// all of them were written.
bool ReplacementWrite(FileReplacement& replacement, const void* bytes, size_t count);
// Flushes the new file and renames it over the target. When a write failed,
// `complete` is false (the caller could not supply all its bytes) or the
// flush or rename fails, the new file is removed, the target stays as it was
// and one line goes to the error log. True when the target holds the new
// bytes.
bool ReplacementFinish(FileReplacement& replacement, bool complete = true);
// The whole replacement in one call.
bool ReplaceFileWith(const char* path, const void* bytes, size_t count);
