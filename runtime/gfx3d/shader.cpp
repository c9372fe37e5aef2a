// Shader programs: 255 slots built from a vertex and a fragment source file
// through the shader-object entry points, made current by number.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "files/archive.h"
#include "files/file_io.h"
#include "gfx3d/gfx3d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

constexpr unsigned kVertexShader = 0x8B31;       // GL_VERTEX_SHADER_ARB
constexpr unsigned kFragmentShader = 0x8B30;     // GL_FRAGMENT_SHADER_ARB
constexpr unsigned kCompileStatus = 0x8B81;      // GL_OBJECT_COMPILE_STATUS_ARB
constexpr unsigned kLinkStatus = 0x8B82;         // GL_OBJECT_LINK_STATUS_ARB
constexpr unsigned kInfoLogLength = 0x8B84;      // GL_OBJECT_INFO_LOG_LENGTH_ARB
// Far above any real shader; a larger source is refused before the GL sees it,
// as a driver's compiler can take minutes on a few megabytes and cannot be
// interrupted.
constexpr int64_t kLargestSource = 64 << 10;

// Compile and link logs: the error log, or the debugger's output in debug mode.
static void ReportShaderText(const char* text) {
    if (engine.debugMode) {
        std::string line = text ? text : "";
        line += "\n";
        PlatformDebugOutput(line.c_str());
        return;
    }
    ErrorLogAppend(text ? text : "null");
}

static void ReportInfoLog(unsigned object) {
    int length = 0;
    if (glExt.glGetObjectParameterivARB) glExt.glGetObjectParameterivARB(object, kInfoLogLength, &length);
    if (!glExt.glGetInfoLogARB || length <= 0) {
        ReportShaderText(nullptr);
        return;
    }
    std::vector<char> log((size_t)length + 1, 0);
    int written = 0;
    glExt.glGetInfoLogARB(object, length, &written, log.data());
    ReportShaderText(log.data());
}

enum class SourceRead { Absent, TooLarge, Read };

static const char* const kNoCompile = "does not compile (the log is in ErrorLog.txt)";

static void ShaderFailed(const char* file, const char* reason) {
    BeginLoad();
    NoteLoadFailure(reason);
    ReportLoadFailure(file);
}

// The whole source file, resolved through the data archive. A missing or
// unreadable file is absent (left out without a word); one over the size
// limit is reported, as it is refused rather than left out.
static SourceRead ReadSource(const char* name, std::string& text) {
    text.clear();
    if (!name || !*name) return SourceRead::Absent;
    char path[kDataPathMax + 1];
    DataArchive* primary = engine.dataArchives ? &engine.dataArchives[0] : nullptr;
    if (!ResolveDataFile(primary, name, path)) return SourceRead::Absent;
    FILE* file = OpenForReading(path);
    if (!file) return SourceRead::Absent;
    const int64_t size = FileLength(file);
    SourceRead result = SourceRead::Absent;
    if (size > kLargestSource) {
        result = SourceRead::TooLarge;
        const std::string line = std::string("Shader source over 65536 bytes: ") + name;
        ReportShaderText(line.c_str());
    } else if (size >= 0) {
        text.assign((size_t)size, '\0');
        if (ReadExact(file, text.data(), (size_t)size)) result = SourceRead::Read;
    }
    std::fclose(file);
    return result;
}

// Creates and compiles one shader object from the source into `shader`; logs
// a failed compile and returns false for it (the object stays, for the caller
// to delete).
static bool CompileShader(unsigned type, const std::string& source, uint32_t& shader) {
    shader = glExt.glCreateShaderObjectARB(type);
    if (!shader) return false;
    // The stage is named in a closing comment so that the same text given for
    // both stages is two different sources to the driver: Mesa's shader cache
    // is keyed on the text alone, reports a vertex source given as fragment
    // source as compiled, and then reads freed memory in the link.
    const std::string staged =
        source + (type == kVertexShader ? "\n// vertex stage\n" : "\n// fragment stage\n");
    const char* text = staged.c_str();
    if (glExt.glShaderSourceARB) glExt.glShaderSourceARB(shader, 1, &text, nullptr);
    glExt.glCompileShaderARB(shader);
    int compiled = 0;
    if (glExt.glGetObjectParameterivARB) glExt.glGetObjectParameterivARB(shader, kCompileStatus, &compiled);
    if (!compiled) ReportInfoLog(shader);
    return compiled != 0;
}

// Without the delete entry point the objects are only forgotten.
static void DeleteSlotObjects(ShaderSlot& slot) {
    for (uint32_t* handle : {&slot.program, &slot.vertexShader, &slot.fragmentShader}) {
        if (*handle && glExt.glDeleteObjectARB) glExt.glDeleteObjectARB(*handle);
        *handle = 0;
    }
}

