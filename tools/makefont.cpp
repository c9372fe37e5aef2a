// makefont: draws "smalfont.bmp", the default font beside the program: 16
// columns by 8 rows of 8 x 8 glyph cells on black (black is the font's
// transparent colour). The glyph shapes are the runtime's built-in 5 x 6 dot
// glyphs; this font gives them a warm top-to-bottom tint and a soft shadow.
#include <cstdio>

#include "gfx2d/gfx2d.h"
#include "image_files.h"
#include "tool_options.h"

static const ToolCommandLine kTool = {
    "makefont",
    "usage: makefont [FONT]\n"
    "Draws the runtime's default font, 16 x 8 glyph cells of 8 x 8 pixels on black,\n"
    "into the BMP file FONT (default smalfont.bmp, the name the program loads).\n"
    "  -h, --help  print this and exit\n"};

int main(int argc, char** argv) {
    std::vector<std::string> args;
    int end = ReadCommandLine(kTool, argc, argv, args);
    if (end < 0) end = CheckOperandCount(kTool, args, 0, 1);
    if (end >= 0) return end;
    const char* path = args.empty() ? "smalfont.bmp" : args[0].c_str();
    ImageBuffer glyphs;
    MakeBuiltinFontImage(glyphs);
    auto isDot = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= glyphs.width || y >= glyphs.height) return false;
        const uint8_t* p = &glyphs.pixels[((size_t)y * glyphs.width + x) * 4];
        return p[0] == 255 && p[3] == 255;
    };

    RgbPicture font(glyphs.width, glyphs.height);
    for (int y = 0; y < font.height; ++y) {
        for (int x = 0; x < font.width; ++x) {
            const int row = y % 8;  // dot rows sit at cell rows 1 to 6
            if (isDot(x, y)) {
                // White at the top shading to a light gold at the bottom.
                font.Set(x, y, 255, 255 - (row - 1) * 6, 255 - (row - 1) * 24);
            } else if (isDot(x - 1, y - 1) && x % 8 != 0 && row != 0) {
                font.Set(x, y, 48, 40, 72);  // shadow: dark, but never the transparent black
            }
        }
    }
    if (!WriteBmp24(path, font)) {
        std::fprintf(stderr, "makefont: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
