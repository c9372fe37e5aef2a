// Shader programs on a headless context: a constant-colour program fills
// exactly the object's pixels, loading and reloading slots, compile and link
// logs, uniforms, and the notice when the entry points are missing.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/engine.h"
#include "gfx2d/gfx2d_support.h"
#include "gfx3d/gfx3d.h"
#include "scene_support.h"

namespace {

const char* kGreenFragment = "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n";
const char* kTintFragment =
    "uniform float level;\nuniform int flag;\n"
    "void main() { gl_FragColor = vec4(level, float(flag), 0.0, 1.0); }\n";
const char* kPassVertex = "void main() { gl_Position = ftransform(); }\n";

class Shaders : public testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartScreen();
        if (!glExt.glCreateShaderObjectARB || !glExt.glLinkProgramARB || !glExt.glUseProgramObjectARB)
            GTEST_SKIP() << "this GL has no shader objects";
    }
    std::string Source(const std::string& name, const char* text) {
        WriteWholeFile(dir + name, text);
        return dir + name;
    }
    std::string dir;
};

// The frame read back as one flag per pixel.
std::vector<bool> Mask(bool (*test)(const Rgba&)) {
    std::vector<uint8_t> rgba(320 * 240 * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 320, 240, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<bool> mask(320 * 240);
    for (size_t i = 0; i < mask.size(); ++i)
        mask[i] = test(Rgba{rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]});
    return mask;
}

}  // namespace

TEST_F(Shaders, ConstantColourFillsExactlyTheObjectsPixels) {
    // Turned and off-centre, so the silhouette has slanted edges.
    PutObject(1, {Square(-1, 0.5f, 0, 3)});
    StandardScene();
    RotateTransform(30, 0, 0, 1);
    DrawObject(1, 0);
    const std::vector<bool> object = Mask([](const Rgba& c) { return c.r > 0 || c.g > 0 || c.b > 0; });

    ASSERT_EQ(LoadShader(4, "", Source("green.frag", kGreenFragment).c_str()), 1);
    StandardScene();
    RotateTransform(30, 0, 0, 1);
    UseShader(4);
    DrawObject(1, 0);
    UseShader(255);
    const std::vector<bool> green = Mask([](const Rgba& c) { return c.r == 0 && c.g == 255 && c.b == 0; });
    const std::vector<bool> black = Mask([](const Rgba& c) { return c.r == 0 && c.g == 0 && c.b == 0; });

    int objectPixels = 0;
    for (size_t i = 0; i < object.size(); ++i) {
        objectPixels += object[i];
        ASSERT_EQ(green[i], object[i]) << "pixel " << i % 320 << ", " << 239 - i / 320;
        ASSERT_EQ(black[i], !object[i]) << "pixel " << i % 320 << ", " << 239 - i / 320;
    }
    EXPECT_GT(objectPixels, 2000);
}

TEST_F(Shaders, UniformsReachTheCurrentProgram) {
    PutObject(1, {Square(0, 0, 0, 3)});
    ASSERT_EQ(LoadShader(0, Source("pass.vert", kPassVertex).c_str(), Source("tint.frag", kTintFragment).c_str()), 1);
    StandardScene();
    UseShader(0);
    SetShaderFloat("level", 0.5);
    SetShaderInt("flag", 1);
    SetShaderFloat("unknown", 1);  // not in the program: nothing happens
    DrawObject(1, 0);
    UseShader(300);  // back to the fixed-function pipeline
    const Rgba c = ReadPixel(160, 120);
    EXPECT_NEAR(c.r, 128, 2);
    EXPECT_EQ(c.g, 255);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    StandardScene();
    DrawObject(1, 0);
    EXPECT_EQ(ReadPixel(160, 120), (Rgba{255, 255, 255, 255}));
}

TEST_F(Shaders, ReloadingReplacesTheSlotsObjects) {
    const std::string frag = Source("green.frag", kGreenFragment);
    ASSERT_EQ(LoadShader(7, "", frag.c_str()), 1);
    const ShaderSlot first = engine.scene3D->shaders[7];
    EXPECT_EQ(first.vertexShader, 0u);
    ASSERT_EQ(LoadShader(7, Source("pass.vert", kPassVertex).c_str(), frag.c_str()), 1);
    const ShaderSlot second = engine.scene3D->shaders[7];
    EXPECT_NE(second.vertexShader, 0u);
    // The first program was deleted: asking about it is an error (unless its
    // name went to one of the new objects).
    const unsigned reused[3] = {second.program, second.vertexShader, second.fragmentShader};
    if (std::find(reused, reused + 3, first.program) == reused + 3) {
        while (glGetError() != GL_NO_ERROR) {
        }
        int type = 0;
        glExt.glGetObjectParameterivARB(first.program, 0x8B4E, &type);  // GL_OBJECT_TYPE_ARB
        EXPECT_NE(glGetError(), (GLenum)GL_NO_ERROR);
    }
}

