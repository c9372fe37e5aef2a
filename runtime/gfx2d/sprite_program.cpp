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

// The program of one context; it is built through the context's shader-object
// entry points (glExt), which the 3D engine's shader slots use too.
struct SpriteProgram {
    bool triedToBuild = false;
    bool allowed = true;
    GLuint name = 0;
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

static bool HasGlsl130() {
    const char* version = (const char*)glGetString(kShadingLanguageVersion);
    int major = 0, minor = 0;
    if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2) return false;
    return major > 1 || (major == 1 && minor >= 30);
}

static bool HasShaderObjects() {
    return glExt.glCreateShaderObjectARB && glExt.glShaderSourceARB && glExt.glCompileShaderARB &&
           glExt.glGetObjectParameterivARB && glExt.glCreateProgramObjectARB && glExt.glAttachObjectARB &&
           glExt.glLinkProgramARB && glExt.glUseProgramObjectARB && glExt.glDeleteObjectARB;
}

static GLuint Compile(GLenum kind, const char* source) {
    GLuint shader = glExt.glCreateShaderObjectARB(kind);
    if (!shader) return 0;
    glExt.glShaderSourceARB(shader, 1, &source, nullptr);
    glExt.glCompileShaderARB(shader);
    GLint compiled = 0;
    glExt.glGetObjectParameterivARB(shader, kCompileStatus, &compiled);
    if (!compiled) {
        glExt.glDeleteObjectARB(shader);
        return 0;
    }
    return shader;
}

static void Build() {
    program.triedToBuild = true;
    // The variable overrides the choice, for comparing the two paths.
    const char* choice = std::getenv("REVEV_SPRITE_PROGRAM");
    if (choice && choice[0] == '0') return;
    if (!HasGlsl130() || !HasShaderObjects()) return;
    GLuint vertex = Compile(kVertexShader, kVertexSource);
    GLuint fragment = Compile(kFragmentShader, kFragmentSource);
    if (vertex && fragment) {
        GLuint linked = glExt.glCreateProgramObjectARB();
        glExt.glAttachObjectARB(linked, vertex);
        glExt.glAttachObjectARB(linked, fragment);
        glExt.glLinkProgramARB(linked);
        GLint ok = 0;
        glExt.glGetObjectParameterivARB(linked, kLinkStatus, &ok);
        if (ok) program.name = linked;
        else glExt.glDeleteObjectARB(linked);
    }
    // Attached shaders live on with the program.
    if (vertex) glExt.glDeleteObjectARB(vertex);
    if (fragment) glExt.glDeleteObjectARB(fragment);
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
    glExt.glUseProgramObjectARB(program.name);
    return true;
}

void EndSpriteProgram() { glExt.glUseProgramObjectARB(0); }

void ReleaseSpriteProgram(bool glReady) {
    if (glReady && program.name && glExt.glDeleteObjectARB) glExt.glDeleteObjectARB(program.name);
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
