// Which key frames an object draw blends, and the sphere test that skips
// objects outside the view cone.
#include <cmath>
#include <cstring>

#include "gfx3d/gfx3d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Public

FrameChoice ChooseFrames(int32_t from, int32_t to, double position, bool interpolate, int32_t frameCount) {
    FrameChoice choice;
    if (!interpolate) {
        choice.p = to;
        choice.q = from;
        choice.weight = (float)position;
    } else {
        double t = position;
        if (t > 1 || t < 0) t = std::fabs(std::fmod(t, 1.0));
        const double p = (double)(to - from) * t + from;
        const double r = std::trunc(p);
        const int32_t whole = TruncateToInt(r);
        if (from < to) {
            choice.p = whole;
            choice.q = whole + 1;
            choice.weight = (float)(1 - (p - r));
        } else if (from > to) {
            choice.p = whole + 1;
            choice.q = whole;
            choice.weight = (float)(p - r);
        } else {
            choice.p = choice.q = from;
            choice.weight = 0;
        }
    }
    const int32_t last = frameCount > 0 ? frameCount - 1 : 0;
    choice.p = choice.p < 0 ? 0 : choice.p > last ? last : choice.p;
    choice.q = choice.q < 0 ? 0 : choice.q > last ? last : choice.q;
    // The blend gives Q alone at weight 0. Drawing it as P, the frame drawn
    // whole elsewhere, would jump a frame between positions 0 and 0.001.
    if (choice.weight == 0) choice.p = choice.q;
    return choice;
}

float ApproxSqrt(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits = ((bits - 0x3F800000u) >> 1) + 0x3F800000u;
    float result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

bool SphereVisible(const float centre[3], float radius, const float eye[3], const float target[3],
                   float cullTangent) {
    float d[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    const float dLengthSquared = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (dLengthSquared <= 1e-7f) d[0] = d[1] = d[2] = 0;
    else NormaliseSmall(d);
    const float v[3] = {centre[0] - eye[0], centre[1] - eye[1], centre[2] - eye[2]};
    const float k = d[0] * v[0] + d[1] * v[1] + d[2] * v[2];
    const float vLengthSquared = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    // Behind the eye: only a sphere around the eye itself is seen.
    if (k < 0) return vLengthSquared <= radius * radius;
    const float p[3] = {d[0] * k, d[1] * k, d[2] * k};
    const float h = ApproxSqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]) * cullTangent;
    const float off[3] = {v[0] - p[0], v[1] - p[1], v[2] - p[2]};
    return !(h * h + radius * radius < off[0] * off[0] + off[1] * off[1] + off[2] * off[2]);
}