static int UniformLocation(const char* name) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene || scene->currentShader < 0 || scene->currentShader >= kShaderSlotCount) return -1;
    if (!glExt.glGetUniformLocationARB) return -1;
    const unsigned program = scene->shaders[scene->currentShader].program;
    if (!program) return -1;
    return glExt.glGetUniformLocationARB(program, name ? name : "");
}

// ---------------------------------------------------------------------------
// Public

void DeleteShaderPrograms(Zadudedo3D& scene, bool glReady) {
    if (!glReady || !glExt.glDeleteObjectARB) return;
    for (ShaderSlot& slot : scene.shaders) DeleteSlotObjects(slot);
}

double LoadShader(double slotNumber, const char* vertexFile, const char* fragmentFile) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return 0;
    const int32_t number = TruncateToInt(slotNumber);
    if (number < 0 || number >= kShaderSlotCount) return 0;
    if (!glExt.glCreateShaderObjectARB || !glExt.glCompileShaderARB || !glExt.glLinkProgramARB) {
        ShaderFailed(vertexFile && *vertexFile ? vertexFile : fragmentFile, "the GL runs no shaders");
        if (scene->shaderNotice) {
            scene->shaderNotice = 0;
            ReportShaderText("No OpenGL 2.0 Shader Support");
        }
        return 0;
    }
    ShaderSlot& slot = scene->shaders[number];
    if (glExt.glDeleteObjectARB) DeleteSlotObjects(slot);

    // Each file is read whole before the next name is resolved, since
    // resolution may replace the previous temporary file.
    std::string vertexSource;
    const SourceRead vertexRead = ReadSource(vertexFile, vertexSource);
    std::string fragmentSource;
    const SourceRead fragmentRead = ReadSource(fragmentFile, fragmentSource);
    // A stage whose file is missing is left out, as the command allows; a
    // name given for it is still most likely a mistake, and said so.
    if (vertexRead == SourceRead::Absent && vertexFile && *vertexFile) ShaderFailed(vertexFile, "no such file");
    if (fragmentRead == SourceRead::Absent && fragmentFile && *fragmentFile) ShaderFailed(fragmentFile, "no such file");
    if (vertexRead == SourceRead::TooLarge) ShaderFailed(vertexFile, "too large");
    if (fragmentRead == SourceRead::TooLarge) ShaderFailed(fragmentFile, "too large");
    if (vertexRead == SourceRead::TooLarge || fragmentRead == SourceRead::TooLarge) return 0;

    bool compiled = true;
    if (vertexRead == SourceRead::Read) {
        compiled = CompileShader(kVertexShader, vertexSource, slot.vertexShader);
        if (!compiled) ShaderFailed(vertexFile, kNoCompile);
    }
    if (fragmentRead == SourceRead::Read) {
        const bool fragmentCompiled = CompileShader(kFragmentShader, fragmentSource, slot.fragmentShader);
        if (!fragmentCompiled) ShaderFailed(fragmentFile, kNoCompile);
        compiled = fragmentCompiled && compiled;
    }
    // A shader that failed to compile is never attached or linked; the slot
    // is left empty.
    if (!compiled) {
        DeleteSlotObjects(slot);
        return 0;
    }
    if (!slot.vertexShader && !slot.fragmentShader) return 0;

    if (!glExt.glCreateProgramObjectARB) return 0;
    slot.program = glExt.glCreateProgramObjectARB();
    if (glExt.glAttachObjectARB) {
        if (slot.vertexShader) glExt.glAttachObjectARB(slot.program, slot.vertexShader);
        if (slot.fragmentShader) glExt.glAttachObjectARB(slot.program, slot.fragmentShader);
    }
    glExt.glLinkProgramARB(slot.program);
    int linked = 0;
    if (glExt.glGetObjectParameterivARB) glExt.glGetObjectParameterivARB(slot.program, kLinkStatus, &linked);
    if (!linked) {
        ReportInfoLog(slot.program);
        ShaderFailed(vertexRead == SourceRead::Read ? vertexFile : fragmentFile,
                     "does not link (the log is in ErrorLog.txt)");
        return 0;
    }
    return 1;
}

void UseShader(double slotNumber) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene || !glExt.glUseProgramObjectARB) return;
    int32_t number = TruncateToInt(slotNumber);
    // Negative numbers select no program, as 255 and above do.
    if (number < 0) number = kShaderSlotCount;
    scene->currentShader = number;
    glExt.glUseProgramObjectARB(number < kShaderSlotCount ? scene->shaders[number].program : 0);
}

void SetShaderFloat(const char* name, double value) {
    const int location = UniformLocation(name);
    if (location != -1 && glExt.glUniform1fARB) glExt.glUniform1fARB(location, (float)value);
}

void SetShaderInt(const char* name, double value) {
    const int location = UniformLocation(name);
    if (location != -1 && glExt.glUniform1iARB) glExt.glUniform1iARB(location, TruncateToInt(value));
}
