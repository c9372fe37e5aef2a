// The 3D engine: the engine object with its object and shader slots, the 3D
// projection, camera and up vector, cull modes, the transform stack, texture
// selection for objects, object drawing with frame interpolation and sphere
// culling, lines, points and axes, lights, fog, shader programs, objects
// built from commands, collision and projection, shading effects and
// stencil shadows. The object model and its files are in gfx3d/mesh.h.
#pragma once

#include <cstdint>

#include "gfx3d/mesh.h"

class OpenGLZadudedo;
class NumberArray;

// ---------------------------------------------------------------------------
// Types

constexpr int kShaderSlotCount = 255;  // slot 255 or above: no program
constexpr int kTransformLevelCount = 16;
constexpr int kLevelEntries = 16;      // rotations, and matrices, per level

// One level of the transform stack. A vertex is scaled, turned by the
// rotations (first added first), moved, then transformed by the matrices.
struct TransformLevel {
    int32_t matrixCount = 0;
    int32_t rotationCount = 0;
    float rotations[kLevelEntries][4] = {};  // angle in degrees, axis x, y, z
    float scale[3] = {1, 1, 1};
    float translation[3] = {0, 0, 0};
    float matrices[kLevelEntries][16] = {};  // OpenGL column order
};

// A shader program slot; handles are 0 when absent.
struct ShaderSlot {
    uint32_t program = 0;
    uint32_t vertexShader = 0;
    uint32_t fragmentShader = 0;
};

// The 3D engine object, one instance in `engine.scene3D`.
class Zadudedo3D {
public:
    Zadudedo3D();
    // Releases the objects of every slot, their vertex buffers and textures,
    // and the shader programs (GL objects only while the GL is ready).
    virtual ~Zadudedo3D();
    Zadudedo3D(const Zadudedo3D&) = delete;
    Zadudedo3D& operator=(const Zadudedo3D&) = delete;

    ObjectSlotArray objectSlots;
    ShaderSlot shaders[kShaderSlotCount];
    int32_t currentShader = kShaderSlotCount;
    uint8_t shaderNotice = 1;  // "No OpenGL 2.0 Shader Support" not reported yet

    uint8_t shadowPassActive = 0;
    int8_t cullMode = 0;
    TransformLevel levels[kTransformLevelCount];
    int32_t depth = 0;
    float cameraMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float scrollU = 0, scrollV = 0;
    uint8_t lightMask = 0;  // bit i: GL light i on; non-zero is "lighting on"
    uint8_t sphereMapping = 0;
    OpenGLZadudedo* screen = nullptr;

    // The effect light, for the shading effects.
    uint8_t effectOn = 0;
    uint8_t effectMode = 0;  // 1 relief, 2 cartoon, 3 shadow
    float effectLightPosition[3] = {0, 0, 0};
    float effectLightColour[3] = {0, 0, 0};

    float up[3] = {0, 1, 0};
    float eye[3] = {0, 0, 0};
    float target[3] = {0, 0, 0};
    float cullTangent = 1.0f;
    float nearDistance = 1.0f;
    float farDistance = 1000.0f;
    int32_t normalMode = 2;        // 0 none, 1 per record, 2 smooth; below 0 none
    int32_t generationTarget = -1; // slot being built from commands, -1 for none

    // Texture selection re-applied before every object draw; the variant is
    // the bind operation's mipmapped flag (the texture-binding mode).
    int32_t firstTexture = -1;
    int32_t secondTexture = -1;
    int32_t textureVariant = 0;
};

// ---------------------------------------------------------------------------
// Lifecycle (scene.cpp)

// Creates `engine.scene3D` on the screen object (start-up); nothing when it exists.
void Create3DEngine();
// Deletes `engine.scene3D` (shutdown); safe when there is none.
void Destroy3DEngine();
// The frame routine's reset: texture-binding mode 0 and no shader program.
void Reset3DFrameState();

// ---------------------------------------------------------------------------
// Projection and camera (scene.cpp, camera.cpp)

// The projection box of a field of view: a perspective frustum for fov > 0,
// an orthographic box (100 x wider) otherwise. top = e, right = e x aspect.
struct ProjectionBox {
    double left, right, bottom, top, nearPlane, farPlane;
    bool orthographic;
};
ProjectionBox ComputeProjectionBox(double nearPlane, double farPlane, double fov, double aspect);
// The tangent sphere culling uses for a field of view.
float CullTangentFor(double fov);

// Set up 3D mode: viewport from the 2D viewport record, projection, 3D state,
// camera matrix identity, transform depth 0, no textures, lights, culling,
// sphere mapping or effect. Nothing without a GL context.
void Setup3DMode(double nearPlane, double farPlane, double fov);
// Look-at matrix (OpenGL column order) of eye, target and up vector.
void LookAtMatrix(const float eye[3], const float target[3], const float up[3], float out[16]);
// Loads the look-at view, keeps it as the camera matrix, pops the transform
// stack to depth 0 and resets level 0.
void SetCamera(double ex, double ey, double ez, double tx, double ty, double tz);
// Up vector for the next camera set.
void SetUpVector(double x, double y, double z);
// 0: no culling; above 0: clockwise front faces culled from behind; below 0:
// counter-clockwise front faces.
void SetCullMode(double mode);
void ClearDepth();

