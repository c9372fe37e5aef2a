// The eight file channels with their typed readers and writers. Every
// multi-byte value is assembled byte by byte, little-endian, whatever the host.
#include "files/channels.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/engine.h"
#include "files/file_io.h"
#include "files/files_exit.h"

// ---------------------------------------------------------------------------
// State

FileChannel FileChannelTable[kChannelCount] = {};

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

constexpr int kLineBlock = 64;

// The channel record for a number in [0, 8); runtime error 7 otherwise (NaN
// included), judged on the number before truncation.
FileChannel& CheckedChannel(double channel) {
    if (!(channel >= 0.0 && channel < (double)kChannelCount)) RuntimeError(7);
    return FileChannelTable[(int)channel];
}

void CloseRecord(FileChannel& record) {
    if (record.handle) std::fclose(record.handle);
    record.handle = nullptr;
    record.size = 0;
    record.position = 0;
}

// Reads n bytes for a fixed-size reader; runtime error 3 when they are not all
// there. The position counts them whatever the outcome.
void ReadFixed(double channel, uint8_t* bytes, uint32_t n) {
    FileChannel& record = CheckedChannel(channel);
    record.position += n;
    if (!record.handle || !ReadExact(record.handle, bytes, n)) RuntimeError(3);
}

void WriteAll(double channel, const void* bytes, size_t n) {
    FileChannel& record = CheckedChannel(channel);
    if (!record.handle || !WriteExact(record.handle, bytes, n)) RuntimeError(3);
}

int16_t ToInt16(double value) {
    double t = std::trunc(value);
    return (t >= -32768.0 && t <= 32767.0) ? (int16_t)t : (int16_t)-32768;
}

int32_t ToInt32(double value) {
    double t = std::trunc(value);
    return (t >= -2147483648.0 && t <= 2147483647.0) ? (int32_t)t : INT32_MIN;
}

}  // namespace

// ---------------------------------------------------------------------------
// Line reader

bool ReadLineBlocks(FILE* file, char* line, uint32_t& consumed, uint32_t maxBytes) {
    std::memset(line, 0, (size_t)maxBytes + 1);
    consumed = 0;
    if (!file) return false;
    uint32_t total = 0;
    while (total < maxBytes) {
        uint32_t block = maxBytes - total < (uint32_t)kLineBlock ? maxBytes - total : kLineBlock;
        size_t got = std::fread(line + total, 1, block, file);
        if (got == 0) break;
        char* feed = (char*)std::memchr(line + total, '\n', got);
        total += (uint32_t)got;
        if (feed) {
            uint32_t end = (uint32_t)(feed - line);
            consumed = end + 1;
            std::memset(feed, 0, total - end);
            if (end > 0 && line[end - 1] == '\r') line[end - 1] = 0;
            // Give back what was read past the line feed.
            if (total > consumed) std::fseek(file, -(long)(total - consumed), SEEK_CUR);
            return true;
        }
        if (got < block) break;  // end of the file
    }
    consumed = total;
    return total > 0;
}

// ---------------------------------------------------------------------------
// Channels

double ChannelOpen(double channel, const char* path, double mode) {
    FileChannel& record = CheckedChannel(channel);
    FilesInstallExitHandler();
    CloseRecord(record);
    if (mode == 0.0) {
        record.handle = OpenForWriting(path);
    } else {
        record.handle = OpenForReading(path);
        int64_t length = FileLength(record.handle);
        record.size = length > 0 ? (uint32_t)length : 0;
    }
    record.position = 0;
    return record.handle ? 1.0 : 0.0;
}

void ChannelClose(double channel) { CloseRecord(CheckedChannel(channel)); }

double ChannelAtEnd(double channel) {
    const FileChannel& record = CheckedChannel(channel);
    return record.position >= record.size ? 1.0 : 0.0;
}

double ChannelReadByte(double channel, double& value) {
    uint8_t b[1];
    ReadFixed(channel, b, 1);
    return value = b[0];
}

double ChannelReadWord(double channel, double& value) {
    uint8_t b[2];
    ReadFixed(channel, b, 2);
    return value = ReadLe16(b);
}

double ChannelReadLong(double channel, double& value) {
    uint8_t b[4];
    ReadFixed(channel, b, 4);
    return value = ReadLe32(b);
}

double ChannelReadDouble(double channel, double& value) {
    uint8_t b[8];
    ReadFixed(channel, b, 8);
    uint64_t bits = (uint64_t)ReadLe32(b) | (uint64_t)ReadLe32(b + 4) << 32;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void ChannelReadText(double channel, RuntimeString& text, double count) {
    text = "";
    if (!(count > 0.0)) return;
    FileChannel& record = CheckedChannel(channel);
    double whole = std::trunc(count);
    record.position += (uint32_t)(uint64_t)std::fmin(whole, 4294967295.0);
    // More than the file still holds can never be read in full; refusing it
    // before reserving keeps a wild count from claiming the memory.
    int64_t length = FileLength(record.handle);
    long here = record.handle ? std::ftell(record.handle) : -1;
    if (!record.handle || length < 0 || here < 0 || whole > (double)(length - here))
        RuntimeError(3);
    uint32_t n = (uint32_t)whole;
    char* buffer = nullptr;
    try {
        buffer = text.WritableBuffer(n);
    } catch (const std::bad_alloc&) {
        RuntimeError(7);
    }
    std::memset(buffer, 0, (size_t)n + 1);
    if (!ReadExact(record.handle, buffer, n)) RuntimeError(3);
    text.Recount();
}

void ChannelReadLine(double channel, RuntimeString& text) {
    FileChannel& record = CheckedChannel(channel);
    char line[kLineMax + 1];
    uint32_t consumed = 0;
    bool got = ReadLineBlocks(record.handle, line, consumed);
    record.position += consumed;
    if (!got) RuntimeError(3);
    text = line;
}

double ChannelReadNumberLine(double channel, double& value) {
    RuntimeString line;
    ChannelReadLine(channel, line);
    return value = TextToNumber(line.Text());
}

void ChannelWriteByte(double channel, double value) {
    uint8_t b = (uint8_t)(ToInt16(value) & 0xFF);
    WriteAll(channel, &b, 1);
}

void ChannelWriteWord(double channel, double value) {
    uint8_t b[2];
    WriteLe16(b, (uint16_t)(ToInt32(value) & 0xFFFF));
    WriteAll(channel, b, 2);
}

void ChannelWriteLong(double channel, double value) {
    uint8_t b[4];
    WriteLe32(b, (uint32_t)ToInt32(value));
    WriteAll(channel, b, 4);
}

void ChannelWriteDouble(double channel, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    uint8_t b[8];
    WriteLe32(b, (uint32_t)bits);
    WriteLe32(b + 4, (uint32_t)(bits >> 32));
    WriteAll(channel, b, 8);
}

void ChannelWriteText(double channel, const RuntimeString& text) {
    WriteAll(channel, text.Text(), text.Length());
}

void ChannelWriteLine(double channel, const RuntimeString& text) {
    RuntimeString line(text);
    line += "\r\n";
    WriteAll(channel, line.Text(), line.Length());
}

void ChannelWriteNumberLine(double channel, double value) {
    ChannelWriteLine(channel, RuntimeString(value));
}

void ChannelsCloseAll() {
    for (FileChannel& record : FileChannelTable) CloseRecord(record);
}
