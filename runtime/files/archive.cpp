// The two data archive records and file resolution: disk first, then an entry
// of the archive unpacked into one temporary file per record.
#include "files/archive.h"

#include <cstring>
#include <string>

#include "core/engine.h"
#include "files/archive_format.h"
#include "files/file_io.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

void DropTemporaryFile(DataArchive* record) {
    if (record->lastTemporaryFile[0]) DeleteFileIfPresent(record->lastTemporaryFile);
    record->lastTemporaryFile[0] = 0;
}

void AssignArchive(DataArchive* record, const char* path) {
    record->enabled = 1;
    DropTemporaryFile(record);
    record->archivePath[0] = 0;
    if (path && std::strlen(path) <= (size_t)kDataPathMax) std::strcpy(record->archivePath, path);
}

// The part of `name` after its last '/' or '\\'.
const char* KeyOf(const char* name) {
    const char* key = name;
    for (const char* p = name; *p; ++p)
        if (*p == '/' || *p == '\\') key = p + 1;
    return key;
}

bool EntryMatches(const ArchiveEntry& entry, const char* key, size_t keyLength) {
    if (entry.nameLength != keyLength) return false;
    for (size_t i = 0; i < keyLength; ++i)
        if (LowerAscii(entry.name[i]) != LowerAscii(key[i])) return false;
    return true;
}

// "vaz", a letter from the offset, a letter from the size, the stored name.
std::string TemporaryName(const ArchiveEntry& entry) {
    std::string path = PlatformTempDirectory();
    path += "vaz";
    path += (char)('A' + entry.dataOffset % 26);
    path += (char)('A' + entry.dataSize % 26);
    path.append(entry.name, entry.nameLength);
    return path;
}

// Looks `key` up in the open archive and writes the entry into a temporary
// file. Returns the temporary file's path, or empty when nothing usable was
// found or written.
std::string UnpackFromArchive(FILE* archive, const char* key) {
    ArchiveLayout layout;
    if (!ArchiveOpenDirectory(archive, layout)) return std::string();
    size_t keyLength = std::strlen(key);
    ArchiveEntry entry;
    for (;;) {
        ArchiveStep step = ArchiveNextEntry(archive, layout, entry);
        if (step != ArchiveStep::Entry) return std::string();
        if (EntryMatches(entry, key, keyLength)) break;
    }
    std::string path = TemporaryName(entry);
    if (path.size() > (size_t)kDataPathMax) return std::string();
    UnpackedData data;
    // A damaged block still yields what was unpacked before the error.
    if (ArchiveUnpack(archive, entry, data) == UnpackResult::Refused) return std::string();
    FILE* out = CreateFreshForWriting(path.c_str());
    if (!out) return std::string();
    bool written = WriteExact(out, data.bytes.get(), data.length);
    if (std::fclose(out) != 0) written = false;
    if (!written) {
        DeleteFileIfPresent(path.c_str());
        return std::string();
    }
    return path;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions

void DataArchivesCreate() {
    if (engine.dataArchives) return;
    engine.dataArchives = new DataArchive[2];
    for (int i = 0; i < 2; ++i) {
        engine.dataArchives[i].enabled = 1;
        engine.dataArchives[i].archivePath[0] = 0;
        engine.dataArchives[i].lastTemporaryFile[0] = 0;
    }
}

void DataArchivesRelease() {
    if (!engine.dataArchives) return;
    for (int i = 0; i < 2; ++i) {
        DataArchive* record = &engine.dataArchives[i];
        record->enabled = 1;
        DropTemporaryFile(record);
        record->archivePath[0] = 0;
    }
    delete[] engine.dataArchives;
    engine.dataArchives = nullptr;
}

void SetDataArchives(const char* primary, const char* secondary) {
    if (!engine.dataArchives) return;
    AssignArchive(&engine.dataArchives[0], primary);
    AssignArchive(&engine.dataArchives[1], secondary);
}

int ResolveDataFile(DataArchive* record, const char* name, char* outPath) {
    if (record) DropTemporaryFile(record);
    size_t nameLength = name ? std::strlen(name) : 0;
    // An over-long name would not fit the caller's buffer; cutting it could
    // name another file, so it is refused.
    if (nameLength == 0 || nameLength > (size_t)kDataPathMax) {
        if (outPath) outPath[0] = 0;
        return 0;
    }
    // `outPath` may be the same buffer as `name`.
    char request[kDataPathMax + 1];
    std::memcpy(request, name, nameLength + 1);

    if (FILE* file = OpenForReading(request)) {
        std::fclose(file);
        if (outPath) std::memcpy(outPath, request, nameLength + 1);
        return 1;
    }
    if (!record || !record->enabled) return 0;
    if (!record->archivePath[0]) {
        record->enabled = 0;
        return 0;
    }
    FILE* archive = OpenForReading(record->archivePath);
    if (!archive) {
        record->enabled = 0;
        return 0;
    }
    std::string path = UnpackFromArchive(archive, KeyOf(request));
    std::fclose(archive);
    if (path.empty()) {
        if (outPath) outPath[0] = 0;
        return 0;
    }
    std::memcpy(record->lastTemporaryFile, path.c_str(), path.size() + 1);
    if (outPath) std::memcpy(outPath, path.c_str(), path.size() + 1);
    return 1;
}

void ReleaseDataFile(DataArchive* record) {
    if (record) DropTemporaryFile(record);
}
