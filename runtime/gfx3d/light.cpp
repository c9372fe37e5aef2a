// The eight fixed-function lights and the effect light of the shading effects.
#include <GL/gl.h>

#include "gfx3d/gfx3d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

// Debug-mode markers: where the light is, and where a spot points.
constexpr double kLightMarkerColour = 0x80C8FF;
constexpr double kSpotMarkerColour = 0x6CAAE1;

static void SetEffectLight(Zadudedo3D& scene, int32_t n, const float rgb[3], const float position[3],
                           double cone) {
    scene.effectOn = cone != 0 ? 1 : 0;
    for (int i = 0; i < 3; ++i) {
        scene.effectLightPosition[i] = position[i];
        scene.effectLightColour[i] = rgb[i];
    }
    // Light -3 is the shadow light; the stencil-shadow pass follows its cone.
    if (n == -3) scene.effectMode = 3;
    else scene.effectMode = n == -1 ? 1 : 2;
    if (n == -3) SetShadowPass(scene, cone != 0);
}

// ---------------------------------------------------------------------------
// Public

void SetLight(double n, double colour, double px, double py, double pz, double dx, double dy, double dz,
              double cone) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return;
    const int32_t number = TruncateToInt(n);
    float rgb[3];
    ColourToFloats(colour, rgb);
    float position[3] = {(float)px, (float)py, (float)pz};
    if (number < 0) {
        SetEffectLight(*scene, number, rgb, position, cone);
        return;
    }

    const int index = number & 7;
    const GLenum light = GL_LIGHT0 + index;
    if (cone == 0) {
        glDisable(light);
        scene->lightMask &= (uint8_t)~(1u << index);
        if (scene->lightMask == 0) glDisable(GL_LIGHTING);
        return;
    }
    glEnable(GL_LIGHTING);
    glEnable(light);
    scene->lightMask |= (uint8_t)(1u << index);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    const float diffuse[4] = {rgb[0], rgb[1], rgb[2], 1};
    const float noSpecular[4] = {0, 0, 0, 1};
    glLightfv(light, GL_DIFFUSE, diffuse);

    float direction[3] = {(float)dx, (float)dy, (float)dz};
    if (px == 0 && py == 0 && pz == 0 && dx == 0 && dy == 0 && dz == 0) {
        // A camera light: along the view, whatever the modelview holds now.
        const float along[4] = {0, 0, 1, 0};
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glLightfv(light, GL_POSITION, along);
        glPopMatrix();
        glLightfv(light, GL_SPECULAR, noSpecular);
        glLightf(light, GL_SPOT_CUTOFF, 180);
        return;
    }
    NormaliseSmall(direction);
    if (cone == 180) {
        const float away[4] = {-direction[0], -direction[1], -direction[2], 0};
        glLightf(light, GL_SPOT_CUTOFF, 180);
        glLightfv(light, GL_POSITION, away);
        glLightfv(light, GL_SPECULAR, noSpecular);
    } else {
        const float at[4] = {position[0], position[1], position[2], 1};
        const bool spot = cone <= 90;
        glLightf(light, GL_SPOT_CUTOFF, spot ? (float)cone : 180.0f);
        glLightfv(light, GL_POSITION, at);
        if (spot) glLightfv(light, GL_SPOT_DIRECTION, direction);
        glLightfv(light, GL_SPECULAR, diffuse);
    }

    if (engine.debugMode) {
        DrawPoint3D(px, py, pz, kLightMarkerColour, 40);
        if (cone <= 90)
            DrawLine3D(px, py, pz, px + 500 * direction[0], py + 500 * direction[1], pz + 500 * direction[2],
                       kSpotMarkerColour, 3);
    }
}

void SetSimpleLight(double n, double colour) { SetLight(n, colour, 0, 0, 0, 0, 0, 0, 180); }
