// revev-pack: makes, extends, lists and unpacks the data archives that the
// runtime reads its files from.
#include <cstdio>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "tool_options.h"

namespace {

const ToolCommandLine kTool = {
    "revev-pack",
    "usage: revev-pack create ARCHIVE FILE...\n"
    "       revev-pack append TARGET FILE...   (archive added to the end of TARGET)\n"
    "       revev-pack list ARCHIVE\n"
    "       revev-pack extract ARCHIVE DIRECTORY [NAME...]\n"
    "Makes, extends, lists and unpacks the data archives the runtime reads its files\n"
    "from. Entries are named by the files' names without their folders.\n"
    "  -h, --help  print this and exit\n"};

int Fail(const std::string& error) {
    std::fprintf(stderr, "revev-pack: %s\n", error.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    int end = ReadCommandLine(kTool, argc, argv, args);
    if (end >= 0) return end;
    if (args.empty()) return UsageError(kTool, "missing command");
    const std::string command = args[0];
    if (command != "create" && command != "append" && command != "list" && command != "extract")
        return UsageError(kTool, "unknown command " + command);
    if (args.size() < 2) return UsageError(kTool, "missing argument");
    const std::string archive = args[1];
    std::vector<std::string> rest(args.begin() + 2, args.end());
    std::string error;

    if (command == "create" || command == "append") {
        if (rest.empty()) return UsageError(kTool, "missing argument");
        bool ok = command == "create" ? CreateArchive(archive, rest, error)
                                      : AppendArchive(archive, rest, error);
        return ok ? 0 : Fail(error);
    }
    if (command == "list") {
        if (!rest.empty()) return UsageError(kTool, "too many arguments");
        std::vector<ArchiveListing> entries;
        if (!ListArchive(archive, entries, error)) return Fail(error);
        std::printf("%12s %12s %12s  %s\n", "size", "stored", "offset", "name");
        for (const ArchiveListing& e : entries) {
            std::printf("%12u %12u %12d  %s%s\n", e.unpackedSize, e.dataSize, (int)e.dataOffset,
                        e.name.c_str(), e.usable ? "" : "  (block outside the file)");
        }
        return 0;
    }
    {
        if (rest.empty()) return UsageError(kTool, "missing argument");
        std::string directory = rest[0];
        std::vector<std::string> names(rest.begin() + 1, rest.end());
        int written = ExtractArchive(archive, directory, names, error);
        if (!error.empty()) std::fprintf(stderr, "revev-pack: %s", error.c_str());
        std::printf("%d file(s) extracted\n", written);
        return error.empty() ? 0 : 1;
    }
}
