// Fuzz target: the data archive reader. The input is an archive file: its
// directory is walked and every entry unpacked from memory, and the resolver
// looks a name up in it on disk, as a loader would.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "files/archive.h"
#include "files/archive_format.h"

namespace {

std::string scratch;

void WalkDirectory(const uint8_t* data, size_t size) {
    FILE* file = fmemopen((void*)data, size, "rb");
    if (!file) return;
    ArchiveLayout layout;
    if (ArchiveOpenDirectory(file, layout)) {
        ArchiveEntry entry;
        for (int i = 0; i < 64 && ArchiveNextEntry(file, layout, entry) == ArchiveStep::Entry; ++i) {
            long next = std::ftell(file);
            UnpackedData out;
            UnpackResult result = ArchiveUnpack(file, entry, out);
            if (result == UnpackResult::Refused && out.length != 0) std::abort();
            if (result != UnpackResult::Refused && entry.dataStart < 0) std::abort();
            if (next < 0 || std::fseek(file, next, SEEK_SET) != 0) break;
        }
    }
    std::fclose(file);
}

void Resolve(const uint8_t* data, size_t size) {
    std::string archive = scratch + "input.vaz";
    FILE* file = std::fopen(archive.c_str(), "wb");
    if (!file) return;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    static DataArchive record;
    record.enabled = 1;
    std::strcpy(record.archivePath, archive.c_str());
    char path[260];
    const char* names[] = {"a.txt", "dir/HERO.PNG"};
    for (const char* name : names) {
        if (ResolveDataFile(&record, name, path)) {
            if (std::strncmp(path, scratch.c_str(), scratch.size()) != 0) std::abort();
            if (std::strchr(path + scratch.size(), '/')) std::abort();
        } else if (path[0] != 0) {
            std::abort();
        }
    }
    ResolveDataFile(&record, "", path);  // drops the last temporary file
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/revev-fuzz-archive-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) std::abort();
    scratch = std::string(dir) + "/";
    setenv("TMPDIR", scratch.c_str(), 1);
    // Names are tried on disk first; nothing there but the input itself.
    if (chdir(dir) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WalkDirectory(data, size);
    Resolve(data, size);
    return 0;
}
