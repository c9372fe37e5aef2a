// Test support for the pixel read-backs: pixels of the frame being drawn,
// sprites made from pictures in memory, picture files read by ImageMagick.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};
constexpr Rgb kKeyColour{255, 0, 128};  // the default sprite colour key
// The runtime's colour number: red + 256 green + 65536 blue.
inline double ColourOf(Rgb c) { return c.r + 256.0 * c.g + 65536.0 * c.b; }

// The w x h block at (x, y) of the frame being drawn, RGB rows from the top.
std::vector<uint8_t> ReadBlock(int x, int y, int w, int h);
Rgb ReadPixel(int x, int y);
void ClearTo(Rgb c);

// An RGBA picture, rows from the top, put into a slot with nearest filtering.
struct Picture {
    int width, height;
    std::vector<uint8_t> rgba;
    Picture(int w, int h, Rgb c = kBlack, int alpha = 255);
    void Set(int x, int y, Rgb c, int alpha = 255);
};
void MakeSprite(int slot, const Picture& picture);

// A picture file as ImageMagick reads it (RGBA, rows from the top); width 0
// when it cannot.
struct ReadBack {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    Rgb At(int x, int y) const { return {rgba[Index(x, y)], rgba[Index(x, y) + 1], rgba[Index(x, y) + 2]}; }
    int AlphaAt(int x, int y) const { return rgba[Index(x, y) + 3]; }
    size_t Index(int x, int y) const { return ((size_t)y * width + x) * 4; }
};
ReadBack ReadWithImageMagick(const std::string& path);
