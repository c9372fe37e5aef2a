// The packer's work: compressing files into archive blocks, writing the
// directory and trailer, and listing and extracting for the user.
#include "archive_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include <lzo/lzo1x.h>

#include "files/archive_format.h"
#include "files/file_io.h"

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Types

namespace {

struct PlannedEntry {
    std::string source;
    std::string name;
    int64_t blockStart = 0;  // absolute position in the output file
    uint32_t blockSize = 0;
};

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

// ---------------------------------------------------------------------------
// Internal helpers

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        error = "not a readable file: " + path;
        return false;
    }
    File file(std::fopen(path.c_str(), "rb"));
    int64_t size = file ? FileLength(file.get()) : -1;
    if (size < 0) {
        error = "cannot open " + path;
        return false;
    }
    if (size > (int64_t)UINT32_MAX) {
        error = "too large for an archive entry (4 GB or more): " + path;
        return false;
    }
    data.resize((size_t)size);
    if (!ReadExact(file.get(), data.data(), data.size())) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

// Validates the sources and derives the stored names.
bool PlanEntries(const std::vector<std::string>& files, std::vector<PlannedEntry>& plan,
                 std::string& error) {
    if (files.empty()) {
        error = "no files to pack";
        return false;
    }
    for (const std::string& source : files) {
        PlannedEntry entry;
        entry.source = source;
        entry.name = fs::path(source).filename().string();
        if (entry.name.empty() || entry.name.size() > 255) {
            error = "file name empty or longer than 255 bytes: " + source;
            return false;
        }
        for (const PlannedEntry& other : plan) {
            if (EqualNoCase(other.name.c_str(), entry.name.c_str())) {
                // The resolver finds only the first of two equal names.
                error = "two files named " + entry.name + " (names ignore case)";
                return false;
            }
        }
        plan.push_back(entry);
    }
    return true;
}

// Compresses `data` into a block: unpacked size, then the LZO1X-999 stream.
bool PackBlock(const std::vector<uint8_t>& data, std::vector<uint8_t>& block) {
    static const bool ready = lzo_init() == LZO_E_OK;
    if (!ready) return false;
    // LZO's documented worst case for incompressible input.
    block.resize(kArchiveBlockHeader + data.size() + data.size() / 16 + 64 + 3);
    std::vector<uint8_t> work(LZO1X_999_MEM_COMPRESS);
    lzo_uint packed = 0;
    static const uint8_t nothing = 0;
    if (lzo1x_999_compress(data.empty() ? &nothing : data.data(), data.size(),
                           block.data() + kArchiveBlockHeader, &packed, work.data()) != LZO_E_OK)
        return false;
    WriteLe32(block.data(), (uint32_t)data.size());
    block.resize(kArchiveBlockHeader + packed);
    return true;
}

// Writes the blocks, the directory and the trailer at the end of `out`, which
// stands at absolute position `start`. Offsets are absolute, or counted back
// from the end of the finished file when `fromEnd`.
bool WriteArchive(FILE* out, int64_t start, std::vector<PlannedEntry>& plan, bool fromEnd,
                  std::string& error) {
    int64_t position = start;
    std::vector<uint8_t> data, block;
    for (PlannedEntry& entry : plan) {
        if (!ReadWholeFile(entry.source, data, error)) return false;
        if (!PackBlock(data, block)) {
            error = "compression failed: " + entry.source;
            return false;
        }
        if (!WriteExact(out, block.data(), block.size())) {
            error = "write failed";
            return false;
        }
        entry.blockStart = position;
        entry.blockSize = (uint32_t)block.size();
        position += (int64_t)block.size();
    }
    int64_t directorySize = 1;
    for (const PlannedEntry& entry : plan) directorySize += 1 + (int64_t)entry.name.size() + 8;
    int64_t end = position + directorySize + kArchiveTrailerSize;
    // Offsets are 32-bit: signed for the directory, and for every entry when
    // counted from the end.
    if (fromEnd ? (end - start > INT32_MAX) : (position > INT32_MAX)) {
        error = "archive too large for 32-bit offsets";
        return false;
    }
    std::vector<uint8_t> directory;
    for (const PlannedEntry& entry : plan) {
        uint8_t fields[8];
        int64_t offset = fromEnd ? entry.blockStart - end : entry.blockStart;
        WriteLe32(fields, (uint32_t)offset);
        WriteLe32(fields + 4, entry.blockSize);
        directory.push_back((uint8_t)entry.name.size());
        directory.insert(directory.end(), entry.name.begin(), entry.name.end());
        directory.insert(directory.end(), fields, fields + 8);
    }
    directory.push_back(0);
    uint8_t trailer[kArchiveTrailerSize];
    std::memcpy(trailer, kArchiveMagic, 3);
    WriteLe32(trailer + 3, (uint32_t)(fromEnd ? position - end : position));
    if (!WriteExact(out, directory.data(), directory.size()) ||
        !WriteExact(out, trailer, sizeof trailer) || std::fflush(out) != 0) {
        error = "write failed";
        return false;
    }
    return true;
}

