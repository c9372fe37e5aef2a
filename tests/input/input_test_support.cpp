#include "input_test_support.h"

#include "platform/platform.h"

void PressKey(int key) { PlatformPushKeyEvent(key, true); }
void ReleaseKey(int key) { PlatformPushKeyEvent(key, false); }
