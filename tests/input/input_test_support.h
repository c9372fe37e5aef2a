// Test support for the input suites: events pushed through the real queue.
// The headless start-up and scratch directory come from support/headless.h.
#pragma once

#include "support/headless.h"

// Pushes a key press or release as a real key event.
void PressKey(int key);
void ReleaseKey(int key);
