// Starting a game from the command line: `revev DIR` runs DIR/main.lua, and
// `revev GAME.vaz` runs the main.lua packed in a data archive, so a game can
// be handed out as one file. Checked before start-up, so that a game that
// cannot start opens no window.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "application.h"
#include "files/archive.h"
#include "files/archive_format.h"
#include "files/file_io.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// State

// The private folder a packed game's main.lua is unpacked into, and the
// folder inside it named like the archive (so that messages read
// ".../game.vaz/main.lua"); removed at the end.
static std::string unpackFolder, unpackedGame, unpackedScript;

// ---------------------------------------------------------------------------
// Internal helpers

static void RemoveUnpackedScript() {
    if (!unpackedScript.empty()) std::remove(unpackedScript.c_str());
    if (!unpackedGame.empty()) rmdir(unpackedGame.c_str());
    if (!unpackFolder.empty()) rmdir(unpackFolder.c_str());
}

static std::string CannotOpen(const std::string& path, int reason) {
    return "cannot open " + path + ": " + std::strerror(reason);
}

// The archive's main.lua, found as the resolver finds entries (the name
// without regard to case), unpacked whole. False with the reason.
static bool UnpackMainScript(const std::string& archive, std::string& text, std::string& error) {
    FILE* file = OpenForReading(archive.c_str());
    if (!file) {
        error = CannotOpen(archive, errno ? errno : EACCES);
        return false;
    }
    ArchiveLayout layout;
    ArchiveEntry entry;
    bool found = false;
    if (!ArchiveOpenDirectory(file, layout)) {
        std::fclose(file);
        error = archive + " is neither a folder nor a data archive";
        if (archive.size() > 4 && EqualNoCase(archive.c_str() + archive.size() - 4, ".lua"))
            error += " (a script runs with --script " + archive + ")";
        return false;
    }
    while (!found && ArchiveNextEntry(file, layout, entry) == ArchiveStep::Entry)
        found = EqualNoCase(entry.name, "main.lua");
    UnpackedData data;
    UnpackResult result = found ? ArchiveUnpack(file, entry, data) : UnpackResult::Refused;
    std::fclose(file);
    if (!found) {
        error = archive + ": the archive holds no main.lua";
        return false;
    }
    if (result != UnpackResult::Complete) {
        error = archive + ": main.lua in the archive is damaged";
        return false;
    }
    text.assign(reinterpret_cast<const char*>(data.bytes.get()), data.length);
    return true;
}

static bool WriteUnpackedScript(const std::string& archive, const std::string& text, std::string& error) {
    std::string pattern = PlatformTempDirectory() + "revev-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a temporary folder in " + PlatformTempDirectory() + ": " + std::strerror(errno);
        return false;
    }
    unpackFolder = pattern;
    std::atexit(RemoveUnpackedScript);
    unpackedGame = unpackFolder + "/" + archive.substr(archive.rfind('/') + 1);
    if (mkdir(unpackedGame.c_str(), 0700) != 0) {
        error = "cannot make " + unpackedGame + ": " + std::strerror(errno);
        unpackedGame.clear();
        return false;
    }
    std::string script = unpackedGame + "/main.lua";
    FILE* out = CreateFreshForWriting(script.c_str());
    if (!out) {
        error = "cannot write " + script;
        return false;
    }
    unpackedScript = script;
    bool written = WriteExact(out, text.data(), text.size());
    if (std::fclose(out) != 0) written = false;
    if (!written) error = "cannot write " + script;
    return written;
}

// ---------------------------------------------------------------------------
// Public

bool ScriptFileReadable(const std::string& path, std::string& error) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = CannotOpen(path, errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = CannotOpen(path, EISDIR);
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = CannotOpen(path, errno);
        return false;
    }
    std::fclose(file);
    return true;
}

bool ChooseGame(const std::string& game, ApplicationOptions& options, std::string& error) {
    std::string path = game;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = CannotOpen(game, errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        std::string script = (path == "/" ? std::string() : path) + "/main.lua";
        if (!ScriptFileReadable(script, error)) return false;
        options.script = script;
        options.scriptFolderIsCurrent = true;
        return true;
    }
    // The records hold a path of at most kDataPathMax bytes; a longer one
    // would leave the game without its data.
    if (path.size() > (size_t)kDataPathMax) {
        error = game + ": the path is longer than " + std::to_string(kDataPathMax) + " bytes";
        return false;
    }
    std::string text;
    if (!UnpackMainScript(path, text, error) || !WriteUnpackedScript(path, text, error)) return false;
    options.script = unpackedScript;
    options.scriptFolderIsCurrent = true;
    options.workFolder = path.substr(0, path.rfind('/'));
    if (options.workFolder.empty()) options.workFolder = "/";
    options.dataArchive = path;
    return true;
}
