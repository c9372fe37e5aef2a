// Script mathematics: degree-based trigonometry, guarded arc cosine and
// modulo, the box-overlap test, and the ISAAC random generator with its
// start-up seeding. Every command takes and returns doubles; integer
// arguments are truncated toward zero.
#pragma once

#include <cstdint>

// Degrees per radian.
constexpr double kDegreeFactor = 57.29577951308232;

// sin, cos, tan of an angle in degrees.
double Sine(double degrees);
double Cosine(double degrees);
double Tangent(double degrees);
// atan2(y, x) in degrees, -180 to 180.
double ArcTangent(double y, double x);
// Degrees: 0 for x >= 1, 180 for x <= -1, else acos(x) (NaN stays NaN).
double ArcCosine(double x);
// sqrt(x); NaN for negative x.
double SquareRoot(double x);
// x when x >= 0, else -x.
double AbsoluteValue(double x);
double Power(double a, double b);
// The remainder of trunc(a) / trunc(b) with the sign of the dividend; 0 when
// trunc(b) is 0. Exact for any double (no 32-bit wrap).
double Modulo(double a, double b);
// 1 when the boxes (x, y, w, h; negative sizes allowed) overlap or touch,
// else 0.
double BoxOverlap(double x1, double y1, double w1, double h1,
                  double x2, double y2, double w2, double h2);

// The generator state (process-wide).
struct RandomState {
    uint32_t results[256];
    uint32_t memory[256];
    uint32_t a, b, c;
    int32_t resultCount;
};

// Seeds the generator from a 32-bit seed: the low 32 bits of seed truncated
// toward zero. Start-up calls it once with the millisecond clock. The same
// seed always gives the same sequence.
void RandomSeed(double seed);
// Runs one generation round and returns its first word modulo
// (low 32 bits of trunc(n)) + 1: a whole number from 0 to n for
// 0 <= n < 2^32 - 1. A modulus that wraps to 0 gives 0.
double Random(double n);
// Read-only view of the generator, for tests.
const RandomState& RandomGeneratorState();
