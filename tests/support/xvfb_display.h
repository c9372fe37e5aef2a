// Test support for tests that type and click into a real window: a private
// X server (Xvfb) on a display number it picks itself, the real program run
// in the background on it, and xdotool to send keys and clicks as a person
// would. Each test starts and stops its own server, so tests run side by side
// and leave nothing behind.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Whether a program of that name is on the PATH.
bool CommandInstalled(const std::string& name);

class XvfbDisplay {
public:
    XvfbDisplay() = default;
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;
    // Stops the server and waits for it.
    ~XvfbDisplay();

    // Starts Xvfb with one 800 x 600 screen and no window manager. False,
    // with the reason in why, when it does not come up within 10 s.
    bool Start(std::string& why);
    // ":N", or empty before Start.
    const std::string& Name() const { return name; }

    // Runs "xdotool ARGUMENTS" on this display (arguments quoted for the
    // shell); returns its exit code and, when out is given, what it printed.
    int Xdotool(const std::string& arguments, std::string* out = nullptr) const;
    // The id of the first window whose name matches the pattern exactly,
    // polling up to timeoutMs; empty when none came.
    std::string FindWindow(const std::string& name, int timeoutMs) const;

private:
    pid_t server = -1;
    std::string name;
};

// The real program started in the background on display, from workDir,
// with stdout and stderr into the named files.
struct BackgroundProgram {
    pid_t pid = -1;
    std::string out, err;  // paths
};
BackgroundProgram StartProgram(const XvfbDisplay& display, const std::vector<std::string>& arguments,
                               const std::string& workDir, const std::string& scratchDir);
// Whether the program is still running (it is reaped once it has ended).
bool ProgramRunning(BackgroundProgram& program, int* exitCode = nullptr);
// Asks the program to end (SIGTERM), waits up to timeoutMs and kills it after
// that; returns its exit code, or -1 when it had to be killed.
int StopProgram(BackgroundProgram& program, int timeoutMs);

// Polls up to timeoutMs until the file exists; true when it does.
bool WaitForFile(const std::string& path, int timeoutMs);
// Polls up to timeoutMs until the file's content satisfies done; returns the
// last content read.
template <typename Done>
std::string WaitForContent(const std::string& path, int timeoutMs, Done done);

// ---------------------------------------------------------------------------

void SleepMilliseconds(int ms);
std::string ReadFileIfAny(const std::string& path);

template <typename Done>
std::string WaitForContent(const std::string& path, int timeoutMs, Done done) {
    std::string content;
    for (int waited = 0;; waited += 50) {
        content = ReadFileIfAny(path);
        if (done(content) || waited >= timeoutMs) return content;
        SleepMilliseconds(50);
    }
}
