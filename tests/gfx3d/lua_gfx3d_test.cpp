// The 3D bindings as a script sees them, run by the real program: results
// and extra results, slot checks, and drawing through the bindings.
#include <gtest/gtest.h>

#include <string>

#include "support/headless.h"

namespace {

// Runs the script for one frame from the scratch directory, with the
// example's torus beside it; returns what it printed.
std::string RunScript(const std::string& dir, const std::string& body) {
    const std::string examples = std::string(REVEV_SOURCE_DIR) + "/examples/3d/";
    WriteWholeFile(dir + "torus.ddd", ReadWholeFile(examples + "torus.ddd"));
    WriteWholeFile(dir + "script.lua", "if not done then done = 1\n" + body + "\nend\n");
    const ProgramRun run = RunProgram("--frames 1 --script '" + dir + "script.lua'", dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
}

}  // namespace

TEST(Lua3D, ObjectsLoadSaveAndTellTheirTriangles) {
    const std::string dir = UseScratchTempDirectory();
    const std::string out = RunScript(dir,
        "print('load', Lua_Loadobject(1, 'torus.ddd'), Lua_Loadobject(4096, 'torus.ddd'),"
        "      Lua_Loadobject(2, 'missing.ddd'))\n"
        "print('count', Lua_Countvertices(1), Lua_Countvertices(2))\n"
        "print('results', select('#', Lua_Gettriangle(1, 0, 0)))\n"
        "local a = Lua_Numberarray()\n"
        "local x = Lua_Gettriangle(1, 0, 3, a)\n"
        "print('same', x == Lua_Get(a, 0, 0), Lua_Bounds(a, 0), Lua_Bounds(a, 1))\n"
        "print('save', Lua_Saveobject(1, 'copy.ddd'), Lua_Saveobject(3, 'none.ddd'))\n"
        "print('again', Lua_Loadobject(5, 'copy.ddd'), Lua_Countvertices(5) == Lua_Countvertices(1))\n");
    EXPECT_NE(out.find("load\t1\t0\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("results\t27\n"), std::string::npos) << out;
    EXPECT_NE(out.find("same\ttrue\t3\t9\n"), std::string::npos) << out;
    EXPECT_NE(out.find("save\t1\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("again\t1\ttrue\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("count\t0"), std::string::npos) << out;
    EXPECT_NE(out.find("\t0\n", out.find("count\t")), std::string::npos) << out;
}

TEST(Lua3D, DrawingAndStateBindingsRun) {
    const std::string dir = UseScratchTempDirectory();
    WriteWholeFile(dir + "red.frag", "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n");
    const std::string out = RunScript(dir,
        "Lua_Loadobject(1, 'torus.ddd')\n"
        "Lua_Setup3d(1, 100, 60)\n"
        "Lua_Camera(0, 0, 4, 0, 0, 0)\n"
        "Lua_Upvector(0, 1, 0)\n"
        "Lua_Cullmode(-1)\n"
        "Lua_Light(0, 0xFFFFFF, 3, 4, 4, 0, 0, 0, 120)\n"
        "Lua_Simplelight(1, 0x808080)\n"
        "Lua_Fog(0x000000, 0, 2, 8)\n"
        "Lua_Pushtransform()\n"
        "Lua_Move(0, 0, 0) Lua_Scale(1, 1, 1) Lua_Rotate(30, 0, 1, 0)\n"
        "Lua_Multmatrix({1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1})\n"
        "Lua_Texturescroll(0.1, 0) Lua_Spheremap(0) Lua_Texturevariant(1)\n"
        "Lua_Selecttextures(-1)\n"
        "Lua_Drawobject(1, 0)\n"
        "Lua_Drawanimated(1, 0, 7, 0.3, 1)\n"
        "Lua_Poptransform()\n"
        "Lua_Line3d(0, 0, 0, 1, 1, 1, 0xFFFFFF, 2) Lua_Point3d(0, 0, 0, 0xFF, 4) Lua_Axes(0, 0, 0)\n"
        "Lua_Cleardepth()\n"
        "print('shader', Lua_Loadshader(255, '', 'red.frag'), Lua_Loadshader(3, '', 'missing.frag'))\n"
        "Lua_Useshader(300) Lua_Shaderfloat('x', 1) Lua_Shaderint('y', 2)\n"
        "print('drawn')\n");
    EXPECT_NE(out.find("shader\t0\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("drawn\n"), std::string::npos) << out;
}

TEST(Lua3D, BadMatrixEndsTheProgram) {
    const std::string dir = UseScratchTempDirectory();
    const std::string out = RunScript(dir,
        "Lua_Setup3d(1, 100, 60)\n"
        "Lua_Multmatrix({1, 2, 3})\n"
        "print('not reached')\n");
    EXPECT_EQ(out.find("not reached"), std::string::npos) << out;
}
