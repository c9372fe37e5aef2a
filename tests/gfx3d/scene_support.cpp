#include "scene_support.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <algorithm>
#include <cmath>

#include "core/engine.h"
#include "gfx2d/gfx2d_support.h"
#include "gfx3d/gfx3d.h"

std::vector<MeshVertex> Square(float cx, float cy, float cz, float half, uint32_t colour) {
    const float corners[6][4] = {{-1, -1, 0, 0}, {1, -1, 1, 0}, {1, 1, 1, 1},
                                 {-1, -1, 0, 0}, {1, 1, 1, 1},  {-1, 1, 0, 1}};
    std::vector<MeshVertex> out;
    for (const auto& c : corners) {
        MeshVertex v{};
        v.x = cx + c[0] * half;
        v.y = cy + c[1] * half;
        v.z = cz;
        v.nz = 1;
        v.u = c[2];
        v.v = c[3];
        v.colour = colour;
        out.push_back(v);
    }
    return out;
}

void PutObject(int slotNumber, const std::vector<std::vector<MeshVertex>>& frames) {
    ASSERT_NE(engine.scene3D, nullptr);
    ObjectSlot& slot = engine.scene3D->objectSlots[slotNumber];
    ClearObjectSlot(slot);
    slot.objects.emplace_back();
    MeshObjectX& object = slot.objects.back();
    for (const auto& vertices : frames) {
        object.frames.emplace_back();
        object.frames.back().vertices = vertices;
    }
    PackObject(object);
    object.BuildTriangles();
    ComputeBounds(object);
    slot.loaded = 1;
}

void StandardScene() {
    Setup3DMode(1, 1000, 90);
    SetCamera(0, 0, kEyeZ, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

ScreenPoint ProjectStandard(double x, double y, double z) {
    const double distance = kEyeZ - z;
    const double halfHeight = distance * std::tan(M_PI / 4);  // field of view 90
    const double halfWidth = halfHeight * 320.0 / 240.0;
    return {(x / halfWidth + 1) * 160.0, (1 - y / halfHeight) * 120.0};
}

static double Cross(ScreenPoint o, ScreenPoint a, ScreenPoint b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

std::vector<ScreenPoint> ConvexHull(std::vector<ScreenPoint> points) {
    std::sort(points.begin(), points.end(), [](auto a, auto b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    std::vector<ScreenPoint> hull;
    for (int pass = 0; pass < 2; ++pass) {
        const size_t start = hull.size();
        for (const ScreenPoint& p : points) {
            while (hull.size() >= start + 2 && Cross(hull[hull.size() - 2], hull.back(), p) <= 0) hull.pop_back();
            hull.push_back(p);
        }
        hull.pop_back();
        std::reverse(points.begin(), points.end());
    }
    return hull;
}

double InsideHull(const std::vector<ScreenPoint>& hull, double x, double y) {
    double nearest = 1e9;
    for (size_t i = 0; i < hull.size(); ++i) {
        const ScreenPoint a = hull[i], b = hull[(i + 1) % hull.size()];
        nearest = std::min(nearest, Cross(a, b, {x, y}) / std::hypot(b.x - a.x, b.y - a.y));
    }
    return nearest;
}

std::vector<ScreenPoint> CubeCorners(const double centre[3], double half) {
    std::vector<ScreenPoint> out;
    for (int i = 0; i < 8; ++i)
        out.push_back(ProjectStandard(centre[0] + ((i & 1) ? half : -half), centre[1] + ((i & 2) ? half : -half),
                                      centre[2] + ((i & 4) ? half : -half)));
    return out;
}

int CountPixels(int x0, int y0, int x1, int y1, bool (*test)(const Rgba&)) {
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    std::vector<uint8_t> rgba((size_t)w * h * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x0, engine.screen->height - 1 - y1, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    int count = 0;
    for (size_t i = 0; i < rgba.size(); i += 4)
        if (test(Rgba{rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]})) ++count;
    return count;
}
