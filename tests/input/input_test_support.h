// Test support for the input suites: a real headless start-up with a scratch
// temporary directory, the error log, and events pushed through the real queue.
#pragma once

#include <string>

// Points TMPDIR at a fresh directory for this process and returns it ("/" ended).
std::string UseScratchTempDirectory();
// Runs the real start-up (320 x 240, the given frame rate, exclusive mouse or
// not). Fails the test when no window with a context can be made.
void StartHeadless(int frameRate = 60, bool exclusiveMouse = false);
// The error log's content ("" when there is none).
std::string ReadErrorLog(const std::string& dir);
// Pushes a key press or release as a real key event.
void PressKey(int key);
void ReleaseKey(int key);
