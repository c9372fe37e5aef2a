// The mathematical commands and the box-overlap test.
#include "strings/mathematics.h"

#include <algorithm>
#include <cmath>

double Sine(double degrees) { return std::sin(degrees / kDegreeFactor); }
double Cosine(double degrees) { return std::cos(degrees / kDegreeFactor); }
double Tangent(double degrees) { return std::tan(degrees / kDegreeFactor); }

double ArcTangent(double y, double x) { return std::atan2(y, x) * kDegreeFactor; }

double ArcCosine(double x) {
    if (x >= 1.0) return 0.0;
    if (x <= -1.0) return 180.0;
    return std::acos(x) * kDegreeFactor;
}

double SquareRoot(double x) { return std::sqrt(x); }

double AbsoluteValue(double x) { return x >= 0.0 ? x : -x; }

double Power(double a, double b) { return std::pow(a, b); }

double Modulo(double a, double b) {
    double divisor = std::trunc(b);
    // Also covers a divisor below 1 in size (0.5), which truncates to 0.
    if (divisor == 0.0) return 0.0;
    // fmod of whole numbers is the exact truncated-division remainder, with
    // the dividend's sign, and cannot overflow as an integer cast would.
    return std::fmod(std::trunc(a), divisor);
}

double BoxOverlap(double x1, double y1, double w1, double h1,
                  double x2, double y2, double w2, double h2) {
    auto overlaps = [](double p1, double s1, double p2, double s2) {
        double start1 = std::min(p1, p1 + s1), end1 = std::max(p1, p1 + s1);
        double start2 = std::min(p2, p2 + s2), end2 = std::max(p2, p2 + s2);
        return std::max(start1, start2) <= std::min(end1, end2);
    };
    return overlaps(x1, w1, x2, w2) && overlaps(y1, h1, y2, h2) ? 1.0 : 0.0;
}
