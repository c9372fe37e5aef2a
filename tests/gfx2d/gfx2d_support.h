// Test support for the 2D graphics: a real headless screen, pixels read back
// from the frame being drawn, and small picture files written on the spot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/headless.h"

// Runs the real start-up (320 x 240 unless given) without frame pacing. Fails
// the test when no window with a context can be made.
void StartScreen(int width = 320, int height = 240);

struct Rgba {
    int r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& out, const Rgba& c);

// Pixel (x, y) of the frame being drawn, top-left origin.
Rgba ReadPixel(int x, int y);
// Fills the frame being drawn with one colour.
void ClearTo(int r, int g, int b);
// Saves the frame being drawn as a PNG (for looking at a failing test).
void SaveFrame(const std::string& path);

// A test picture: width x height RGBA, rows top-down.
struct Picture {
    int width, height;
    std::vector<uint8_t> rgba;
    Picture(int w, int h, uint32_t colour = 0);
    void Set(int x, int y, uint32_t colour, int alpha = 255);  // colour: r + 256 g + 65536 b
};

// Writes the picture as an uncompressed BMP of 24 or 32 bits (alpha ignored).
std::vector<uint8_t> EncodeBmp(const Picture& picture, int bitsPerPixel);
// Writes an 8-bit BMP from indices and a palette of 0x00RRGGBB entries.
std::vector<uint8_t> EncodeBmp8(int width, int height, const std::vector<uint8_t>& indices,
                                const std::vector<uint32_t>& palette);
// PNG of the given libpng colour type (RGB, RGBA, GRAY, GRAY_ALPHA) and bit depth.
std::vector<uint8_t> EncodePng(const Picture& picture, int colourType, int bitDepth);
// An 8-bit grey PNG of width x height pixels, all 0, written one row at a
// time, so that even a huge picture costs one row of memory and compresses
// to about a thousandth of its pixels.
std::vector<uint8_t> EncodeBlankGreyPng(int width, int height);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
