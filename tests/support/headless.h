// Test support shared by every suite: a real headless start-up, a scratch
// temporary directory, a clock the test drives, and running the real program.
#pragma once

#include <string>

// Points TMPDIR at a fresh directory for this process and returns it ("/"
// ended). A death test's child, which runs the test body again, gets the
// parent's directory through the environment, so both see the same files.
std::string UseScratchTempDirectory();

struct HeadlessSettings {
    int width = 320;
    int height = 240;
    int frameRate = 60;
    int multisample = 0;
    bool exclusiveMouse = false;
};
// Runs the real start-up with these settings; fails the test when no window
// with a context can be made. Auto-pause is switched off, as the application does.
void StartHeadless(const HeadlessSettings& settings = HeadlessSettings());

// A clock the test moves: every read advances it by `step` milliseconds.
struct FakeClock {
    static double now;
    static double step;
    static double Read() { return now += step; }
    static void Install(double start, double stepMs);
};

// Whole content of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes text to a file, replacing it.
void WriteWholeFile(const std::string& path, const std::string& text);
// A 24-bit BMP file of w x h pixels, all grey.
std::string GreyBmp(int w, int h);
// Number of (possibly overlapping) occurrences of `what` in `text`.
int CountOccurrences(const std::string& text, const std::string& what);

// The real program run to its end, headless.
struct ProgramRun {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};
// Runs the program with `arguments` (already quoted for the shell), from
// `workDir` when given; stdout and stderr go through files in `scratchDir`.
ProgramRun RunProgram(const std::string& arguments, const std::string& scratchDir,
                      const std::string& workDir = "");
