// Replacing a file through a new file beside it: written, flushed to disk,
// then renamed over the old one, which stays whole until that moment.
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/engine.h"
#include "files/file_io.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

std::string DirectoryOf(const std::string& path);

// A link is replaced at its destination, so the link itself stays; that holds
// for a link whose destination does not exist yet, which the save creates.
// Each link of a chain is followed by hand, relative ones from their own
// folder; a loop or an unreadable link leaves the name as given.
std::string ReplacedPath(const char* path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        char target[4096];
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
        if (length <= 0) return path;
        target[length] = '\0';
        if (target[0] == '/') {
            current = target;
        } else {
            const std::string folder = DirectoryOf(current);
            current = (folder == "/" ? "" : folder) + "/" + target;
        }
    }
    return path;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void LogFailure(const FileReplacement& replacement) {
    ErrorLogAppend(("Could not write " + replacement.target).c_str());
}

void RemoveTemporary(FileReplacement& replacement) {
    if (replacement.descriptor >= 0) ::close(replacement.descriptor);
    replacement.descriptor = -1;
    if (!replacement.temporary.empty()) ::unlink(replacement.temporary.c_str());
    replacement.temporary.clear();
}

// Makes the rename itself durable; a directory that cannot be synced costs
// only that guarantee.
void SyncDirectory(const std::string& path) {
    int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions

bool ReplacementBegin(FileReplacement& replacement, const char* path) {
    replacement = FileReplacement();
    if (!path || !*path) return false;
    replacement.target = ReplacedPath(path);
    struct stat old;
    bool hadOld = ::stat(replacement.target.c_str(), &old) == 0;
    // A directory or device of that name is never replaced by a file, nor is
    // a file this process may not write (opening it in place would fail too).
    if (hadOld && (!S_ISREG(old.st_mode) || ::access(replacement.target.c_str(), W_OK) != 0)) {
        replacement.failed = true;
        LogFailure(replacement);
        return false;
    }
    // The name is unique to this process and attempt; O_EXCL never reuses
    // (or follows a link at) a name that already exists.
    static unsigned attempt = 0;
    for (int tries = 0; tries < 16 && replacement.descriptor < 0; ++tries) {
        replacement.temporary = replacement.target + ".new-" + std::to_string((long)::getpid()) +
                                "-" + std::to_string(++attempt);
        replacement.descriptor = ::open(replacement.temporary.c_str(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (replacement.descriptor < 0 && errno != EEXIST) break;
    }
    if (replacement.descriptor < 0) {
        replacement.temporary.clear();
        replacement.failed = true;
        LogFailure(replacement);
        return false;
    }
    // The old file's permission bits carry over; a new file gets the
    // process's usual ones from the umask.
    if (hadOld) ::fchmod(replacement.descriptor, old.st_mode & 07777);
    return true;
}

bool ReplacementWrite(FileReplacement& replacement, const void* bytes, size_t count) {
    if (replacement.descriptor < 0 || replacement.failed) return false;
    const char* p = (const char*)bytes;
    while (count > 0) {
        ssize_t n = ::write(replacement.descriptor, p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            replacement.failed = true;
            return false;
        }
        p += n;
        count -= (size_t)n;
    }
    return true;
}

bool ReplacementFinish(FileReplacement& replacement, bool complete) {
    if (replacement.descriptor < 0) return false;
    bool ok = complete && !replacement.failed && ::fsync(replacement.descriptor) == 0;
    if (::close(replacement.descriptor) != 0) ok = false;
    replacement.descriptor = -1;
    if (ok && ::rename(replacement.temporary.c_str(), replacement.target.c_str()) != 0) ok = false;
    if (!ok) {
        RemoveTemporary(replacement);
        replacement.failed = true;
        LogFailure(replacement);
        return false;
    }
    replacement.temporary.clear();
    SyncDirectory(replacement.target);
    return true;
}

bool ReplaceFileWith(const char* path, const void* bytes, size_t count) {
    FileReplacement replacement;
    if (!ReplacementBegin(replacement, path)) return false;
    ReplacementWrite(replacement, bytes, count);
    return ReplacementFinish(replacement);
}
