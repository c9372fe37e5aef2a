// The bindings of built objects, collision and projection as a script sees
// them, run by the real program.
#include <gtest/gtest.h>

#include <string>

#include "support/headless.h"

namespace {

std::string RunScript(const std::string& dir, const std::string& body) {
    WriteWholeFile(dir + "script.lua", "if not done then done = 1\n" + body + "\nend\n");
    const ProgramRun run = RunProgram("--frames 1 --script '" + dir + "script.lua'", dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
}

}  // namespace

TEST(Lua3DBuild, BuiltObjectsCollideAndProject) {
    const std::string dir = UseScratchTempDirectory();
    const std::string out = RunScript(dir,
        "Lua_Setup3d(1, 100, 90)\n"
        "Lua_Camera(0, 0, 10, 0, 0, 0)\n"
        "Lua_Normalmode(5)\n"
        "Lua_Beginobject(1)\n"
        "Lua_Addvertex(-5, 0, -5, 0, 0, 0xFFFFFF)\n"
        "Lua_Addvertex(5, 0, -5, 1, 0, 0xFFFFFF)\n"
        "Lua_Addvertex(-5, 0, 5, 0, 1, 0xFFFFFF)\n"
        "Lua_Addvertex(5, 0, 5, 1, 1, 0xFFFFFF)\n"
        "Lua_Newstrip()\n"
        "Lua_Endobject()\n"
        "Lua_Createcube(2, 2)\n"
        "print('count', Lua_Countvertices(1), Lua_Countvertices(2))\n"
        "print('sphere', Lua_Spherehit(1, 0, 0, 0.5, 0, 1), Lua_Spherehit(1, 0, 0, 1.5, 0, 1))\n"
        "print('ray', Lua_Rayhit(1, 0, 0, 5, 0, 0, -5, 0), Lua_Rayhit(1, 0, 0, 5, 0, 0, 10, 0))\n"
        "print('box', Lua_Boxhit(2, 0, 0, 1.5, 0, 1, 1), Lua_Boxhit(2, 0, 0, 1.6, 0, 1, 1))\n"
        "local ok, sx, sy, sz = Lua_Project(0, 0, 0)\n"
        "print('project', ok, sx, sy)\n"
        "local ok2, x, y, z = Lua_Unproject(sx, sy - 1, sz)\n"
        "print('back', ok2, math.floor(x * 1000 + 0.5), math.floor(y * 1000 + 0.5), math.floor(z * 1000 + 0.5))\n");
    EXPECT_NE(out.find("count\t6\t36\n"), std::string::npos) << out;
    EXPECT_NE(out.find("sphere\t1\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ray\t0.5\t-1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("box\t1\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("project\t1\t"), std::string::npos) << out;
    EXPECT_NE(out.find("back\t1\t0\t0\t0\n"), std::string::npos) << out;
}

TEST(Lua3DBuild, EffectsRunAndAnEmptyRampEndsTheProgram) {
    const std::string dir = UseScratchTempDirectory();
    const std::string out = RunScript(dir,
        "Lua_Setup3d(1, 100, 60)\n"
        "Lua_Camera(0, 2, 6, 0, 0, 0)\n"
        "Lua_Createcube(1, 1)\n"
        "Lua_Shaderamp({0.3, 0.7, 1})\n"
        "Lua_Cullmode(1)\n"
        "Lua_Light(-2, 0xFFFFFF, 3, 4, 5, 0, 0, 0, 1)\n"
        "Lua_Drawobject(1, 0)\n"
        "Lua_Light(-3, 0xFFFFFF, 3, 4, 5, 0, 0, 0, 1)\n"
        "Lua_Drawobject(1, 0)\n"
        "Lua_Light(-3, 0, 0, 0, 0, 0, 0, 0, 0)\n"
        "print('effects drawn')\n"
        "Lua_Shaderamp({})\n"
        "print('not reached')\n");
    EXPECT_NE(out.find("effects drawn\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("not reached"), std::string::npos) << out;
}
