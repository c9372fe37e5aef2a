// Keyboard commands: the key test, key-to-character translation, reading
// newly pressed characters, and the key wait.
#include "input/input_internal.h"

#include "core/engine.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// State

// The character last reported, so that a held key gives its character once.
static int lastCharacter = 0;

// ---------------------------------------------------------------------------
// Internal helpers

// The first down key with a character, shift applied to letters; 0 for none.
static int FirstCharacter() {
    RefreshKeyboard();
    int character = 0;
    InputDevices* in = engine.input;
    for (int key = 0; key < 255 && character == 0; ++key) {
        if (in) NoteKeySeen(*in, key);
        if (InputKeyDown(key)) character = KeyCharacter(key);
    }
    if (character >= 'a' && character <= 'z' && (InputKeyDown(42) || InputKeyDown(54)))
        character -= 'a' - 'A';
    return character;
}

// ---------------------------------------------------------------------------
// Public

double KeyTest(double key) {
    RefreshKeyboard();
    int k = TruncateToInt(key) & 0xFF;
    if (engine.input) NoteKeySeen(*engine.input, k);
    return InputKeyDown(k) ? 1.0 : 0.0;
}

int KeyCharacter(int key) {
    key &= 0xFF;
    switch (key) {
    case 28:
    case 156: return 10;
    case 14: return 8;
    case 29:
    case 42:
    case 54:
    case 56:
    case 58:
    case 69:
    case 221: return 0;
    default: break;
    }
    int character = PlatformKeyCharacter(key);
    if (character < 32 && character != 8 && character != 10) return 0;
    return character;
}

int ReadCharacterCode() {
    int character = FirstCharacter();
    if (character == lastCharacter) return 0;
    lastCharacter = character;
    return character;
}

RuntimeString ReadCharacter() {
    int character = ReadCharacterCode();
    if (character == 0) return RuntimeString();
    char text[2] = {(char)character, 0};
    return RuntimeString(text);
}

int AnyCharacterKey() { return ReadCharacterCode() != 0 ? 1 : 0; }

void KeyWait() {
    if (!engine.input || !engine.screen) return;
    while (!AnyCharacterKey()) {
        MessagePump(*engine.screen);
        IdleWait();
    }
    while (AnyCharacterKey()) {
    }
}

int LastCharacter() { return lastCharacter; }
