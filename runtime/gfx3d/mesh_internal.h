// What the object file reader and the slot loader share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx3d/mesh.h"

// Largest object file read into memory; larger ones are refused as a read error.
constexpr int64_t kLargestObjectFile = (int64_t)1 << 30;

enum class ObjectFileRead { kRead, kUnreadable, kNoMemory };

// Reads the whole file at `path` into `bytes`.
ObjectFileRead ReadObjectFile(const char* path, std::vector<uint8_t>& bytes);

// Logs a failed load: the specific message when not null, then "# read
// error" (or "# malloc error" when `noMemory`), then the name.
void LogObjectLoadFailure(const char* message, bool noMemory, const char* name);

// The text object file: parses it, checks every index and turns its polygons
// into fans of packed frames in `object`. False, with the object untouched,
// for a file whose first token is not "DDDA", whose version is above 1.1, or
// whose counts or indices do not fit what it holds.
bool ReadTextObject(MeshObject& object, const uint8_t* data, size_t size);

// The multi-object scene file `name`, already resolved to `readFrom`, into
// the slot (emptied first): its textures loaded with the colour key and its
// objects, each member found relative to the scene's directory. 1 with the
// slot loaded and multi-object, also when members are missing; 0 with the
// slot empty for counts out of range.
int LoadSceneFile(ObjectSlot& slot, const char* name, const char* readFrom, int32_t colourKey);
