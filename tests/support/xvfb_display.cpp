#include "support/xvfb_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

// ---------------------------------------------------------------------------
// Helpers

void SleepMilliseconds(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string ReadFileIfAny(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool CommandInstalled(const std::string& name) {
    std::string command = "command -v '" + name + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool WaitForFile(const std::string& path, int timeoutMs) {
    for (int waited = 0;; waited += 50) {
        if (access(path.c_str(), F_OK) == 0) return true;
        if (waited >= timeoutMs) return false;
        SleepMilliseconds(50);
    }
}

// Waits up to timeoutMs for the child; true with its exit code when it ended.
static bool Reap(pid_t pid, int timeoutMs, int& exitCode) {
    for (int waited = 0;; waited += 20) {
        int status = 0;
        pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        }
        if (got < 0 || waited >= timeoutMs) return false;
        SleepMilliseconds(20);
    }
}

// ---------------------------------------------------------------------------
// XvfbDisplay

XvfbDisplay::~XvfbDisplay() {
    if (server <= 0) return;
    kill(server, SIGTERM);
    int code;
    if (!Reap(server, 5000, code)) {
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
    }
}

bool XvfbDisplay::Start(std::string& why) {
    if (!CommandInstalled("Xvfb")) {
        why = "Xvfb is not installed (scripts/install-deps.sh installs it)";
        return false;
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        why = "no pipe";
        return false;
    }
    server = fork();
    if (server == 0) {
        close(pipeFds[0]);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string fd = std::to_string(pipeFds[1]);
        // -displayfd: the server takes the first free display number and
        // writes it to the pipe once it accepts connections.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten",
               "tcp", "-noreset", (char*)nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    if (server < 0) {
        close(pipeFds[0]);
        why = "fork failed";
        return false;
    }
    std::string number;
    pollfd waiting = {pipeFds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (poll(&waiting, 1, 100) <= 0) continue;
        char buffer[16];
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, (size_t)n);
    }
    close(pipeFds[0]);
    size_t end = number.find('\n');
    if (end == std::string::npos || end == 0) {
        why = "Xvfb did not report a display";
        return false;
    }
    name = ":" + number.substr(0, end);
    return true;
}

int XvfbDisplay::Xdotool(const std::string& arguments, std::string* out) const {
    char pattern[] = "/tmp/revev-xdotool-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    std::string command = "DISPLAY='" + name + "' xdotool " + arguments + " >'" + pattern + "' 2>&1";
    int status = std::system(command.c_str());
    if (out) *out = ReadFileIfAny(pattern);
    unlink(pattern);
    return (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
}

std::string XvfbDisplay::FindWindow(const std::string& windowName, int timeoutMs) const {
    for (int waited = 0;; waited += 100) {
        std::string out;
        if (Xdotool("search --name '^" + windowName + "$'", &out) == 0) {
            std::string id = out.substr(0, out.find('\n'));
            if (!id.empty()) return id;
        }
        if (waited >= timeoutMs) return "";
        SleepMilliseconds(100);
    }
}

// ---------------------------------------------------------------------------
// The program in the background

BackgroundProgram StartProgram(const XvfbDisplay& display, const std::vector<std::string>& arguments,
                               const std::string& workDir, const std::string& scratchDir) {
    BackgroundProgram program;
    program.out = scratchDir + "/window-stdout.txt";
    program.err = scratchDir + "/window-stderr.txt";
    program.pid = fork();
    if (program.pid == 0) {
        if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
        int out = open(program.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(program.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        setenv("DISPLAY", display.Name().c_str(), 1);
        // A real window on that display, whatever driver the tests run with.
        unsetenv("SDL_VIDEODRIVER");
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(REVEV_BINARY));
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(REVEV_BINARY, argv.data());
        _exit(127);
    }
    return program;
}

bool ProgramRunning(BackgroundProgram& program, int* exitCode) {
    if (program.pid <= 0) return false;
    int code = -1;
    if (!Reap(program.pid, 0, code)) return true;
    program.pid = -1;
    if (exitCode) *exitCode = code;
    return false;
}

int StopProgram(BackgroundProgram& program, int timeoutMs) {
    if (program.pid <= 0) return -1;
    kill(program.pid, SIGTERM);
    int code = -1;
    if (!Reap(program.pid, timeoutMs, code)) {
        kill(program.pid, SIGKILL);
        waitpid(program.pid, nullptr, 0);
        code = -1;
    }
    program.pid = -1;
    return code;
}
