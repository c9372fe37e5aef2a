// An animated, coloured, textured torus built through the object model, for
// the makemodel tool and the 3D benchmark. Each ring of the tube is one
// triangle strip; the key frames make the tube breathe and a wave run round
// the ring, so interpolated drawing shows motion.
#pragma once

#include <cmath>

#include "gfx3d/mesh.h"

struct TorusShape {
    int rings = 24;     // around the main circle
    int sides = 16;     // around the tube
    int frames = 8;     // key frames of one loop of the animation
    float radius = 1.0f;
    float tube = 0.35f;
};

// Colour words of the bands, red + 256 green + 65536 blue.
inline uint32_t TorusBandColour(int ring) {
    static const uint32_t bands[] = {0x003050F0, 0x0040D0F0, 0x0060F060, 0x00F0E040, 0x00F07030, 0x00C040D0};
    return bands[(ring / 2) % 6];
}

// Fills `object` (emptied first) and packs it.
inline void BuildTorus(MeshObject& object, const TorusShape& shape) {
    ClearObject(object, true);
    const double pi = 3.14159265358979323846;
    object.frames.resize((size_t)shape.frames);
    for (int f = 0; f < shape.frames; ++f) {
        const double phase = 2 * pi * f / shape.frames;
        std::vector<MeshVertex>& list = object.frames[(size_t)f].vertices;
        for (int i = 0; i < shape.rings; ++i) {
            MeshVertex marker{};
            marker.colour = MARKER_STRIP;
            list.push_back(marker);
            for (int j = 0; j <= shape.sides; ++j) {
                for (int k = 1; k >= 0; --k) {
                    const int ring = i + k;
                    const double theta = 2 * pi * ring / shape.rings;
                    const double phi = 2 * pi * j / shape.sides;
                    const double tube = shape.tube * (1.0 + 0.2 * std::sin(phase));
                    const double major = shape.radius * (1.0 + 0.12 * std::sin(3 * theta + phase));
                    MeshVertex v{};
                    v.nx = (float)(std::cos(theta) * std::cos(phi));
                    v.ny = (float)std::sin(phi);
                    v.nz = (float)(std::sin(theta) * std::cos(phi));
                    v.x = (float)(std::cos(theta) * major + v.nx * tube);
                    v.y = (float)(v.ny * tube);
                    v.z = (float)(std::sin(theta) * major + v.nz * tube);
                    v.u = (float)(2.0 * j / shape.sides);
                    v.v = (float)(4.0 * ring / shape.rings);
                    v.colour = TorusBandColour(i);
                    ColourToRgb(v.colour, v.r, v.g, v.b);
                    list.push_back(v);
                }
            }
        }
    }
    PackObject(object);
}
