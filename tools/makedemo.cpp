// makedemo: draws the pictures of the demo script: "ball.bmp", a shaded ball
// of 32 x 32 on the sprite key colour (red 255, green 0, blue 128, which the
// runtime makes transparent), and "sky.png", a 320 x 240 evening landscape.
#include <cmath>
#include <cstdio>
#include <string>

#include "image_files.h"
#include "tool_options.h"

namespace {

const ToolCommandLine kTool = {
    "makedemo",
    "usage: makedemo [DIRECTORY]\n"
    "Draws the demo script's pictures, ball.bmp (a 32 x 32 ball on the sprite key\n"
    "colour) and sky.png (a 320 x 240 landscape), into DIRECTORY, which must exist\n"
    "(default: the current directory).\n"
    "  -h, --help  print this and exit\n"};

int Clamp(double v) { return v < 0 ? 0 : (v > 255 ? 255 : (int)v); }

RgbPicture Ball() {
    RgbPicture ball(32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const double dx = (x + 0.5 - 16) / 15.0, dy = (y + 0.5 - 16) / 15.0;
            const double r2 = dx * dx + dy * dy;
            if (r2 > 1.0) {
                ball.Set(x, y, 255, 0, 128);
                continue;
            }
            // Lit from the upper left, with a highlight and a band round the middle.
            const double dz = std::sqrt(1.0 - r2);
            const double light = std::fmax(0.0, (-dx * 0.5 - dy * 0.6 + dz * 0.62));
            const double highlight = std::pow(light, 24.0);
            const bool band = std::fabs(dy - 0.15 * dx) < 0.18;
            const double base[3] = {band ? 250.0 : 40.0, band ? 200.0 : 140.0, band ? 60.0 : 230.0};
            int rgb[3];
            for (int c = 0; c < 3; ++c) rgb[c] = Clamp(base[c] * (0.25 + 0.75 * light) + 255 * highlight);
            // The key colour itself must not occur inside the ball.
            if (rgb[0] == 255 && rgb[1] == 0 && rgb[2] == 128) rgb[1] = 1;
            ball.Set(x, y, rgb[0], rgb[1], rgb[2]);
        }
    }
    return ball;
}

RgbPicture Sky() {
    RgbPicture sky(320, 240);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            // Deep blue above, warm orange at the horizon.
            const double t = y / 170.0;
            double r = 20 + 235 * std::pow(t, 2.2), g = 24 + 120 * std::pow(t, 1.8), b = 70 + 40 * t;
            const double sunDx = x - 230, sunDy = y - 150, sun = std::sqrt(sunDx * sunDx + sunDy * sunDy);
            if (sun < 22) r = 255, g = 230, b = 150;
            else if (sun < 60) g += (60 - sun) * 1.5, r += (60 - sun) * 2;
            // A few fixed stars in the dark part.
            uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u;
            h = (h ^ (h >> 13)) * 1274126177u;
            if (y < 100 && ((h ^ (h >> 16)) % 400) == 0) r = g = b = 230 - y;
            // Two rows of hills.
            const double far = 165 + 12 * std::sin(x / 37.0) + 6 * std::sin(x / 13.0 + 1.0);
            const double near = 195 + 16 * std::sin(x / 53.0 + 2.0) + 5 * std::sin(x / 9.0);
            if (y > near) r = 20, g = 48 + (y - near) * 0.4, b = 30;
            else if (y > far) r = 52, g = 60, b = 88;
            sky.Set(x, y, Clamp(r), Clamp(g), Clamp(b));
        }
    }
    return sky;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    int end = ReadCommandLine(kTool, argc, argv, args);
    if (end < 0) end = CheckOperandCount(kTool, args, 0, 1);
    if (end >= 0) return end;
    std::string directory = args.empty() ? "" : args[0] + "/";
    if (!WriteBmp24((directory + "ball.bmp").c_str(), Ball()) ||
        !WritePngRgb((directory + "sky.png").c_str(), Sky())) {
        std::fprintf(stderr, "makedemo: cannot write the pictures into %s\n",
                     directory.empty() ? "." : directory.c_str());
        return 1;
    }
    return 0;
}
