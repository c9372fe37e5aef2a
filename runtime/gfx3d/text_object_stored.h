// The binary form inside a text object file: the text that revev-ddd writes
// from an object ends with that object's binary file, as comment lines that
// any reader of text object files skips, so that converting the text back
// gives the same bytes (strips, biases, scales and colour table as stored)
// instead of packing the triangles afresh. The form counts only while the
// rest of the file still says what writing it says: an edited file is packed
// from what it now holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gfx3d/mesh.h"

// The comment lines for the object, each ended by a line feed: one readable
// line per frame with its bias and scale, then the binary file in hex.
std::string StoredBinaryForm(const MeshObject& object);

// When the text carries a binary form and, token by token (comments and
// spacing aside), is what writing that form as text gives, replaces the object
// with it and returns true. Otherwise false, with the object untouched.
bool ReadStoredBinaryForm(MeshObject& object, const uint8_t* data, size_t size);
