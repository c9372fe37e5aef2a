// Test support for the 3D scene: objects made in code through the packing
// API, and where the standard test camera puts a point on the screen.
#pragma once

#include <vector>

#include "gfx3d/mesh.h"

// Six records: two counter-clockwise triangles of a square facing +z, centre
// (cx, cy, cz), half side `half`, normal (0, 0, 1), texture corners 0..1.
std::vector<MeshVertex> Square(float cx, float cy, float cz, float half, uint32_t colour = 0x00FFFFFF);
// Packs the frames (one vertex list each) into one object in the engine's
// slot, builds its triangles and bounds, and marks the slot loaded.
void PutObject(int slot, const std::vector<std::vector<MeshVertex>>& frames);

// The standard scene: 3D mode with near 1, far 1000 and a field of view of 90
// on the whole 320 x 240 screen, camera at (0, 0, kEyeZ) looking at the origin.
constexpr float kEyeZ = 10.0f;
void StandardScene();
// Where the standard scene shows (x, y, z): pixel column and row from the
// top-left corner, computed from the field of view alone.
struct ScreenPoint {
    double x, y;
};
ScreenPoint ProjectStandard(double x, double y, double z);

// The convex hull of points on the screen, and how far (x, y) lies inside
// it in pixels (negative outside).
std::vector<ScreenPoint> ConvexHull(std::vector<ScreenPoint> points);
double InsideHull(const std::vector<ScreenPoint>& hull, double x, double y);
// The eight corners of a cube of half side `half` about `centre` on the
// screen of the standard scene.
std::vector<ScreenPoint> CubeCorners(const double centre[3], double half);

// Counts the pixels of the frame being drawn whose colour satisfies `test`
// inside (x0..x1) x (y0..y1), top-left origin, ends included.
struct Rgba;
int CountPixels(int x0, int y0, int x1, int y1, bool (*test)(const Rgba&));
