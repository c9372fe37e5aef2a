// makemodel: writes the 3D example's model and its texture: an animated,
// coloured torus as a binary object file and a 128 x 128 picture to wrap
// round it (a bright grid on a shaded weave).
//   makemodel [model.ddd [texture.bmp [rings sides frames]]]
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "image_files.h"
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

int Number(const char* text, int low, int high) {
    int value = std::atoi(text);
    return value < low ? low : (value > high ? high : value);
}

}  // namespace

int main(int argc, char** argv) {
    const char* modelPath = argc > 1 ? argv[1] : "torus.ddd";
    const char* texturePath = argc > 2 ? argv[2] : "torus.bmp";
    TorusShape shape;
    if (argc > 5) {
        shape.rings = Number(argv[3], 3, 4096);
        shape.sides = Number(argv[4], 3, 4096);
        shape.frames = Number(argv[5], 1, 1024);
    }
    MeshObjectX torus;
    BuildTorus(torus, shape);
    if (!SaveObject(torus, modelPath)) {
        std::fprintf(stderr, "makemodel: cannot write %s\n", modelPath);
        return 1;
    }
    if (!WriteBmp24(texturePath, Texture())) {
        std::fprintf(stderr, "makemodel: cannot write %s\n", texturePath);
        return 1;
    }
    std::printf("%s: %d frames of %d rings x %d sides; %s\n", modelPath, shape.frames, shape.rings,
                shape.sides, texturePath);
    return 0;
}
