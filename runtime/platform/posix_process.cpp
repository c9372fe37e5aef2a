// Other programs: started with posix_spawn from a list of words (never through
// a shell), waited for, or run to their end with their output taken.
#include "platform/platform.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

// ---------------------------------------------------------------------------
// State

// Programs started without a wait, or given up by a wait on an end request:
// reaped every frame and whenever another program starts, so they do not stay
// behind as zombies for the whole run.
static std::vector<pid_t> unwaited;

// ---------------------------------------------------------------------------
// Internal helpers

static void ReapUnwaited() {
    for (size_t i = 0; i < unwaited.size();) {
        int status = 0;
        pid_t done = waitpid(unwaited[i], &status, WNOHANG);
        if (done == unwaited[i] || (done < 0 && errno == ECHILD)) {
            unwaited[i] = unwaited.back();
            unwaited.pop_back();
        } else {
            ++i;
        }
    }
}

static int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Spawns with stdout (and nothing else) redirected to `outputFd` when it is
// not -1. Returns the process id, or 0.
static pid_t Spawn(const std::vector<std::string>& arguments, int outputFd) {
    if (arguments.empty() || arguments[0].empty()) return 0;
    ReapUnwaited();
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& word : arguments) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd >= 0) posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    // The program's own files, sockets and devices stay its own: only the
    // standard three reach the new program.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : 0;
}

// How often a wait looks for its program's end and for a request to end this
// one: short enough that the end request is answered at once, long enough to
// cost nothing.
static const int kWaitPollMilliseconds = 5;

// Waits for the program's end, or gives it up on an end request.
static bool WaitFor(pid_t pid, int& exitCode) {
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return false;
        if (PlatformEndRequested()) {
            unwaited.push_back(pid);
            return false;
        }
        poll(nullptr, 0, kWaitPollMilliseconds);
    }
    exitCode = ExitCodeOf(status);
    return true;
}

// ---------------------------------------------------------------------------
// Public

int64_t PlatformSpawnProcess(const std::vector<std::string>& arguments) {
    return (int64_t)Spawn(arguments, -1);
}

bool PlatformWaitProcess(int64_t process, int& exitCode) {
    exitCode = 0;
    if (process <= 0) return false;
    return WaitFor((pid_t)process, exitCode);
}

void PlatformReleaseProcess(int64_t process) {
    if (process > 0) unwaited.push_back((pid_t)process);
}

void PlatformReapProcesses() {
    if (!unwaited.empty()) ReapUnwaited();
}

bool PlatformRunCapture(const std::vector<std::string>& arguments, std::string& output,
                        int& exitCode) {
    output.clear();
    exitCode = 0;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    pid_t pid = Spawn(arguments, pipeFds[1]);
    close(pipeFds[1]);
    if (pid == 0) {
        close(pipeFds[0]);
        return false;
    }
    char buffer[4096];
    for (;;) {
        // The helper may wait for a person; an end request must not.
        pollfd ready = {pipeFds[0], POLLIN, 0};
        if (poll(&ready, 1, kWaitPollMilliseconds) == 0) {
            if (!PlatformEndRequested()) continue;
            close(pipeFds[0]);
            unwaited.push_back(pid);
            return false;
        }
        ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got > 0) {
            // A file name is short; a helper that floods its output is not
            // allowed to take the whole memory.
            if (output.size() < (size_t(1) << 20)) output.append(buffer, (size_t)got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;
    }
    close(pipeFds[0]);
    return WaitFor(pid, exitCode);
}

bool PlatformFindProgram(const char* name) {
    if (!name || !*name) return false;
    if (std::strchr(name, '/')) return access(name, X_OK) == 0;
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string list = path;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string dir = list.substr(start, end - start);
        // push_back, not = ".": GCC 12 at -O2 warns of an overlap in the assignment.
        if (dir.empty()) dir.push_back('.');
        std::string candidate = dir + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

bool PlatformDisplayPresent() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}
