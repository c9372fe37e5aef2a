// Shared between the input files only: how the keyboard reads file the key
// changes the platform layer recorded.
#pragma once

#include "input/input.h"

// Who reads the keyboard: a command (a key test, a character read, the
// waits' own tests), or the refresh of the frame routine and of each wait pass,
// which ends a frame for the keys.
enum class KeyRead { Command, Frame };

// Takes the key changes recorded since the last read and files them by frame,
// then marks the keys that still read as down from a tap into in.keyState.
// Call after keyState was read from the layer.
void FileKeyChanges(InputDevices& in, KeyRead read);
// A command looked at key (0..255): if it is down, its release is no tap.
void NoteKeySeen(const InputDevices& in, int key);
