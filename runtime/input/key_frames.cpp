// Key changes filed by frame: a key tapped between two reads still reads as
// down for a whole frame, and each press and release is reported once, in
// the frame that follows it.
//
// For the keys, a frame is the stretch between two refreshes of the frame
// routine (or of wait passes); it starts for the script at its first command
// read. Changes taken by that first read belong to the frame it opens;
// changes taken later, by other reads in the frame or by the refresh that
// closes it, belong to the frame after, so a press that comes in after the
// script has looked at a key is not lost to it, and a frame's answers stay
// the same from its first read to its last. A press that no look at that key
// saw as down before its release is a tap; the key then reads as down in the
// frame the tap belongs to, and at the refreshes either side of it (so the
// frame routine sees a tapped ESC). A look at another key does not count: the
// script may have read this one before the press came in.
#include "input/input_internal.h"

#include "core/engine.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// State

namespace {

// Frame numbers start at 1, so 0 marks "never". After a refresh the frame
// moves on at the next read: a command read then opens the new frame.
uint32_t frame = 1;
bool advancePending = true;

struct KeyRecord {
    bool unseen = false;        // pressed, and no look at the key saw it down
    uint32_t tapFrame = 0;      // the frame in which the last tap reads as down
    uint32_t pressFrame = 0;    // the frame that reports the last press
    uint32_t releaseFrame = 0;  // the frame that reports the last release
    bool forgotten = false;     // pressed in changes dropped as seen, not let go since
};
KeyRecord keys[256];

// ---------------------------------------------------------------------------
// Internal helpers

void File(const PlatformKeyChange& change, uint32_t into) {
    KeyRecord& k = keys[change.key];
    if (change.down) {
        k.unseen = true;
        k.pressFrame = into;
        return;
    }
    if (k.unseen && k.tapFrame < into) k.tapFrame = into;
    k.unseen = false;
    k.releaseFrame = into;
}

// Takes every recorded change and hands each to `file`.
template <typename Filing>
void TakeChanges(Filing file) {
    PlatformKeyChange changes[128];
    int n;
    do {
        n = PlatformTakeKeyChanges(changes, 128);
        for (int i = 0; i < n; ++i) file(changes[i]);
    } while (n == 128);
}

// Between a refresh and the next command read both the frame that ended
// and the one to come count.
bool Tapped(int key) {
    uint32_t at = keys[key].tapFrame;
    return at != 0 && (at == frame || (advancePending && at == frame + 1));
}

// Whether any key the polling path reads for key number `key` satisfies test.
template <typename Test>
bool AnyPolledKey(const InputDevices& in, int key, Test test) {
    if (in.keyboardDevice) return test(key);
    uint16_t virtualKey = in.keyTranslation[key];
    if (virtualKey >= 256) return false;
    int polled[2];
    int n = PlatformVirtualKeyKeys(virtualKey, polled);
    for (int i = 0; i < n; ++i) {
        if (polled[i] > 0 && polled[i] < 256 && test(polled[i])) return true;
    }
    return false;
}

// A tapped key reads as down: by key number with a keyboard device, by the
// virtual key that reads it on the polling path.
void MarkTapsDown(InputDevices& in) {
    if (in.keyboardDevice) {
        for (int key = 0; key < 256; ++key) {
            if (Tapped(key)) in.keyState[key] |= 0x80;
        }
        return;
    }
    for (int code = 0; code < 256; ++code) {
        int polled[2];
        int n = PlatformVirtualKeyKeys(code, polled);
        for (int i = 0; i < n; ++i) {
            if (polled[i] > 0 && polled[i] < 256 && Tapped(polled[i])) in.keyState[code] |= 0x80;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public (subsystem-internal)

void FileKeyChanges(InputDevices& in, KeyRead read) {
    uint32_t into = frame + 1;
    if (read == KeyRead::Command) {
        // The first command read after a refresh opens the next frame and
        // takes what came in before it into that frame.
        if (advancePending) into = ++frame;
        advancePending = false;
    } else {
        // A frame in which no command read came has passed all the same.
        if (advancePending) into = ++frame + 1;
        advancePending = true;
    }
    TakeChanges([into](const PlatformKeyChange& change) { File(change, into); });
    MarkTapsDown(in);
}

void NoteKeySeen(const InputDevices& in, int key) {
    AnyPolledKey(in, key, [](int n) {
        if (PlatformKeyDown(n)) keys[n].unseen = false;
        return false;
    });
}

// ---------------------------------------------------------------------------
// Public

double KeyPressed(double key) {
    RefreshKeyboard();
    if (!engine.input) return 0.0;
    int k = TruncateToInt(key) & 0xFF;
    return AnyPolledKey(*engine.input, k, [](int n) { return keys[n].pressFrame == frame; }) ? 1.0 : 0.0;
}

double KeyReleased(double key) {
    RefreshKeyboard();
    if (!engine.input) return 0.0;
    int k = TruncateToInt(key) & 0xFF;
    return AnyPolledKey(*engine.input, k, [](int n) { return keys[n].releaseFrame == frame; }) ? 1.0
                                                                                              : 0.0;
}

void InputForgetKeyChanges() {
    TakeChanges([](const PlatformKeyChange& change) {
        KeyRecord& k = keys[change.key];
        k.unseen = false;
        k.forgotten = change.down;
    });
}

bool InputForgottenKeyHeld() {
    InputForgetKeyChanges();
    bool held = false;
    for (int key = 0; key < 256; ++key) {
        if (!keys[key].forgotten) continue;
        if (PlatformKeyDown(key)) held = true;
        else keys[key].forgotten = false;
    }
    return held;
}
