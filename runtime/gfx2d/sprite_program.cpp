// The sprite program: a small GLSL program that the draw batching uses in place
// of the fixed-function pipeline whenever the fixed-function state is the one
// 2D drawing leaves (unit 0 modulating a 2D texture, nothing else on).
//
// It computes what the fixed-function pipeline computes there: the same
// transform (ftransform is defined to match it), the texel times the clamped
// current colour, and the alpha test, blending and the rest applied after it
// as before, so the pixels are the same. It is cheaper for a software
// rasteriser because the fixed-function texture lookup is projective: every
// pixel carries four texture coordinates and a division by the fourth, which
// is 1 for every 2D vertex. The colour is one per draw, so it is not
// interpolated either.
//
// Any other state (lighting, fog, texture generation, another texture mode or
// matrix, a second unit, a program of the script's) keeps the fixed-function
// path, and so does a GL without GLSL 1.30.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

#include "core/engine.h"
#include "gfx2d/gfx2d_internal.h"

// ---------------------------------------------------------------------------
// Types

// The GL 2.0 entry points the program needs, resolved once per context.
struct SpriteProgram {
    bool triedToBuild = false;
    bool allowed = true;
    GLuint name = 0;
    GLuint (*createShader)(GLenum) = nullptr;
    void (*shaderSource)(GLuint, GLsizei, const char* const*, const GLint*) = nullptr;
    void (*compileShader)(GLuint) = nullptr;
    void (*getShaderiv)(GLuint, GLenum, GLint*) = nullptr;
    void (*deleteShader)(GLuint) = nullptr;
    GLuint (*createProgram)() = nullptr;
    void (*attachShader)(GLuint, GLuint) = nullptr;
    void (*linkProgram)(GLuint) = nullptr;
    void (*getProgramiv)(GLuint, GLenum, GLint*) = nullptr;
    void (*deleteProgram)(GLuint) = nullptr;
    void (*useProgram)(GLuint) = nullptr;
};

// ---------------------------------------------------------------------------
// State

static SpriteProgram program;

static const char* const kVertexSource =
    "#version 130\n"
    "flat out vec4 colour;\n"
    "out vec2 texel;\n"
    "void main() {\n"
    "    gl_Position = ftransform();\n"
    "    texel = gl_MultiTexCoord0.xy;\n"
    "    colour = clamp(gl_Color, 0.0, 1.0);\n"
    "}\n";

static const char* const kFragmentSource =
    "#version 130\n"
    "flat in vec4 colour;\n"
    "in vec2 texel;\n"
    "uniform sampler2D picture;\n"
    "void main() {\n"
    "    gl_FragColor = texture2D(picture, texel) * colour;\n"
    "}\n";

// GL constants of GL 2.0, which the system's GL header may predate.
static const GLenum kFragmentShader = 0x8B30, kVertexShader = 0x8B31;
static const GLenum kCompileStatus = 0x8B81, kLinkStatus = 0x8B82;
static const GLenum kCurrentProgram = 0x8B8D, kShadingLanguageVersion = 0x8B8C;
static const GLenum kColourSum = 0x8458, kTexture3D = 0x806F, kTextureCubeMap = 0x8513;
static const GLenum kTextureUnit0 = 0x84C0, kTextureUnit1 = 0x84C1;

// ---------------------------------------------------------------------------
// Internal helpers

template <typename F>
static bool Resolve(F& entry, const char* name) {
    entry = reinterpret_cast<F>(PlatformGlProcAddress(name));
    return entry != nullptr;
}

static bool HasGlsl130() {
    const char* version = (const char*)glGetString(kShadingLanguageVersion);
    int major = 0, minor = 0;
    if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2) return false;
    return major > 1 || (major == 1 && minor >= 30);
}

static bool ResolveEntries() {
    return Resolve(program.createShader, "glCreateShader") && Resolve(program.shaderSource, "glShaderSource") &&
           Resolve(program.compileShader, "glCompileShader") && Resolve(program.getShaderiv, "glGetShaderiv") &&
           Resolve(program.deleteShader, "glDeleteShader") && Resolve(program.createProgram, "glCreateProgram") &&
           Resolve(program.attachShader, "glAttachShader") && Resolve(program.linkProgram, "glLinkProgram") &&
           Resolve(program.getProgramiv, "glGetProgramiv") && Resolve(program.deleteProgram, "glDeleteProgram") &&
           Resolve(program.useProgram, "glUseProgram");
}

