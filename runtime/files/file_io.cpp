// Plain file opening and exact reads and writes over stdio, unbuffered so that
// every reader and writer goes straight to the system.
#include "files/file_io.h"

#include "platform/journal.h"

#include <filesystem>
#include <system_error>

FILE* OpenForReading(const char* path) {
    if (!path || !*path) return nullptr;
    // A directory opens for reading on this system; the runtime treats it as
    // not a readable file.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return nullptr;
    FILE* file = std::fopen(path, "rb");
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    // A run's journal names every file it read, with its size and hash.
    JournalFileOpened(path, file ? fileno(file) : -1);
    return file;
}

FILE* OpenForWriting(const char* path) {
    if (!path || !*path) return nullptr;
    FILE* file = std::fopen(path, "wb");
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

int64_t FileLength(FILE* file) {
    if (!file) return -1;
    long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0) return -1;
    return end;
}

bool SeekTo(FILE* file, int64_t position) {
    return file && position >= 0 && std::fseek(file, (long)position, SEEK_SET) == 0;
}

bool ReadExact(FILE* file, void* buffer, size_t count) {
    if (!file) return false;
    return count == 0 || std::fread(buffer, 1, count, file) == count;
}

bool WriteExact(FILE* file, const void* buffer, size_t count) {
    if (!file) return false;
    return count == 0 || std::fwrite(buffer, 1, count, file) == count;
}

bool EqualNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
        if (!*a) return true;
    }
}

FILE* CreateFreshForWriting(const char* path) {
    if (!path || !*path) return nullptr;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    FILE* file = std::fopen(path, "wbx");
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

bool DeleteFileIfPresent(const char* path) {
    if (!path || !*path) return true;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return !ec;
}

std::string AbsolutePath(const char* path) {
    if (!path || !*path) return std::string();
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? std::string(path) : absolute.string();
}
