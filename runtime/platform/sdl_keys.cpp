// The key numbering of the runtime: SDL scancodes mapped to DirectInput scan
// codes (0..255), extended keys included; virtual-key codes of the polling path
// mapped to keys; the character a key gives on the keyboard layout.
#include "platform/platform.h"
#include "platform/sdl_input_internal.h"
#include "platform/sdl_internal.h"

// ---------------------------------------------------------------------------
// State

struct KeyPair {
    SDL_Scancode scancode;
    unsigned char key;
};

static const KeyPair keyPairs[] = {
    {SDL_SCANCODE_ESCAPE, 1},
    {SDL_SCANCODE_1, 2}, {SDL_SCANCODE_2, 3}, {SDL_SCANCODE_3, 4}, {SDL_SCANCODE_4, 5},
    {SDL_SCANCODE_5, 6}, {SDL_SCANCODE_6, 7}, {SDL_SCANCODE_7, 8}, {SDL_SCANCODE_8, 9},
    {SDL_SCANCODE_9, 10}, {SDL_SCANCODE_0, 11},
    {SDL_SCANCODE_MINUS, 12}, {SDL_SCANCODE_EQUALS, 13}, {SDL_SCANCODE_BACKSPACE, 14},
    {SDL_SCANCODE_TAB, 15},
    {SDL_SCANCODE_Q, 16}, {SDL_SCANCODE_W, 17}, {SDL_SCANCODE_E, 18}, {SDL_SCANCODE_R, 19},
    {SDL_SCANCODE_T, 20}, {SDL_SCANCODE_Y, 21}, {SDL_SCANCODE_U, 22}, {SDL_SCANCODE_I, 23},
    {SDL_SCANCODE_O, 24}, {SDL_SCANCODE_P, 25},
    {SDL_SCANCODE_LEFTBRACKET, 26}, {SDL_SCANCODE_RIGHTBRACKET, 27}, {SDL_SCANCODE_RETURN, 28},
    {SDL_SCANCODE_LCTRL, 29},
    {SDL_SCANCODE_A, 30}, {SDL_SCANCODE_S, 31}, {SDL_SCANCODE_D, 32}, {SDL_SCANCODE_F, 33},
    {SDL_SCANCODE_G, 34}, {SDL_SCANCODE_H, 35}, {SDL_SCANCODE_J, 36}, {SDL_SCANCODE_K, 37},
    {SDL_SCANCODE_L, 38},
    {SDL_SCANCODE_SEMICOLON, 39}, {SDL_SCANCODE_APOSTROPHE, 40}, {SDL_SCANCODE_GRAVE, 41},
    {SDL_SCANCODE_LSHIFT, 42}, {SDL_SCANCODE_BACKSLASH, 43}, {SDL_SCANCODE_NONUSHASH, 43},
    {SDL_SCANCODE_Z, 44}, {SDL_SCANCODE_X, 45}, {SDL_SCANCODE_C, 46}, {SDL_SCANCODE_V, 47},
    {SDL_SCANCODE_B, 48}, {SDL_SCANCODE_N, 49}, {SDL_SCANCODE_M, 50},
    {SDL_SCANCODE_COMMA, 51}, {SDL_SCANCODE_PERIOD, 52}, {SDL_SCANCODE_SLASH, 53},
    {SDL_SCANCODE_RSHIFT, 54}, {SDL_SCANCODE_KP_MULTIPLY, 55}, {SDL_SCANCODE_LALT, 56},
    {SDL_SCANCODE_SPACE, 57}, {SDL_SCANCODE_CAPSLOCK, 58},
    {SDL_SCANCODE_F1, 59}, {SDL_SCANCODE_F2, 60}, {SDL_SCANCODE_F3, 61}, {SDL_SCANCODE_F4, 62},
    {SDL_SCANCODE_F5, 63}, {SDL_SCANCODE_F6, 64}, {SDL_SCANCODE_F7, 65}, {SDL_SCANCODE_F8, 66},
    {SDL_SCANCODE_F9, 67}, {SDL_SCANCODE_F10, 68},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69}, {SDL_SCANCODE_SCROLLLOCK, 70},
    {SDL_SCANCODE_KP_7, 71}, {SDL_SCANCODE_KP_8, 72}, {SDL_SCANCODE_KP_9, 73},
    {SDL_SCANCODE_KP_MINUS, 74},
    {SDL_SCANCODE_KP_4, 75}, {SDL_SCANCODE_KP_5, 76}, {SDL_SCANCODE_KP_6, 77},
    {SDL_SCANCODE_KP_PLUS, 78},
    {SDL_SCANCODE_KP_1, 79}, {SDL_SCANCODE_KP_2, 80}, {SDL_SCANCODE_KP_3, 81},
    {SDL_SCANCODE_KP_0, 82}, {SDL_SCANCODE_KP_PERIOD, 83},
    {SDL_SCANCODE_NONUSBACKSLASH, 86}, {SDL_SCANCODE_F11, 87}, {SDL_SCANCODE_F12, 88},
    {SDL_SCANCODE_F13, 100}, {SDL_SCANCODE_F14, 101}, {SDL_SCANCODE_F15, 102},
    {SDL_SCANCODE_INTERNATIONAL2, 112}, {SDL_SCANCODE_INTERNATIONAL1, 115},
    {SDL_SCANCODE_INTERNATIONAL4, 121}, {SDL_SCANCODE_INTERNATIONAL5, 123},
    {SDL_SCANCODE_INTERNATIONAL3, 125},
    {SDL_SCANCODE_KP_EQUALS, 141}, {SDL_SCANCODE_AUDIOPREV, 144}, {SDL_SCANCODE_STOP, 149},
    {SDL_SCANCODE_AUDIONEXT, 153},
    {SDL_SCANCODE_KP_ENTER, 156}, {SDL_SCANCODE_RCTRL, 157},
    {SDL_SCANCODE_AUDIOMUTE, 160}, {SDL_SCANCODE_MUTE, 160}, {SDL_SCANCODE_CALCULATOR, 161},
    {SDL_SCANCODE_AUDIOPLAY, 162}, {SDL_SCANCODE_AUDIOSTOP, 164},
    {SDL_SCANCODE_VOLUMEDOWN, 174}, {SDL_SCANCODE_VOLUMEUP, 176}, {SDL_SCANCODE_AC_HOME, 178},
    {SDL_SCANCODE_KP_COMMA, 179}, {SDL_SCANCODE_KP_DIVIDE, 181},
    {SDL_SCANCODE_PRINTSCREEN, 183}, {SDL_SCANCODE_SYSREQ, 183}, {SDL_SCANCODE_RALT, 184},
    {SDL_SCANCODE_PAUSE, 197},
    {SDL_SCANCODE_HOME, 199}, {SDL_SCANCODE_UP, 200}, {SDL_SCANCODE_PAGEUP, 201},
    {SDL_SCANCODE_LEFT, 203}, {SDL_SCANCODE_RIGHT, 205}, {SDL_SCANCODE_END, 207},
    {SDL_SCANCODE_DOWN, 208}, {SDL_SCANCODE_PAGEDOWN, 209}, {SDL_SCANCODE_INSERT, 210},
    {SDL_SCANCODE_DELETE, 211},
    {SDL_SCANCODE_LGUI, 219}, {SDL_SCANCODE_RGUI, 220}, {SDL_SCANCODE_APPLICATION, 221},
    {SDL_SCANCODE_POWER, 222}, {SDL_SCANCODE_SLEEP, 223},
    {SDL_SCANCODE_AC_SEARCH, 229}, {SDL_SCANCODE_AC_BOOKMARKS, 230},
    {SDL_SCANCODE_AC_REFRESH, 231}, {SDL_SCANCODE_AC_STOP, 232}, {SDL_SCANCODE_AC_FORWARD, 233},
    {SDL_SCANCODE_AC_BACK, 234}, {SDL_SCANCODE_COMPUTER, 235}, {SDL_SCANCODE_MAIL, 236},
    {SDL_SCANCODE_MEDIASELECT, 237},
};

