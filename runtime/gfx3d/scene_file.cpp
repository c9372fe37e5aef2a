// The multi-object scene file: an INI file (first bytes ";DDW") naming image
// files for the slot's texture list and object files, each object with its
// own first and second texture. Names are relative to the scene file's
// directory and found on disk or in the data archive.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "core/engine.h"
#include "files/archive.h"
#include "files/file_io.h"
#include "files/inifile.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/mesh.h"
#include "gfx3d/mesh_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

// More textures or objects than this in one scene is a bad file.
constexpr int32_t kLargestSceneCount = 4096;

// A number as the file writes it, truncated toward zero; text that is not a
// number (a missing key among it) reads as 0.
static int32_t Number(const IniFile& ini, const char* section, const std::string& key) {
    const RuntimeString value = IniGet(ini, section, key.c_str());
    return TruncateToInt(std::strtod(value.Text(), nullptr));
}

static bool HasParentStep(const std::string& name) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

static bool IsReadableFile(const char* path) {
    FILE* file = OpenForReading(path);
    if (!file) return false;
    const bool readable = FileLength(file) >= 0;
    std::fclose(file);
    return readable;
}

// Where a member file can be read, or false. Names that climb out of the
// scene's directory (absolute, or with a ".." step) are taken only when they
// name a real file on disk, never from the archive.
static bool ResolveMember(const std::string& directory, const RuntimeString& name, char path[kDataPathMax + 1]) {
    const std::string member = name.Text();
    if (member.empty() || member == "NO_DATA") return false;
    const std::string joined = directory + member;
    if (joined.size() > kDataPathMax) return false;
    const bool climbs = member[0] == '/' || member[0] == '\\' || HasParentStep(member);
    if (climbs) {
        if (!IsReadableFile(joined.c_str())) return false;
        std::memcpy(path, joined.c_str(), joined.size() + 1);
        return true;
    }
    if (!engine.dataArchives) {
        std::memcpy(path, joined.c_str(), joined.size() + 1);
        return true;
    }
    return ResolveDataFile(&engine.dataArchives[0], joined.c_str(), path) != 0;
}

// A member the scene names but that could not be loaded; the scene loads
// without it. A member left out on purpose ("NO_DATA", empty) is no failure.
static void MemberFailed(const std::string& directory, const RuntimeString& name, const char* reason) {
    const std::string member = name.Text();
    if (member.empty() || member == "NO_DATA") return;
    NoteLoadFailure(reason);
    ReportLoadFailure((directory + member).c_str());
}

static int32_t TextureIndex(const IniFile& ini, const std::string& key) {
    const int32_t value = Number(ini, "objects", key);
    return value > 0 ? value - 1 : value;
}

// ---------------------------------------------------------------------------
// Shared with the slot loader

int LoadSceneFile(ObjectSlot& slot, const char* name, const char* readFrom, int32_t colourKey) {
    ClearObjectSlot(slot);
    IniFile ini;
    if (FILE* file = OpenForReading(readFrom)) {
        IniLoadFromFile(ini, file);
        std::fclose(file);
    }
    const std::string fileName = name ? name : "";
    const size_t cut = fileName.find_last_of("/\\");
    const std::string directory = cut == std::string::npos ? "" : fileName.substr(0, cut + 1);

    const int32_t textureCount = Number(ini, "textures", "count");
    const int32_t objectCount = Number(ini, "objects", "count");
    if (textureCount < 0 || textureCount > kLargestSceneCount || objectCount < 0 ||
        objectCount > kLargestSceneCount) {
        LogObjectLoadFailure(nullptr, false, fileName.c_str());
        return 0;
    }
    try {
        slot.loaded = 1;
        slot.multiObject = 1;
        slot.textures.assign((size_t)textureCount, 0);
        char path[kDataPathMax + 1];
        for (int32_t j = 1; j <= textureCount; ++j) {
            const RuntimeString member = IniGet(ini, "textures", std::to_string(j).c_str());
            BeginLoad();
            if (!ResolveMember(directory, member, path)) {
                MemberFailed(directory, member, "no such file");
                continue;
            }
            ImageBuffer image;
            if (LoadImage(path, colourKey, image))
                UploadWholeImage(image, &slot.textures[(size_t)j - 1], nullptr, false, false);
            else
                MemberFailed(directory, member, "cannot be read");
        }
        slot.objects.resize((size_t)objectCount);
        for (int32_t i = 1; i <= objectCount; ++i) {
            MeshObjectX& object = slot.objects[(size_t)i - 1];
            const std::string key = std::to_string(i);
            object.firstTexture = TextureIndex(ini, key + "ta");
            object.secondTexture = TextureIndex(ini, key + "tb");
            const RuntimeString member = IniGet(ini, "objects", key.c_str());
            BeginLoad();
            if (!ResolveMember(directory, member, path)) {
                MemberFailed(directory, member, "no such file");
                continue;
            }
            if (!LoadObject(object, path, false)) {
                MemberFailed(directory, member, "cannot be read");
                continue;
            }
            object.BuildTriangles();
            ComputeBounds(object);
        }
    } catch (const std::bad_alloc&) {
        LogObjectLoadFailure(nullptr, true, fileName.c_str());
        ClearObjectSlot(slot);
        return 0;
    }
    return 1;
}
