// Collision tests of a query shape against one frame's triangle list, in the
// object's own space: a sphere, a ray and an oriented box (separating axes).
#include <cmath>

#include "gfx3d/gfx3d_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

struct Vec {
    double x, y, z;
};

Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec At(const MeshVertex& v) { return {v.x, v.y, v.z}; }
Vec At(const float p[3]) { return {p[0], p[1], p[2]}; }

// 0.99 of a full turn: a point inside a triangle sees its corners all round.
constexpr double kInsideAngle = 6.220353514028915;

double AngleBetween(Vec a, Vec b) {
    const double la = Dot(a, a), lb = Dot(b, b);
    if (la <= 0 || lb <= 0) return 0;
    double c = Dot(a, b) / std::sqrt(la * lb);
    if (c > 1) c = 1;
    if (c < -1) c = -1;
    return std::acos(c);
}

Vec NearestOnSegment(Vec a, Vec b, Vec p) {
    const Vec ab = b - a;
    const double length = Dot(ab, ab);
    if (length <= 0) return a;
    double t = Dot(p - a, ab) / length;
    if (t < 0) t = 0;
    if (t > 1) t = 1;
    return a + ab * t;
}

bool SphereTouchesTriangle(Vec a, Vec b, Vec c, Vec centre, double radius) {
    Vec n = Cross(c - a, b - a);
    const double lengthSquared = Dot(n, n);
    if (lengthSquared > 1e-7) n = n * (1.0 / std::sqrt(lengthSquared));
    const double d = Dot(n, centre) - Dot(n, a);
    if (!(std::fabs(d) < radius)) return false;
    const Vec p = centre - n * d;
    const double angles = AngleBetween(a - p, b - p) + AngleBetween(b - p, c - p) + AngleBetween(c - p, a - p);
    if (angles >= kInsideAngle) return true;
    const double r2 = radius * radius;
    for (const auto& [s, e] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}}) {
        const Vec q = centre - NearestOnSegment(s, e, centre);
        if (Dot(q, q) < r2) return true;
    }
    return false;
}

double RayThroughTriangle(Vec a, Vec b, Vec c, Vec p0, Vec p1) {
    const Vec e1 = b - a, e2 = c - a, n = Cross(e1, e2), dir = p1 - p0;
    const double along = Dot(n, dir);
    if ((n.x == 0 && n.y == 0 && n.z == 0) || along == 0) return 0;
    const double t = -Dot(n, p0 - a) / along;
    const Vec w = p0 + dir * t - a;
    const double uu = Dot(e1, e1), uv = Dot(e1, e2), vv = Dot(e2, e2), wu = Dot(w, e1), wv = Dot(w, e2);
    const double d = uv * uv - uu * vv;
    if (d == 0) return 0;
    const double s = (uv * wv - vv * wu) / d, q = (uv * wu - uu * wv) / d;
    return (s >= 0 && s <= 1 && q >= 0 && s + q <= 1) ? t : 0;
}

// Separating-axis test of a triangle against a box of centre `centre` and
// half-axes h[0..2]. Touching counts as overlap.
bool BoxTouchesTriangle(const Vec corner[3], Vec centre, const Vec h[3]) {
    const Vec edges[3] = {corner[1] - corner[0], corner[2] - corner[1], corner[0] - corner[2]};
    Vec axes[13] = {h[0], h[1], h[2], Cross(edges[0], edges[1])};
    int count = 4;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) axes[count++] = Cross(h[i], edges[j]);
    for (const Vec& axis : axes) {
        const double c = Dot(centre, axis);
        const double r = std::fabs(Dot(h[0], axis)) + std::fabs(Dot(h[1], axis)) + std::fabs(Dot(h[2], axis));
        double low = Dot(corner[0], axis), high = low;
        for (int k = 1; k < 3; ++k) {
            const double p = Dot(corner[k], axis);
            if (p < low) low = p;
            if (p > high) high = p;
        }
        if (high < c - r || low > c + r) return false;
    }
    return true;
}

const MeshFrame* TestedFrame(const MeshObject& object, int32_t frame) {
    if (frame < 0 || (size_t)frame >= object.frames.size()) return nullptr;
    const MeshFrame& f = object.frames[(size_t)frame];
    return f.triangles.size() > 2 ? &f : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

bool SphereHitsFrame(const MeshObject& object, int32_t frame, const float centre[3], float radius) {
    const MeshFrame* f = TestedFrame(object, frame);
    if (!f) return false;
    const Vec c = At(centre);
    const double r = radius;
    const Vec fromCentre = c - At(f->centre);
    if ((r + f->radius) * (r + f->radius) < Dot(fromCentre, fromCentre)) return false;
    const Vec first = c - At(f->triangles[0]);
    if (r * r >= Dot(first, first)) return true;
    for (size_t i = 0; i + 2 < f->triangles.size(); i += 3)
        if (SphereTouchesTriangle(At(f->triangles[i]), At(f->triangles[i + 1]), At(f->triangles[i + 2]), c, r))
            return true;
    return false;
}

double RayHitsFrame(const MeshObject& object, int32_t frame, const float from[3], const float to[3]) {
    if (frame < 0 || (size_t)frame >= object.frames.size()) return 0;
    const MeshFrame& f = object.frames[(size_t)frame];
    double best = 0;
    for (size_t i = 0; i + 2 < f.triangles.size(); i += 3) {
        const double t = RayThroughTriangle(At(f.triangles[i]), At(f.triangles[i + 1]), At(f.triangles[i + 2]),
                                            At(from), At(to));
        best = CloserRayHit(best, t);
    }
    return best;
}

double CloserRayHit(double a, double b) {
    if (b == 0) return a;
    if (a == 0) return b;
    if (a > 0 && b > 0) return a < b ? a : b;
    if (a > 0 || b > 0) return a > 0 ? a : b;
    return a > b ? a : b;
}

bool BoxHitsFrame(const MeshObject& object, int32_t frame, const float centre[3], const float halfAxes[3][3],
                  double reach) {
    const MeshFrame* f = TestedFrame(object, frame);
    if (!f) return false;
    const Vec c = At(centre);
    const Vec fromCentre = c - At(f->centre);
    // The box lies within `reach` of its centre and the frame within its
    // radius of its own: farther apart than the sum, they cannot touch. The
    // slack covers the radius rounded to single precision.
    const double apart = (reach + (double)f->radius) * (1 + 1e-6);
    if (Dot(fromCentre, fromCentre) > apart * apart) return false;
    const Vec h[3] = {At(halfAxes[0]), At(halfAxes[1]), At(halfAxes[2])};
    for (size_t i = 0; i + 2 < f->triangles.size(); i += 3) {
        const Vec corner[3] = {At(f->triangles[i]), At(f->triangles[i + 1]), At(f->triangles[i + 2])};
        if (BoxTouchesTriangle(corner, c, h)) return true;
    }
    return false;
}