// ---------------------------------------------------------------------------
// Transform stack (transform.cpp)

// New level with no rotations or matrices, scale 1 and no translation; the GL
// matrix is pushed. Refused at the 16th level.
void PushTransform();
// Back one level (not below 0); the GL matrix is popped.
void PopTransform();
// Current level: translation, or scale; both drop its rotations and matrices.
void MoveTransform(double x, double y, double z);
void ScaleTransform(double x, double y, double z);
// Current level: appends a rotation (degrees about the axis); dropped at 16.
void RotateTransform(double angle, double x, double y, double z);
// Current level: appends a 16-element one-dimensional array as a matrix
// (dropped at 16). Any other array is fatal error 9.
void MultiplyMatrix(const NumberArray& matrix);
// Multiplies the GL modelview by levels 0 to the depth.
void ApplyTransformStack();

// ---------------------------------------------------------------------------
// Textures (scene_textures.cpp)

// Texture slots of the sprite store, -1 for none; bound at once.
void SelectTextures(double first, double second);
void SetTextureVariant(double variant);
void SetTextureScroll(double u, double v);
void SetSphereMapping(double on);
// Binds the current selection again (before each object draw).
void ReapplyTextureSelection();

// ---------------------------------------------------------------------------
// Object drawing (draw.cpp, draw_frames.cpp, draw_primitives.cpp)

// Which two key frames a draw blends, and with what weight: every position
// and normal is (P - Q) x weight + Q. At weight 0 P is Q, the frame the blend
// gives; P is the frame drawn whole and supplies the bounding sphere.
struct FrameChoice {
    int32_t p, q;
    float weight;
};
// The frame choice for a draw of `frameCount` frames.
FrameChoice ChooseFrames(int32_t from, int32_t to, double position, bool interpolate, int32_t frameCount);
// Sphere test of the engine's culling: false when a sphere of `radius` about
// `centre` lies outside the cone of `cullTangent` about the view direction.
bool SphereVisible(const float centre[3], float radius, const float eye[3], const float target[3],
                   float cullTangent);
// The bit-pattern square root of the sphere test.
float ApproxSqrt(float value);

void DrawObject(double slot, double frame);
void DrawObjectAnimated(double slot, double from, double to, double position, double interpolate);
// Colours are r + 256 g + 65536 b; widths and sizes held to 1..512.
void DrawLine3D(double x1, double y1, double z1, double x2, double y2, double z2, double colour,
                double width);
void DrawPoint3D(double x, double y, double z, double colour, double size);
// Arrows of 20 units along x (red), y (green), z (blue) at (x, y, z), in the
// camera's space.
void DrawAxes(double x, double y, double z);

// ---------------------------------------------------------------------------
// Objects from commands (build_commands.cpp)

// Empties the slot, gives it one object with one empty frame, makes it the
// generation target and starts a run of the marker kind (0 triangles, 1
// strip, 2 fan). An invalid slot leaves no target.
void BeginObject(double slot, int kind = 1);
// Appends a vertex to the target (colour r + 256 g + 65536 b; the reserved
// words draw white). Nothing without a target.
void AddVertex(double x, double y, double z, double u, double v, double colour);
// Starts a new run of the marker kind in the target.
void NewStrip(int kind = 1);
// Marks the target loaded and clears the target. Fewer than three records
// empty the object; otherwise it is packed, given normals by the normal mode
// and prepared for drawing.
void EndObject();
// Normal mode = the number modulo 3, with the number's sign.
void SetNormalMode(double mode);
// A cube of edge `size` about the origin, as one strip of 16 vertices.
void CreateCube(double slot, double size);

// ---------------------------------------------------------------------------
// Collision and projection (collision.cpp, projection.cpp)

// Object-space tests against frame `frame`'s triangle list; frames that do
// not exist or hold fewer than three records are never hit. The sphere
// touches a triangle within `radius` of its plane over its area or near an
// edge.
bool SphereHitsFrame(const MeshObject& object, int32_t frame, const float centre[3], float radius);
// The ray from `from` (t = 0) to `to` (t = 1): the smallest positive t of a
// crossed triangle, else the negative t nearest 0, else 0.
double RayHitsFrame(const MeshObject& object, int32_t frame, const float from[3], const float to[3]);
// Of two ray results, the one the ray test prefers (0 is no hit).
double CloserRayHit(double a, double b);
// The box of centre and three half-axes overlaps a triangle (separating
// axes; touching overlaps). `reach` is the half-axes' summed length, which
// with the frame's radius bounds the distance worth testing.
bool BoxHitsFrame(const MeshObject& object, int32_t frame, const float centre[3], const float halfAxes[3][3],
                  double reach);
