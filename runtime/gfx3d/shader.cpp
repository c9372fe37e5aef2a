// Shader programs: 255 slots built from a vertex and a fragment source file
// through the shader-object entry points, made current by number.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "files/archive.h"
#include "files/file_io.h"
#include "gfx3d/gfx3d_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

constexpr unsigned kVertexShader = 0x8B31;       // GL_VERTEX_SHADER_ARB
constexpr unsigned kFragmentShader = 0x8B30;     // GL_FRAGMENT_SHADER_ARB
constexpr unsigned kCompileStatus = 0x8B81;      // GL_OBJECT_COMPILE_STATUS_ARB
constexpr unsigned kLinkStatus = 0x8B82;         // GL_OBJECT_LINK_STATUS_ARB
constexpr unsigned kInfoLogLength = 0x8B84;      // GL_OBJECT_INFO_LOG_LENGTH_ARB
constexpr int64_t kLargestSource = 64 << 20;     // sources above 64 MB are refused

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

// The whole source file, resolved through the data archive; false when it is
// missing, unreadable or too large.
static bool ReadSource(const char* name, std::string& text) {
    if (!name || !*name) return false;
    char path[kDataPathMax + 1];
    DataArchive* primary = engine.dataArchives ? &engine.dataArchives[0] : nullptr;
    if (!ResolveDataFile(primary, name, path)) return false;
    FILE* file = OpenForReading(path);
    if (!file) return false;
    const int64_t size = FileLength(file);
    bool ok = size >= 0 && size <= kLargestSource;
    if (ok) {
        text.assign((size_t)size, '\0');
        ok = ReadExact(file, text.data(), (size_t)size);
    }
    std::fclose(file);
    return ok;
}

// Creates and compiles one shader object from the source; logs a failed compile.
static unsigned CompileShader(unsigned type, const std::string& source) {
    unsigned shader = glExt.glCreateShaderObjectARB(type);
    if (!shader) return 0;
    const char* text = source.c_str();
    if (glExt.glShaderSourceARB) glExt.glShaderSourceARB(shader, 1, &text, nullptr);
    glExt.glCompileShaderARB(shader);
    int compiled = 0;
    if (glExt.glGetObjectParameterivARB) glExt.glGetObjectParameterivARB(shader, kCompileStatus, &compiled);
    if (!compiled) ReportInfoLog(shader);
    return shader;
}

static void DeleteSlotObjects(ShaderSlot& slot) {
    for (uint32_t* handle : {&slot.program, &slot.vertexShader, &slot.fragmentShader}) {
        if (*handle) glExt.glDeleteObjectARB(*handle);
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
    std::string source;
    if (ReadSource(vertexFile, source)) slot.vertexShader = CompileShader(kVertexShader, source);
    if (ReadSource(fragmentFile, source)) slot.fragmentShader = CompileShader(kFragmentShader, source);
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
