// The texture upload: a rectangle of an image buffer becomes a power-of-two
// RGBA8 texture, upside down, with edge colour bleeding for linear filtering,
// an optional normal-map conversion and an optional mipmapped twin whose
// levels the runtime computes itself.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
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

// Converts in place: the height field is first taken out of the blue channel,
// a quarter of the buffer, instead of writing into a second full buffer.
static void NormalMapInPlace(uint8_t* texels, int width, int height) {
    std::vector<uint8_t> heights((size_t)width * height);
    for (size_t i = 0; i < heights.size(); ++i) heights[i] = texels[i * 4 + 2];
    auto heightAt = [&](int x, int y) {
        x = (x % width + width) % width;
        y = (y % height + height) % height;
        return heights[(size_t)y * width + x] / 255.0;
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double gy = (heightAt(x - 1, y + 1) + 2 * heightAt(x, y + 1) + heightAt(x + 1, y + 1)) -
                        (heightAt(x - 1, y - 1) + 2 * heightAt(x, y - 1) + heightAt(x + 1, y - 1));
            double gx = (heightAt(x - 1, y - 1) + 2 * heightAt(x - 1, y) + heightAt(x - 1, y + 1)) -
                        (heightAt(x + 1, y - 1) + 2 * heightAt(x + 1, y) + heightAt(x + 1, y + 1));
            double n = 1.0 / (double)std::sqrt((float)(gx * gx + gy * gy + 1.0));
            uint8_t* texel = texels + ((size_t)y * width + x) * 4;
            texel[0] = (uint8_t)((gx * n + 1.0) / 2.0 * 255.0);
            texel[1] = (uint8_t)((gy * n + 1.0) / 2.0 * 255.0);
            texel[2] = (uint8_t)((n + 1.0) / 2.0 * 255.0);
        }
    }
}

std::vector<uint8_t> MakeNormalMap(const uint8_t* texels, int width, int height) {
    std::vector<uint8_t> out(texels, texels + (size_t)width * height * 4);
    NormalMapInPlace(out.data(), width, height);
    return out;
}

// ---------------------------------------------------------------------------
// Upload

namespace {

// The rectangle of the picture that becomes the texture, and the texture's size.
struct UploadArea {
    int x, y, w, h;
    int32_t textureWidth, textureHeight;
};

// Applies the 0-means-to-the-edge rule and the GL's largest texture. False
// when there is nothing to upload or no GL to upload to.
bool MeasureUpload(const ImageBuffer& image, int x, int y, int w, int h, uint32_t* plainTexture,
                   UploadArea& area) {
    if (!engine.screen || !engine.screen->glReady || !plainTexture) return false;
    if (w == 0) w = image.width - x;
    if (h == 0) h = image.height - y;
    if (w <= 0 || h <= 0) return false;

    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (largest < 2) largest = 64;
    area.x = x;
    area.y = y;
    area.w = std::min(w, (int)largest);
    area.h = std::min(h, (int)largest);
    area.textureWidth = PowerOfTwoAtLeast(area.w);
    area.textureHeight = PowerOfTwoAtLeast(area.h);
    return true;
}

// Transparent black where no picture is; the picture's bottom row lands in
// texture row 0.
void CopyToTexels(const ImageBuffer& image, const UploadArea& a, std::vector<uint8_t>& texels) {
    texels.assign((size_t)a.textureWidth * a.textureHeight * 4, 0);
    const int firstRow = std::max(a.y, 0), endRow = std::min(a.y + a.h, image.height);
    const int firstColumn = std::max(a.x, 0), endColumn = std::min(a.x + a.w, image.width);
    for (int sy = firstRow; sy < endRow; ++sy) {
        if (endColumn <= firstColumn) break;
        const uint8_t* in = image.pixels.data() + ((size_t)sy * image.width + firstColumn) * 4;
        uint8_t* out = texels.data() + ((size_t)(a.y + a.h - 1 - sy) * a.textureWidth + (firstColumn - a.x)) * 4;
        std::copy(in, in + (size_t)(endColumn - firstColumn) * 4, out);
    }
}

// The same layout made from the whole picture where its pixels lie, when
// the texture needs no more bytes than the picture has: rows are turned
// upside down, then moved to the texture's row length (from the last row
// when rows grow, from the first when they shrink, so no row is overwritten
// before it moves), then the rows below the picture are cleared.
bool TurnIntoTexels(ImageBuffer& image, const UploadArea& a, std::vector<uint8_t>& texels) {
    const size_t textureBytes = (size_t)a.textureWidth * a.textureHeight * 4;
    if (a.x != 0 || a.y != 0 || textureBytes > image.pixels.size()) return false;
    texels.swap(image.pixels);
    const size_t rowBytes = (size_t)image.width * 4, textureRowBytes = (size_t)a.textureWidth * 4;
    const size_t usedBytes = (size_t)a.w * 4;
    uint8_t* base = texels.data();
    for (int top = 0, bottom = a.h - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(base + top * rowBytes, base + top * rowBytes + usedBytes, base + bottom * rowBytes);
    auto move = [&](int row) {
        std::memmove(base + row * textureRowBytes, base + row * rowBytes, usedBytes);
        std::fill(base + row * textureRowBytes + usedBytes, base + (row + 1) * textureRowBytes, 0);
    };
    if (textureRowBytes > rowBytes) {
        for (int row = a.h - 1; row >= 0; --row) move(row);
    } else {
        for (int row = 0; row < a.h; ++row) move(row);
    }
    std::fill(base + (size_t)a.h * textureRowBytes, base + textureBytes, 0);
    texels.resize(textureBytes);
    image.Free();
    return true;
}

// Makes the texture(s) from the texture-sized buffer, which the mipmap chain
// then uses up.
void SendTexels(std::vector<uint8_t>& texels, const UploadArea& a, uint32_t* plainTexture, uint32_t* mipTexture,
                bool normalMap, bool nearest, UploadResult* result) {
    const int32_t textureWidth = a.textureWidth, textureHeight = a.textureHeight;
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
    if (normalMap) NormalMapInPlace(texels.data(), textureWidth, textureHeight);
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
        result->width = a.w;
        result->height = a.h;
        result->textureWidth = textureWidth;
        result->textureHeight = textureHeight;
    }
}

}  // namespace

bool UploadImage(const ImageBuffer& image, int x, int y, int w, int h, uint32_t* plainTexture,
                 uint32_t* mipTexture, bool normalMap, bool nearest, UploadResult* result) {
    // A texture too large for the memory at hand is a failed upload.
    try {
        UploadArea area;
        if (!MeasureUpload(image, x, y, w, h, plainTexture, area)) return false;
        std::vector<uint8_t> texels;
        CopyToTexels(image, area, texels);
        SendTexels(texels, area, plainTexture, mipTexture, normalMap, nearest, result);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool UploadWholeImage(ImageBuffer& image, uint32_t* plainTexture, uint32_t* mipTexture, bool normalMap,
                      bool nearest, UploadResult* result) {
    try {
        UploadArea area;
        if (!MeasureUpload(image, 0, 0, 0, 0, plainTexture, area)) {
            image.Free();
            return false;
        }
        std::vector<uint8_t> texels;
        if (!TurnIntoTexels(image, area, texels)) {
            CopyToTexels(image, area, texels);
            image.Free();
        }
        SendTexels(texels, area, plainTexture, mipTexture, normalMap, nearest, result);
        return true;
    } catch (const std::bad_alloc&) {
        image.Free();
        return false;
    }
}
