// Whole-file commands by name and the current directory. Failures show only in
// the results; nothing here raises a runtime error.
#include <cstring>
#include <filesystem>
#include <system_error>

#include "files/channels.h"
#include "files/file_io.h"
#include "platform/platform.h"

double FileSize(const char* path) {
    FILE* file = OpenForReading(path);
    if (!file) return 0.0;
    int64_t length = FileLength(file);
    std::fclose(file);
    return length > 0 ? (double)(uint32_t)length : 0.0;
}

double FileExists(const char* path) {
    FILE* file = OpenForReading(path);
    if (!file) return 0.0;
    std::fclose(file);
    return 1.0;
}

void FileDelete(const char* path) {
    if (!path || !*path) return;
    std::error_code ec;
    // Deleting is for files; a directory of that name stays.
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path, ec))) return;
    std::filesystem::remove(path, ec);
}

void FileCopy(const char* source, const char* destination) {
    FILE* in = OpenForReading(source);
    if (!in) return;
    // A file copied onto itself (also through another name) stays as it is.
    std::error_code ec;
    if (destination && *destination && std::filesystem::equivalent(source, destination, ec)) {
        std::fclose(in);
        return;
    }
    // The copy goes into a new file renamed over the destination: a copy that
    // fails part-way leaves the old destination whole, and a library loaded
    // from the destination keeps its mapped pages.
    FileReplacement out;
    if (!ReplacementBegin(out, destination)) {
        std::fclose(in);
        return;
    }
    int64_t length = FileLength(in);
    uint32_t remaining = length > 0 ? (uint32_t)length : 0;
    char block[4096];
    bool read = true;
    while (read && remaining > 0) {
        uint32_t n = remaining < sizeof block ? remaining : (uint32_t)sizeof block;
        read = ReadExact(in, block, n);
        if (!read || !ReplacementWrite(out, block, n)) break;
        remaining -= n;
    }
    std::fclose(in);
    ReplacementFinish(out, read);
}

double DirectorySet(const char* path) {
    return path && *path && PlatformSetCurrentDirectory(path) ? 1.0 : 0.0;
}

RuntimeString DirectoryGet() {
    std::string dir = PlatformGetCurrentDirectory();
    if (dir.empty()) return RuntimeString();
    for (char& c : dir)
        if (c == '\\') c = '/';
    if (dir.back() != '/') dir += '/';
    return RuntimeString(dir.c_str());
}

void PathToSlashes(RuntimeString& text) {
    for (uint32_t i = 0; i < text.Length(); ++i)
        if (text.CharAt(i) == '\\') text.SetCharAt(i, '/');
}
