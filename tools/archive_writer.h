// Writing data archives for the runtime's resolver: each file packed with
// LZO1X-999 into a block that starts with its unpacked size, then the
// directory, then the 7-byte trailer. The runtime itself only reads archives.
#pragma once

#include <string>
#include <vector>

// Writes a new archive at `archivePath` holding `files` under their plain file
// names; offsets count from the start. On failure returns false with a
// message in `error` and leaves no archive behind.
bool CreateArchive(const std::string& archivePath, const std::vector<std::string>& files,
                   std::string& error);

// Appends an archive holding `files` to the end of the existing file
// `targetPath`; offsets count back from the end, so the result is read like
// any archive. On failure the target is cut back to its old size.
bool AppendArchive(const std::string& targetPath, const std::vector<std::string>& files,
                   std::string& error);

struct ArchiveListing {
    std::string name;
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
    uint32_t unpackedSize = 0;  // as the block claims; 0 when unreadable
    bool usable = false;        // the block lies inside the file
};

// Reads the directory of `archivePath`. False with a message when the file is
// no archive or its directory is damaged.
bool ListArchive(const std::string& archivePath, std::vector<ArchiveListing>& entries,
                 std::string& error);

// Unpacks entries into `directory`: all of them when `names` is empty, else
// those named (case-insensitive). Stored names with directory parts are
// refused. Returns the number written; `error` collects the problems.
int ExtractArchive(const std::string& archivePath, const std::string& directory,
                   const std::vector<std::string>& names, std::string& error);
