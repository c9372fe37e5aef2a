// Fog: linear between two distances (by default the projection's near and
// far), or exponential.
#include <GL/gl.h>

#include "gfx3d/gfx3d_internal.h"

void SetFog(double colour, double mode, double start, double end) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return;
    if (colour == -1 || colour == 4294967295.0) {
        glDisable(GL_FOG);
        return;
    }
    glEnable(GL_FOG);
    if (mode != 0) {
        glFogi(GL_FOG_MODE, GL_EXP);
        glFogf(GL_FOG_DENSITY, (float)start);
    } else {
        if (start == 0 && end == 0) {
            start = scene->nearDistance;
            end = scene->farDistance;
        }
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogf(GL_FOG_START, (float)start);
        glFogf(GL_FOG_END, (float)end);
    }
    float rgb[3];
    ColourToFloats(colour, rgb);
    const float fogColour[4] = {rgb[0], rgb[1], rgb[2], 0};
    glFogfv(GL_FOG_COLOR, fogColour);
}
