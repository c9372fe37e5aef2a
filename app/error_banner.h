// The script's last error, shown over the frame in a window until the script
// runs clean again. Off headless, so that tests and screenshots there show
// what the script drew and nothing else.
#pragma once

#include <string>

// Whether the banner is drawn at all (off until switched on).
void EnableErrorBanner(bool on);

// The error to show: the message and the traceback lines under it.
void ShowErrorBanner(const std::string& message, const std::string& traceback);

// The script ran clean: no banner from the next frame on.
void ClearErrorBanner();

// Draws the banner into the frame about to be shown, when there is one; for
// the present hook, after the script's drawing and before the swap.
void DrawErrorBanner();
