// The texture upload: a rectangle of an image buffer becomes a power-of-two
// RGBA8 texture, upside down, with edge colour bleeding for linear filtering,
// an optional normal-map conversion and an optional mipmapped twin whose
// levels the runtime computes itself.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"

// ---------------------------------------------------------------------------
// Internal helpers

static int32_t PowerOfTwoAtLeast(int32_t side) {
    int32_t texture = 2;
    while (texture < side) texture *= 2;
    return texture;
}

static void SetUnpackState() {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

// ---------------------------------------------------------------------------
// Public: CPU steps

void BleedEdgeColours(uint8_t* texels, int width, int height) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* texel = texels + ((size_t)y * width + x) * 4;
            if (texel[3] != 0) continue;
            int sum[3] = {0, 0, 0};
            int count = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if ((dx == 0 && dy == 0) || nx < 1 || ny < 1 || nx > width - 2 || ny > height - 2) continue;
                    const uint8_t* neighbour = texels + ((size_t)ny * width + nx) * 4;
                    if (neighbour[3] == 0) continue;
                    sum[0] += neighbour[0];
                    sum[1] += neighbour[1];
                    sum[2] += neighbour[2];
                    ++count;
                }
            }
            // Bled texels keep alpha 0, so they never feed another texel.
            for (int c = 0; c < 3; ++c) texel[c] = (uint8_t)(count ? sum[c] / count : 0);
        }
    }
}

bool NextMipLevel(uint8_t* texels, int& width, int& height) {
    if (width <= 1 && height <= 1) return false;
    const int w = width;
    const int newWidth = std::max(1, width / 2), newHeight = std::max(1, height / 2);
    auto at = [&](int x, int y) { return texels + ((size_t)y * w + x) * 4; };
    // Written in place: every texel written lies at or before the first one
    // its successors still read.
    for (int y = 0; y < newHeight; ++y) {
        for (int x = 0; x < newWidth; ++x) {
            const bool columnPartner = x != newWidth - 1;
            const bool rowPartner = y != newHeight - 1;
            const uint8_t* p00 = at(2 * x, 2 * y);
            uint8_t out[4];
            for (int c = 0; c < 4; ++c) {
                if (columnPartner && rowPartner) {
                    out[c] = (uint8_t)((4 * p00[c] + 2 * at(2 * x + 1, 2 * y)[c] + 2 * at(2 * x + 1, 2 * y + 2)[c] +
                                        at(2 * x, 2 * y + 2)[c]) / 9);
                } else if (columnPartner) {
                    out[c] = (uint8_t)((2 * p00[c] + at(2 * x + 1, 2 * y)[c]) / 3);
                } else if (rowPartner) {
                    out[c] = (uint8_t)((2 * p00[c] + at(2 * x, 2 * y + 2)[c]) / 3);
                } else {
                    out[c] = p00[c];
                }
            }
            std::copy(out, out + 4, texels + ((size_t)y * newWidth + x) * 4);
        }
    }
    width = newWidth;
    height = newHeight;
    return true;
}

std::vector<uint8_t> MakeNormalMap(const uint8_t* texels, int width, int height) {
    std::vector<uint8_t> out((size_t)width * height * 4);
    auto heightAt = [&](int x, int y) {
        x = (x % width + width) % width;
        y = (y % height + height) % height;
        return texels[((size_t)y * width + x) * 4 + 2] / 255.0;
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double gy = (heightAt(x - 1, y + 1) + 2 * heightAt(x, y + 1) + heightAt(x + 1, y + 1)) -
                        (heightAt(x - 1, y - 1) + 2 * heightAt(x, y - 1) + heightAt(x + 1, y - 1));
            double gx = (heightAt(x - 1, y - 1) + 2 * heightAt(x - 1, y) + heightAt(x - 1, y + 1)) -
                        (heightAt(x + 1, y - 1) + 2 * heightAt(x + 1, y) + heightAt(x + 1, y + 1));
            double n = 1.0 / (double)std::sqrt((float)(gx * gx + gy * gy + 1.0));
            uint8_t* texel = out.data() + ((size_t)y * width + x) * 4;
            texel[0] = (uint8_t)((gx * n + 1.0) / 2.0 * 255.0);
            texel[1] = (uint8_t)((gy * n + 1.0) / 2.0 * 255.0);
            texel[2] = (uint8_t)((n + 1.0) / 2.0 * 255.0);
            texel[3] = texels[((size_t)y * width + x) * 4 + 3];
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Upload

static bool Upload(const ImageBuffer& image, int x, int y, int w, int h, uint32_t* plainTexture,
                   uint32_t* mipTexture, bool normalMap, bool nearest, UploadResult* result) {
    if (!engine.screen || !engine.screen->glReady || !plainTexture) return false;
    if (w == 0) w = image.width - x;
    if (h == 0) h = image.height - y;
    if (w <= 0 || h <= 0) return false;

    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (largest < 2) largest = 64;
    w = std::min(w, (int)largest);
    h = std::min(h, (int)largest);
    const int32_t textureWidth = PowerOfTwoAtLeast(w);
    const int32_t textureHeight = PowerOfTwoAtLeast(h);

    // Transparent black where no picture is; the picture's bottom row lands in
    // texture row 0.
    std::vector<uint8_t> texels((size_t)textureWidth * textureHeight * 4, 0);
    const int firstRow = std::max(y, 0), endRow = std::min(y + h, image.height);
    const int firstColumn = std::max(x, 0), endColumn = std::min(x + w, image.width);
    for (int sy = firstRow; sy < endRow; ++sy) {
        if (endColumn <= firstColumn) break;
        const uint8_t* in = image.pixels.data() + ((size_t)sy * image.width + firstColumn) * 4;
        uint8_t* out = texels.data() + ((size_t)(y + h - 1 - sy) * textureWidth + (firstColumn - x)) * 4;
        std::copy(in, in + (size_t)(endColumn - firstColumn) * 4, out);
    }
    if (!nearest) BleedEdgeColours(texels.data(), textureWidth, textureHeight);

    SetUnpackState();
    if (*plainTexture) glDeleteTextures(1, plainTexture);
    glGenTextures(1, plainTexture);
    glBindTexture(GL_TEXTURE_2D, *plainTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    const GLint filter = nearest ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (normalMap) texels = MakeNormalMap(texels.data(), textureWidth, textureHeight);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, textureWidth, textureHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());

    if (mipTexture) {
        // An earlier twin would otherwise be lost to the GL for good.
        if (*mipTexture) glDeleteTextures(1, mipTexture);
        glGenTextures(1, mipTexture);
        glBindTexture(GL_TEXTURE_2D, *mipTexture);
        SetUnpackState();
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        int levelWidth = textureWidth, levelHeight = textureHeight;
        int level = 0;
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, levelWidth, levelHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     texels.data());
        while (NextMipLevel(texels.data(), levelWidth, levelHeight)) {
            glTexImage2D(GL_TEXTURE_2D, ++level, GL_RGBA8, levelWidth, levelHeight, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, texels.data());
        }
    }
    if (result) {
        result->width = w;
        result->height = h;
        result->textureWidth = textureWidth;
        result->textureHeight = textureHeight;
    }
    return true;
}

bool UploadImage(const ImageBuffer& image, int x, int y, int w, int h, uint32_t* plainTexture,
                 uint32_t* mipTexture, bool normalMap, bool nearest, UploadResult* result) {
    // A texture too large for the memory at hand is a failed upload.
    try {
        return Upload(image, x, y, w, h, plainTexture, mipTexture, normalMap, nearest, result);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
