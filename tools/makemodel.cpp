// makemodel: writes the 3D example's model and its texture: an animated,
// coloured torus as a binary object file and a 128 x 128 picture to wrap
// round it (a bright grid on a shaded weave).
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "image_files.h"
#include "tool_options.h"
#include "torus_model.h"

namespace {

int Clamp(double v) { return v < 0 ? 0 : (v > 255 ? 255 : (int)v); }

RgbPicture Texture() {
    RgbPicture picture(128, 128);
    const double pi = 3.14159265358979323846;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const double weave = 0.5 + 0.5 * std::sin(x * pi / 16) * std::sin(y * pi / 16);
            const bool line = (x % 32) < 2 || (y % 32) < 2;
            const double shade = line ? 1.0 : 0.45 + 0.45 * weave;
            picture.Set(x, y, Clamp(255 * shade), Clamp(235 * shade), Clamp(200 * shade));
        }
    }
    return picture;
}

const ToolCommandLine kTool = {
    "makemodel",
    "usage: makemodel [MODEL [TEXTURE [RINGS SIDES FRAMES]]]\n"
    "Writes the 3D example's animated, coloured torus as a binary object file MODEL\n"
    "(default torus.ddd) and a 128 x 128 picture to wrap round it as the BMP file\n"
    "TEXTURE (default torus.bmp). RINGS and SIDES (3 to 4096, default 24 and 16)\n"
    "and FRAMES (1 to 1024, default 8) shape the torus; numbers outside are held\n"
    "to those ranges.\n"
    "  -h, --help  print this and exit\n"};

// A whole number held to low..high; false when the text is none.
bool Number(const std::string& text, int low, int high, int& value) {
    char* end = nullptr;
    long read = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0) return false;
    value = read < low ? low : (read > high ? high : (int)read);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    int end = ReadCommandLine(kTool, argc, argv, args);
    if (end < 0) end = CheckOperandCount(kTool, args, 0, 5);
    if (end < 0 && (args.size() == 3 || args.size() == 4))
        end = UsageError(kTool, "RINGS, SIDES and FRAMES go together: missing argument");
    if (end >= 0) return end;
    const std::string modelPath = args.size() > 0 ? args[0] : "torus.ddd";
    const std::string texturePath = args.size() > 1 ? args[1] : "torus.bmp";
    TorusShape shape;
    if (args.size() == 5) {
        const char* names[3] = {"RINGS", "SIDES", "FRAMES"};
        int* values[3] = {&shape.rings, &shape.sides, &shape.frames};
        for (int i = 0; i < 3; ++i) {
            if (!Number(args[2 + i], i == 2 ? 1 : 3, i == 2 ? 1024 : 4096, *values[i]))
                return UsageError(kTool, std::string(names[i]) + " must be a whole number: " + args[2 + i]);
        }
    }
    MeshObjectX torus;
    BuildTorus(torus, shape);
    if (!SaveObject(torus, modelPath.c_str())) {
        std::fprintf(stderr, "makemodel: cannot write %s\n", modelPath.c_str());
        return 1;
    }
    if (!WriteBmp24(texturePath.c_str(), Texture())) {
        std::fprintf(stderr, "makemodel: cannot write %s\n", texturePath.c_str());
        return 1;
    }
    std::printf("%s: %d frames of %d rings x %d sides; %s\n", modelPath.c_str(), shape.frames,
                shape.rings, shape.sides, texturePath.c_str());
    return 0;
}
