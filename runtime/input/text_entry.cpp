// Text entry: the script's text edited on a frozen copy of the screen, with a
// blinking "_" cursor, until Enter.
#include "input/input.h"

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// State

// The tiled record that holds the frozen screen while text is entered.
constexpr int kFrozenScreenRecord = 3;
// Frames without a character between two toggles of the cursor.
constexpr int kBlinkFrames = 20;

// ---------------------------------------------------------------------------
// Public

void TextEntry(RuntimeString& text, double x, double y) {
    if (!engine.input || !engine.screen) return;
    GrabBackground(kFrozenScreenRecord);
    DrawTiledImage(kFrozenScreenRecord);

    double printX = TruncateToInt(x), printY = TruncateToInt(y);
    bool cursorShown = false;
    int idleFrames = 0;
    for (;;) {
        ShowScreen();
        int character = ReadCharacterCode();
        if (character == 0) {
            if (++idleFrames > kBlinkFrames) {
                idleFrames = 0;
                cursorShown = !cursorShown;
            }
        } else if (character == 10) {
            FreeTiledImage(kFrozenScreenRecord);
            return;
        } else if (character == 8) {
            if (text.Length() > 0) text.Truncate(text.Length() - 1);
        } else {
            const char typed[2] = {(char)character, 0};
            text += typed;
        }
        DrawTiledImage(kFrozenScreenRecord);
        RuntimeString shown = text;
        if (cursorShown) shown += "_";
        Print(shown.Text(), printX, printY);
    }
}