// Virtual-key codes that name a fixed key whatever the layout.
struct VirtualPair {
    unsigned char virtualKey;
    unsigned char keys[2];  // 0: no second key
};

static const VirtualPair virtualPairs[] = {
    {8, {14, 0}}, {9, {15, 0}}, {13, {28, 156}}, {16, {42, 54}}, {17, {29, 157}},
    {18, {56, 184}}, {19, {197, 0}}, {20, {58, 0}}, {27, {1, 0}}, {28, {121, 0}},
    {32, {57, 0}}, {33, {201, 0}}, {34, {209, 0}}, {35, {207, 0}}, {36, {199, 0}},
    {37, {203, 0}}, {38, {200, 0}}, {39, {205, 0}}, {40, {208, 0}}, {44, {183, 0}},
    {45, {210, 0}}, {46, {211, 0}}, {91, {219, 0}}, {92, {220, 0}}, {93, {221, 0}},
    {96, {82, 0}}, {97, {79, 0}}, {98, {80, 0}}, {99, {81, 0}}, {100, {75, 0}},
    {101, {76, 0}}, {102, {77, 0}}, {103, {71, 0}}, {104, {72, 0}}, {105, {73, 0}},
    {106, {55, 0}}, {107, {78, 0}}, {109, {74, 0}}, {110, {83, 0}}, {111, {181, 0}},
    {112, {59, 0}}, {113, {60, 0}}, {114, {61, 0}}, {115, {62, 0}}, {116, {63, 0}},
    {117, {64, 0}}, {118, {65, 0}}, {119, {66, 0}}, {120, {67, 0}}, {121, {68, 0}},
    {122, {87, 0}}, {123, {88, 0}}, {124, {100, 0}}, {125, {101, 0}}, {126, {102, 0}},
    {144, {69, 0}}, {145, {70, 0}}, {160, {42, 0}}, {161, {54, 0}}, {162, {29, 0}},
    {163, {157, 0}}, {164, {56, 0}}, {165, {184, 0}}, {226, {86, 0}},
};

