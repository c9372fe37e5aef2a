// revev-pack: makes, extends, lists and unpacks the data archives that the
// runtime reads its files from.
#include <cstdio>
#include <string>
#include <vector>

#include "archive_writer.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: revev-pack create ARCHIVE FILE...\n"
                 "       revev-pack append TARGET FILE...   (archive added to the end of TARGET)\n"
                 "       revev-pack list ARCHIVE\n"
                 "       revev-pack extract ARCHIVE DIRECTORY [NAME...]\n");
    return 2;
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "revev-pack: %s\n", error.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string command = argv[1];
    std::string archive = argv[2];
    std::vector<std::string> rest(argv + 3, argv + argc);
    std::string error;

    if (command == "create" || command == "append") {
        if (rest.empty()) return Usage();
        bool ok = command == "create" ? CreateArchive(archive, rest, error)
                                      : AppendArchive(archive, rest, error);
        return ok ? 0 : Fail(error);
    }
    if (command == "list") {
        if (!rest.empty()) return Usage();
        std::vector<ArchiveListing> entries;
        if (!ListArchive(archive, entries, error)) return Fail(error);
        std::printf("%12s %12s %12s  %s\n", "size", "stored", "offset", "name");
        for (const ArchiveListing& e : entries) {
            std::printf("%12u %12u %12d  %s%s\n", e.unpackedSize, e.dataSize, (int)e.dataOffset,
                        e.name.c_str(), e.usable ? "" : "  (block outside the file)");
        }
        return 0;
    }
    if (command == "extract") {
        if (rest.empty()) return Usage();
        std::string directory = rest[0];
        std::vector<std::string> names(rest.begin() + 1, rest.end());
        int written = ExtractArchive(archive, directory, names, error);
        if (!error.empty()) std::fprintf(stderr, "revev-pack: %s", error.c_str());
        std::printf("%d file(s) extracted\n", written);
        return error.empty() ? 0 : 1;
    }
    return Usage();
}
