// What a script sees: the real program, headless, with the sound bindings,
// its device opened by start-up and closed by the end of the program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "sound/sound_support.h"

namespace {

class SoundScript : public SoundFixture {
protected:
    // Runs the program for `frames` frames with `script` on the audio driver
    // `driver`; returns its exit code and fills `out` with its standard output.
    int Run(const std::string& script, const char* driver, int frames, std::string& out) {
        std::string scriptPath = dir + "/script.lua", outPath = dir + "/stdout.txt";
        std::ofstream(scriptPath) << script;
        std::string command = std::string("SDL_AUDIODRIVER=") + driver + " SDL_DISKAUDIOFILE='" +
                              outputPath + "' '" + REVEV_BINARY + "' --frames " +
                              std::to_string(frames) + " --script '" + scriptPath + "' >'" + outPath +
                              "' 2>'" + dir + "/stderr.txt'";
        int status = std::system(command.c_str());
        std::ifstream in(outPath);
        std::stringstream text;
        text << in.rdbuf();
        out = text.str();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// Loads once, plays on the first frame, and reports what the bindings return.
std::string PlayScript(const std::string& tone) {
    return "if not started then\n"
           "  started = true\n"
           "  Lua_Loadsound('" + tone + "', 12, 1)\n"
           "  local h = Lua_Playsound(12, 1, 1)\n"
           "  print('play', h, Lua_Soundplaying(h), Lua_Playsound(12, 1, 1))\n"
           "  print('defaults', Lua_Playsound(), Lua_Soundplaying(), Lua_Playmusic())\n"
           "  print('music', Lua_Playmusic('absent.ogg'), Lua_Musicvolume(0.5), Lua_Stopmusic())\n"
           "end\n";
}

}  // namespace

TEST_F(SoundScript, BindingsPlayThroughTheDeviceThatStartUpOpens) {
    std::string tone = WriteTone("tone.wav", 0.2);
    std::string out;
    ASSERT_EQ(Run(PlayScript(tone), "disk", 30, out), 0);
    EXPECT_NE(out.find("play\t3072\t1\t-1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("defaults\t-1\t0\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("music\t0\tnil\n"), std::string::npos) << out;

    // The end of the program closed the device, so the output is complete:
    // the tone, on the right side only.
    StereoOutput sound = ReadOutput(outputPath);
    EXPECT_EQ(PeakOf(sound.left), 0);
    EXPECT_NEAR((double)ActiveSpan(sound.right, 100), 22050 * 0.2, 3.0);
}

TEST_F(SoundScript, WithoutADeviceScriptsRunOnAndPlaysReturnMinusOne) {
    std::string tone = WriteTone("tone.wav", 0.2);
    std::string out;
    ASSERT_EQ(Run(PlayScript(tone), "none", 3, out), 0);
    EXPECT_NE(out.find("Init OK\n"), std::string::npos) << out;
    EXPECT_NE(out.find("play\t-1\t0\t-1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("music\t0\tnil\n"), std::string::npos) << out;
}