// Punctuation codes: the character they stand for on the layout, and the key
// that carries it where the layout has no such key.
struct PunctuationPair {
    unsigned char virtualKey;
    char character;
    unsigned char fallbackKey;
};

static const PunctuationPair punctuationPairs[] = {
    {186, ';', 39}, {187, '=', 13}, {188, ',', 51}, {189, '-', 12}, {190, '.', 52},
    {191, '/', 53}, {192, '`', 41}, {219, '[', 26}, {220, '\\', 43}, {221, ']', 27},
    {222, '\'', 40},
};

static unsigned char table[SDL_NUM_SCANCODES];
static SDL_Scancode reverse[256];
static bool tableBuilt = false;

// ---------------------------------------------------------------------------
// Internal helpers

static void BuildTables() {
    if (tableBuilt) return;
    for (SDL_Scancode& scancode : reverse) scancode = SDL_SCANCODE_UNKNOWN;
    for (const KeyPair& pair : keyPairs) {
        table[pair.scancode] = pair.key;
        // The first scancode listed for a key is the one it stands for.
        if (reverse[pair.key] == SDL_SCANCODE_UNKNOWN) reverse[pair.key] = pair.scancode;
    }
    tableBuilt = true;
}

// The key that produces `character` on the keyboard layout; 0 when none.
static int KeyOfCharacter(char character) {
    SDL_Scancode scancode = SDL_GetScancodeFromKey((SDL_Keycode)(unsigned char)character);
    return scancode == SDL_SCANCODE_UNKNOWN ? 0 : SdlScancodeToKey(scancode);
}

// ---------------------------------------------------------------------------
// Public (layer-internal)

int SdlScancodeToKey(SDL_Scancode scancode) {
    BuildTables();
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
    return table[scancode];
}

SDL_Scancode SdlKeyToScancode(int key) {
    BuildTables();
    if (key < 0 || key > 255) return SDL_SCANCODE_UNKNOWN;
    return reverse[key];
}

int SdlVirtualKeyToKeys(int virtualKey, int keys[2]) {
    // Letters and digits follow the keyboard layout, as their codes do.
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
        char character = (char)(virtualKey >= 'A' ? virtualKey - 'A' + 'a' : virtualKey);
        keys[0] = KeyOfCharacter(character);
        return keys[0] ? 1 : 0;
    }
    for (const PunctuationPair& pair : punctuationPairs) {
        if (pair.virtualKey != virtualKey) continue;
        keys[0] = KeyOfCharacter(pair.character);
        if (!keys[0]) keys[0] = pair.fallbackKey;
        return 1;
    }
    for (const VirtualPair& pair : virtualPairs) {
        if (pair.virtualKey != virtualKey) continue;
        keys[0] = pair.keys[0];
        keys[1] = pair.keys[1];
        return pair.keys[1] ? 2 : 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public

int PlatformVirtualKeyKeys(int virtualKey, int keys[2]) {
    keys[0] = keys[1] = 0;
    return SdlVirtualKeyToKeys(virtualKey, keys);
}

int PlatformKeyCharacter(int key) {
    SDL_Scancode scancode = SdlKeyToScancode(key);
    if (scancode == SDL_SCANCODE_UNKNOWN) return 0;
    SDL_Keycode code = SDL_GetKeyFromScancode(scancode);
    // Keycodes of keys that produce a character are that character; the rest
    // carry the scancode mask. Delete is not a character to type.
    if (code <= 0 || code >= 256 || code == SDLK_DELETE) return 0;
    return (int)code;
}