// The commands: the query in the slot's object space as the transform stack
// places it now, over every object of the slot. 1 or 0 (the ray: its t); 0
// without a GL context or for an invalid slot. Debug mode draws the query.
double SphereHitsObject(double slot, double frame, double x, double y, double z, double radius);
// Half extents width / 2 along x and z, height / 2 along y.
double BoxHitsObject(double slot, double frame, double x, double y, double z, double width, double height);
double RayHitsObject(double slot, double frame, double x1, double y1, double z1, double x2, double y2, double z2);
// World to screen (pixels from the top-left, depth 0..1) with the matrices
// and viewport in force; 0 when the point has clip w 0.
int ProjectToScreen(double x, double y, double z, double out[3]);
// Screen (pixels from the top-left, depth 0..1) to world; 0 when it cannot.
int UnprojectFromScreen(double sx, double sy, double sz, double out[3]);

// ---------------------------------------------------------------------------
// Shading effects and stencil shadows (effects.cpp, shadows.cpp)

// Frame 0's edge list: for edge k of triangle t (record 3t + k, corner k to
// k + 1), the triangle sharing its two vertices, or 0xFFFFFFFF.
void BuildEdgeList(MeshObjectX& object);
// Facing list (1 when the light position lies in front of a triangle's
// plane, on the side its normal points to) and the silhouette flags: edges
// of facing triangles whose neighbour is missing or does not face it.
void ComputeFacing(MeshObjectX& object, const std::vector<MeshVertex>& triangles, const float light[3]);
// Sides (and with `caps` the caps) of the shadow volume, counted into the
// stencil buffer in two culling passes. Needs the facing list.
void DrawShadowVolume(MeshObjectX& object, const std::vector<MeshVertex>& triangles, const float light[3],
                      bool caps);
// Enters or leaves the shadow pass; nothing when it is already so. Leaving
// darkens the window where the stencil is not 0 and clears the stencil.
void SetShadowPass(Zadudedo3D& scene, bool on);
// Leaves the shadow pass (frame routine, viewport command); nothing without a GL.
void EndShadowPass();
// Default cartoon shade ramp: 16 levels.
constexpr int kDefaultShadeLevels = 16;
// Replaces the shade ramp by the numbers (0..1, x 255 truncated, one byte
// each); no numbers give the single level 255. Every palette texture is
// deleted, to be rebuilt on its next cartoon draw.
void SetShadeRamp(const double* levels, size_t count);
// The command: a one-dimensional array of at least one number; anything
// else is fatal error 9.
void SetShadeRampCommand(const NumberArray& levels);
// Palette size of an object with `colours` table entries under the ramp.
struct PaletteSize {
    int32_t width, height;
    float scale;
};
PaletteSize PaletteSizeFor(size_t colours);
// Builds the object's cartoon palette texture when it has none (GL needed).
void BuildPaletteTexture(MeshObjectX& object);

// ---------------------------------------------------------------------------
// Slot queries (scene_query.cpp)

// Records (three per triangle) of frame 0 of every object of the slot; 0 for
// an empty or invalid slot.
double CountTriangleVertices(double slot);
// Dimensions `out` to 3 x 9 and fills row k with x, y, z, u, v, colour word,
// nx, ny, nz of record index + k of frame `frame` (the slot's objects taken
// one after another). An index past the last record leaves it zeroed.
void GetTriangle(double slot, double frame, double index, NumberArray& out);

// ---------------------------------------------------------------------------
// Lights and fog (light.cpp, fog.cpp)

// Light n & 7 from the colour (r + 256 g + 65536 b), position, direction and
// cone: 0 turns it off, 180 directional, above 90 a point light, otherwise a
// spot; position and direction all 0 is a light along the view. Negative n
// sets the effect light instead (-1 relief, -3 shadow, others cartoon).
void SetLight(double n, double colour, double px, double py, double pz, double dx, double dy, double dz,
              double cone);
void SetSimpleLight(double n, double colour);
// Fog: colour -1 turns it off; mode 0 linear from start to end (both 0: the
// projection's near and far), otherwise exponential with `start` as density.
void SetFog(double colour, double mode, double start, double end);

// ---------------------------------------------------------------------------
// Shader programs (shader.cpp)

// Builds slot 0..254 from a vertex and a fragment source file (either may be
// missing) resolved through the data archive. 1 when a program linked, else 0;
// compile and link logs go to the error log (debug output in debug mode).
double LoadShader(double slot, const char* vertexFile, const char* fragmentFile);
// Makes the slot's program current; 255 or more: the fixed-function pipeline.
void UseShader(double slot);
// Uniforms of the current program by name; an unknown name does nothing.
void SetShaderFloat(const char* name, double value);
void SetShaderInt(const char* name, double value);