bool SafeStoredName(const char* name, size_t length) {
    if (length == 0 || std::strlen(name) != length) return false;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
    return std::strpbrk(name, "/\\") == nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions

bool CreateArchive(const std::string& archivePath, const std::vector<std::string>& files,
                   std::string& error) {
    std::vector<PlannedEntry> plan;
    if (!PlanEntries(files, plan, error)) return false;
    File out(std::fopen(archivePath.c_str(), "wb"));
    if (!out) {
        error = "cannot create " + archivePath;
        return false;
    }
    bool ok = WriteArchive(out.get(), 0, plan, false, error);
    if (std::fclose(out.release()) != 0 && ok) {
        error = "write failed";
        ok = false;
    }
    if (!ok) std::remove(archivePath.c_str());
    return ok;
}

bool AppendArchive(const std::string& targetPath, const std::vector<std::string>& files,
                   std::string& error) {
    std::vector<PlannedEntry> plan;
    if (!PlanEntries(files, plan, error)) return false;
    std::error_code ec;
    if (!fs::is_regular_file(targetPath, ec)) {
        error = "no such file to append to: " + targetPath;
        return false;
    }
    File out(std::fopen(targetPath.c_str(), "ab"));
    int64_t oldSize = out ? FileLength(out.get()) : -1;
    if (oldSize < 0 || std::fseek(out.get(), 0, SEEK_END) != 0) {
        error = "cannot open " + targetPath;
        return false;
    }
    bool ok = WriteArchive(out.get(), oldSize, plan, true, error);
    if (std::fclose(out.release()) != 0 && ok) {
        error = "write failed";
        ok = false;
    }
    if (!ok) fs::resize_file(targetPath, (uintmax_t)oldSize, ec);
    return ok;
}

bool ListArchive(const std::string& archivePath, std::vector<ArchiveListing>& entries,
                 std::string& error) {
    entries.clear();
    File file(OpenForReading(archivePath.c_str()));
    if (!file) {
        error = "cannot open " + archivePath;
        return false;
    }
    ArchiveLayout layout;
    if (!ArchiveOpenDirectory(file.get(), layout)) {
        error = "not an archive: " + archivePath;
        return false;
    }
    ArchiveEntry entry;
    for (;;) {
        ArchiveStep step = ArchiveNextEntry(file.get(), layout, entry);
        if (step == ArchiveStep::End) return true;
        if (step == ArchiveStep::Damaged) {
            error = "directory runs past the end of the file";
            return false;
        }
        ArchiveListing item;
        item.name.assign(entry.name, entry.nameLength);
        item.dataOffset = entry.dataOffset;
        item.dataSize = entry.dataSize;
        item.usable = entry.dataStart >= 0;
        long next = std::ftell(file.get());
        uint8_t header[kArchiveBlockHeader];
        if (item.usable && SeekTo(file.get(), entry.dataStart) &&
            ReadExact(file.get(), header, sizeof header))
            item.unpackedSize = ReadLe32(header);
        if (next < 0 || !SeekTo(file.get(), next)) {
            error = "cannot read " + archivePath;
            return false;
        }
        entries.push_back(item);
    }
}

int ExtractArchive(const std::string& archivePath, const std::string& directory,
                   const std::vector<std::string>& names, std::string& error) {
    File file(OpenForReading(archivePath.c_str()));
    ArchiveLayout layout;
    if (!file || !ArchiveOpenDirectory(file.get(), layout)) {
        error = "not an archive: " + archivePath;
        return 0;
    }
    int written = 0;
    ArchiveEntry entry;
    for (;;) {
        ArchiveStep step = ArchiveNextEntry(file.get(), layout, entry);
        if (step == ArchiveStep::End) break;
        if (step == ArchiveStep::Damaged) {
            error += "directory runs past the end of the file\n";
            break;
        }
        bool wanted = names.empty();
        for (const std::string& n : names)
            if (n.size() == entry.nameLength && EqualNoCase(n.c_str(), entry.name)) wanted = true;
        if (!wanted) continue;
        std::string name(entry.name, entry.nameLength);
        if (!SafeStoredName(entry.name, entry.nameLength)) {
            error += "refused stored name with directory parts: " + name + "\n";
            continue;
        }
        long next = std::ftell(file.get());
        UnpackedData data;
        UnpackResult result = ArchiveUnpack(file.get(), entry, data);
        if (next < 0 || !SeekTo(file.get(), next)) {
            error += "cannot read " + archivePath + "\n";
            break;
        }
        if (result != UnpackResult::Complete) {
            error += "damaged entry: " + name + "\n";
            continue;
        }
        std::string target = (fs::path(directory) / name).string();
        File out(std::fopen(target.c_str(), "wb"));
        bool ok = out && WriteExact(out.get(), data.bytes.get(), data.length);
        if (out && std::fclose(out.release()) != 0) ok = false;
        if (!ok) {
            error += "cannot write " + target + "\n";
            std::remove(target.c_str());
            continue;
        }
        ++written;
    }
    return written;
}
