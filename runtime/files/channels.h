// File channels and whole-file commands: eight numbered channels holding an
// open file with its size and the runtime's own read position, typed readers
// and writers (little-endian), and size, existence, deletion, copying and the
// current directory. Paths are used unchanged; nothing here looks into the
// data archive.
#pragma once

#include <cstdint>
#include <cstdio>

#include "strings/runtime_string.h"

// ---------------------------------------------------------------------------
// Types and state

constexpr int kChannelCount = 8;

struct FileChannel {
    FILE* handle;       // null when the channel is closed
    uint32_t size;      // file size when opened for reading; 0 for writing
    uint32_t position;  // bytes consumed by the readers since the open
};

// The process-wide table, all zero at start; closed at program exit.
extern FileChannel FileChannelTable[kChannelCount];

// A channel number must be at least 0.0 and less than 8.0 (compared before
// truncation); any other number is runtime error 7, which ends the program.
// Readers that cannot get all their bytes and writers that cannot put them
// (or find the channel closed) are runtime error 3.

// ---------------------------------------------------------------------------
// Channels

// Closes whatever the channel holds, then opens `path`: for writing (created
// or truncated) when mode is 0.0, else for reading. 1.0 when open afterwards.
double ChannelOpen(double channel, const char* path, double mode);
void ChannelClose(double channel);
// 1.0 when the read position is not below the size. Channel checked (error 7).
double ChannelAtEnd(double channel);

// Fixed-size readers: 1, 2, 4 or 8 bytes, little-endian, unsigned (the double
// bit for bit). The value is stored in `value` and returned.
double ChannelReadByte(double channel, double& value);
double ChannelReadWord(double channel, double& value);
double ChannelReadLong(double channel, double& value);
double ChannelReadDouble(double channel, double& value);
// Exactly `count` bytes as text, cut at the first zero byte. A count of 0 or
// less gives the empty text without checking anything.
void ChannelReadText(double channel, RuntimeString& text, double count);
// One line: up to a line feed (a carriage return before it dropped) or the end
// of the file; lines longer than 1024 bytes come in pieces of 1024.
void ChannelReadLine(double channel, RuntimeString& text);
// One line read as a number with the text-to-number rule.
double ChannelReadNumberLine(double channel, double& value);

// Writers. A byte is the value truncated to 16 bits (outside -32768..32767:
// -32768), then its low 8 bits; words and longs truncate to 32 bits (outside
// the range: -2147483648) and keep 16 or 32 bits. Lines end in "\r\n".
void ChannelWriteByte(double channel, double value);
void ChannelWriteWord(double channel, double value);
void ChannelWriteLong(double channel, double value);
void ChannelWriteDouble(double channel, double value);
void ChannelWriteText(double channel, const RuntimeString& text);
void ChannelWriteLine(double channel, const RuntimeString& text);
void ChannelWriteNumberLine(double channel, double value);

// Closes every open channel and zeroes the table (program exit).
void ChannelsCloseAll();

// ---------------------------------------------------------------------------
// Whole files and the current directory (never raise an error)

// Size in bytes (low 32 bits); 0.0 when the file cannot be opened for reading.
double FileSize(const char* path);
// 1.0 when the file can be opened for reading (not a directory), else 0.0.
double FileExists(const char* path);
// Deletes a file; a missing file (or a directory) is left alone silently.
void FileDelete(const char* path);
// Copies in blocks of 4096 bytes; a copy that fails part-way leaves no
// destination. A source and destination that are the same file are left alone.
void FileCopy(const char* source, const char* destination);
// 1.0 when the current directory was changed.
double DirectorySet(const char* path);
// The current directory with forward slashes and one trailing slash; the
// empty text when it cannot be read.
RuntimeString DirectoryGet();
// Every backslash of `text` becomes a forward slash, in place.
void PathToSlashes(RuntimeString& text);

// ---------------------------------------------------------------------------
// The line reader shared with configuration and line files

constexpr int kLineMax = 1024;

// Reads one line from `file` in blocks of 64 bytes into `line` (maxBytes + 1
// bytes, zero-filled first): a line feed ends the line and the file is moved
// back to just after it; a carriage return before it is dropped; maxBytes
// bytes without a line feed are returned as a piece, the rest following in
// the next call. `consumed` gets the bytes the line took from the file. False
// when the first block yields nothing.
bool ReadLineBlocks(FILE* file, char* line, uint32_t& consumed, uint32_t maxBytes = kLineMax);