static GLuint Compile(GLenum kind, const char* source) {
    GLuint shader = program.createShader(kind);
    if (!shader) return 0;
    program.shaderSource(shader, 1, &source, nullptr);
    program.compileShader(shader);
    GLint compiled = 0;
    program.getShaderiv(shader, kCompileStatus, &compiled);
    if (!compiled) {
        program.deleteShader(shader);
        return 0;
    }
    return shader;
}

static void Build() {
    program.triedToBuild = true;
    // The variable overrides the choice, for comparing the two paths.
    const char* choice = std::getenv("REVEV_SPRITE_PROGRAM");
    if (choice && choice[0] == '0') return;
    if (!HasGlsl130() || !ResolveEntries()) return;
    GLuint vertex = Compile(kVertexShader, kVertexSource);
    GLuint fragment = Compile(kFragmentShader, kFragmentSource);
    if (vertex && fragment) {
        GLuint linked = program.createProgram();
        program.attachShader(linked, vertex);
        program.attachShader(linked, fragment);
        program.linkProgram(linked);
        GLint ok = 0;
        program.getProgramiv(linked, kLinkStatus, &ok);
        if (ok) program.name = linked;
        else program.deleteProgram(linked);
    }
    // Attached shaders live on with the program.
    if (vertex) program.deleteShader(vertex);
    if (fragment) program.deleteShader(fragment);
    // A failed build leaves the GL's error flag to the fixed-function path.
    while (glGetError() != GL_NO_ERROR) {
    }
}

static bool IsIdentity(const GLfloat* m) {
    for (int i = 0; i < 16; ++i) {
        if (m[i] != (i % 5 == 0 ? 1.0f : 0.0f)) return false;
    }
    return true;
}

// The fixed-function state the program stands for: texturing on unit 0 from
// a 2D texture in modulate mode with the identity matrix and no generated
// coordinates, nothing on unit 1 (the runtime uses no further units), no
// lighting, fog, colour sum or program.
static bool StateFitsProgram() {
    if (!glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(kTexture3D) || glIsEnabled(kTextureCubeMap)) return false;
    if (glIsEnabled(GL_LIGHTING) || glIsEnabled(GL_FOG) || glIsEnabled(kColourSum)) return false;
    if (glIsEnabled(GL_TEXTURE_GEN_S) || glIsEnabled(GL_TEXTURE_GEN_T) || glIsEnabled(GL_TEXTURE_GEN_R) ||
        glIsEnabled(GL_TEXTURE_GEN_Q))
        return false;
    GLint current = 0;
    glGetIntegerv(kCurrentProgram, &current);
    if (current != 0) return false;
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    if (mode != GL_MODULATE) return false;
    GLfloat matrix[16];
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    if (!IsIdentity(matrix)) return false;
    if (glExt.glActiveTextureARB) {
        GLint active = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        if (active != (GLint)kTextureUnit0) return false;
        glExt.glActiveTextureARB(kTextureUnit1);
        const bool secondUnit =
            glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_TEXTURE_1D) || glIsEnabled(kTexture3D) ||
            glIsEnabled(kTextureCubeMap);
        glExt.glActiveTextureARB(kTextureUnit0);
        if (secondUnit) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Public

bool BeginSpriteProgram() {
    if (!program.allowed) return false;
    if (!program.triedToBuild) Build();
    if (!program.name || !StateFitsProgram()) return false;
    program.useProgram(program.name);
    return true;
}

void EndSpriteProgram() { program.useProgram(0); }

void ReleaseSpriteProgram(bool glReady) {
    if (glReady && program.name) program.deleteProgram(program.name);
    const bool allowed = program.allowed;
    program = SpriteProgram();
    program.allowed = allowed;
}

void SetSpriteProgram(bool on) { program.allowed = on; }

bool SpriteProgramReady() {
    if (!program.allowed) return false;
    if (!program.triedToBuild) Build();
    return program.name != 0;
}
