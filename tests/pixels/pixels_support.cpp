#include "pixels/pixels_support.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "support/headless.h"

std::vector<uint8_t> ReadBlock(int x, int y, int w, int h) {
    std::vector<uint8_t> bottomUp((size_t)w * h * 3), topDown(bottomUp.size());
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, engine.screen->height - y - h, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    for (int row = 0; row < h; ++row)
        std::copy_n(&bottomUp[(size_t)(h - 1 - row) * w * 3], (size_t)w * 3, &topDown[(size_t)row * w * 3]);
    return topDown;
}

Rgb ReadPixel(int x, int y) {
    const std::vector<uint8_t> p = ReadBlock(x, y, 1, 1);
    return {p[0], p[1], p[2]};
}

void ClearTo(Rgb c) {
    glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
}

Picture::Picture(int w, int h, Rgb c, int alpha) : width(w), height(h), rgba((size_t)w * h * 4) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) Set(x, y, c, alpha);
}

void Picture::Set(int x, int y, Rgb c, int alpha) {
    uint8_t* p = &rgba[((size_t)y * width + x) * 4];
    p[0] = (uint8_t)c.r, p[1] = (uint8_t)c.g, p[2] = (uint8_t)c.b, p[3] = (uint8_t)alpha;
}

void MakeSprite(int slot, const Picture& picture) {
    SpriteStore* store = ActiveSpriteStore();
    FreeSprite(slot);
    ImageBuffer image;
    image.width = picture.width;
    image.height = picture.height;
    image.pixels = picture.rgba;
    UploadResult made;
    ASSERT_TRUE(UploadImage(image, 0, 0, 0, 0, &store->plainTexture[slot], nullptr, false, true, &made));
    store->textureWidth[slot] = made.textureWidth;
    store->textureHeight[slot] = made.textureHeight;
    store->imageWidth[slot] = made.width;
    store->imageHeight[slot] = made.height;
}

ReadBack ReadWithImageMagick(const std::string& path) {
    ReadBack result;
    const std::string command = "identify -format '%w %h' '" + path + "' >'" + path + ".size' 2>/dev/null && convert '" +
                                path + "' -depth 8 rgba:'" + path + ".rgba' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    if (std::sscanf(ReadWholeFile(path + ".size").c_str(), "%d %d", &result.width, &result.height) != 2) return {};
    const std::string bytes = ReadWholeFile(path + ".rgba");
    if (bytes.size() != (size_t)result.width * result.height * 4) return {};
    result.rgba.assign(bytes.begin(), bytes.end());
    return result;
}