TEST_F(Shaders, FailuresGiveZeroAndLogTheDriversText) {
    const std::string frag = Source("green.frag", kGreenFragment);
    EXPECT_EQ(LoadShader(255, "", frag.c_str()), 0);
    EXPECT_EQ(LoadShader(-1, "", frag.c_str()), 0);
    EXPECT_EQ(LoadShader(3, "", (dir + "missing.frag").c_str()), 0);
    EXPECT_EQ(LoadShader(3, "", ""), 0);
    EXPECT_EQ(ReadWholeFile(ErrorLogPath()), "");

    // A compile failure: the info log goes to the error log, the link fails.
    EXPECT_EQ(LoadShader(3, "", Source("bad.frag", "void main() { this is not glsl }\n").c_str()), 0);
    const std::string log = ReadWholeFile(ErrorLogPath());
    EXPECT_FALSE(log.empty());
    EXPECT_NE(log.find("\r\n"), std::string::npos);
}

// A part that fails to compile is never attached or linked (a driver can reach
// freed memory linking it): the slot is left without objects, whichever part
// failed and in either order.
TEST_F(Shaders, APartThatFailsToCompileIsNeverLinked) {
    const std::string vert = Source("ok.vert", kPassVertex);
    const std::string frag = Source("green.frag", kGreenFragment);
    const std::string bad = Source("bad.glsl", "void main() { this is not glsl }\n");
    struct Case {
        const char* what;
        std::string vertex, fragment;
    } cases[] = {
        {"vertex source as fragment", vert, vert},
        {"missing vertex, vertex source as fragment", dir + "missing.glsl", vert},
        {"bad vertex, good fragment", bad, frag},
        {"good vertex, bad fragment", vert, bad},
        {"fragment source as vertex", frag, frag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(LoadShader(146, "", frag.c_str()), 1);
        std::remove(ErrorLogPath().c_str());
        EXPECT_EQ(LoadShader(146, c.vertex.c_str(), c.fragment.c_str()), 0);
        const ShaderSlot slot = engine.scene3D->shaders[146];
        EXPECT_EQ(slot.program, 0u);
        EXPECT_EQ(slot.vertexShader, 0u);
        EXPECT_EQ(slot.fragmentShader, 0u);
        EXPECT_FALSE(ReadWholeFile(ErrorLogPath()).empty()) << "the compiler's log";
    }
    // Nothing is left current that could draw with a half-built program.
    UseShader(146);
    PutObject(1, {Square(0, 0, 0, 3)});
    StandardScene();
    DrawObject(1, 0);
    UseShader(255);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

// Sources are limited to 64 KB: a larger one is refused with a line in the
// error log before the compiler sees it, whichever part it is.
TEST_F(Shaders, SourcesOverTheSizeLimitAreRefused) {
    std::string atLimit = kGreenFragment;
    atLimit += "//";
    atLimit.append(65536 - atLimit.size() - 1, 'x');
    atLimit += "\n";
    ASSERT_EQ(atLimit.size(), 65536u);
    EXPECT_EQ(LoadShader(5, "", Source("limit.frag", atLimit.c_str()).c_str()), 1);

    std::string over = atLimit;
    over.insert(over.size() - 1, "x");
    const std::string big = Source("big.frag", over.c_str());
    const std::string vert = Source("ok.vert", kPassVertex);
    EXPECT_EQ(LoadShader(5, "", big.c_str()), 0);
    EXPECT_EQ(engine.scene3D->shaders[5].program, 0u);
    EXPECT_NE(ReadWholeFile(ErrorLogPath()).find("Shader source over 65536 bytes"), std::string::npos);
    EXPECT_EQ(LoadShader(5, big.c_str(), Source("green.frag", kGreenFragment).c_str()), 0);
    EXPECT_EQ(LoadShader(5, vert.c_str(), big.c_str()), 0);
    EXPECT_EQ(engine.scene3D->shaders[5].vertexShader, 0u);
}

TEST(ShaderSupport, MissingEntryPointsAreReportedOnce) {
    const std::string dir = UseScratchTempDirectory();
    StartScreen();
    WriteWholeFile(dir + "green.frag", kGreenFragment);
    // Hide the shader-object entry points as a GL without them would.
    const GlExtensions saved = glExt;
    glExt.glCreateShaderObjectARB = nullptr;
    glExt.glCompileShaderARB = nullptr;
    glExt.glLinkProgramARB = nullptr;
    EXPECT_EQ(LoadShader(1, "", (dir + "green.frag").c_str()), 0);
    EXPECT_EQ(LoadShader(2, "", (dir + "green.frag").c_str()), 0);
    glExt = saved;
    EXPECT_EQ(ReadWholeFile(ErrorLogPath()), "No OpenGL 2.0 Shader Support\r\n");
    EXPECT_EQ(engine.scene3D->shaders[1].program, 0u);
}
