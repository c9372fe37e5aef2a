// revev-ddd: converts 3D object files between the text form and the binary
// form, and tells what a file holds. It reads and writes through the
// runtime's own object file code, so what it accepts is what a script loads.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"
#include "gfx3d/mesh.h"
#include "tool_options.h"

static const ToolCommandLine kTool = {
    "revev-ddd",
    "usage: revev-ddd tobin <object file> <out.ddd>   write the binary form\n"
    "       revev-ddd totext <object file> <out.txt>  write the text form (version 1.1)\n"
    "       revev-ddd info <object file>              frames, triangles, bounds, colours\n"
    "Either form is read as input; refusals name the reason on standard error.\n"
    "  -h, --help  print this and exit\n"};

static bool Load(MeshObject& object, const char* path) {
    if (LoadObject(object, path, false)) return true;
    std::fprintf(stderr, "revev-ddd: %s is not a readable object file\n", path);
    return false;
}

static int Info(const char* path) {
    MeshObjectX object;
    if (!Load(object, path)) return 1;
    object.BuildTriangles();
    ComputeBounds(object);
    std::printf("%s: %zu frames, %zu colours\n", path, object.frames.size(), object.colourTable.size());
    for (size_t f = 0; f < object.frames.size(); ++f) {
        const MeshFrame& frame = object.frames[f];
        float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
        for (size_t i = 0; i < frame.triangles.size(); ++i) {
            const float p[3] = {frame.triangles[i].x, frame.triangles[i].y, frame.triangles[i].z};
            for (int a = 0; a < 3; ++a) {
                if (i == 0 || p[a] < low[a]) low[a] = p[a];
                if (i == 0 || p[a] > high[a]) high[a] = p[a];
            }
        }
        std::printf("frame %zu: %zu triangles, x %g..%g, y %g..%g, z %g..%g, radius %g\n", f,
                    frame.triangles.size() / 3, low[0], high[0], low[1], high[1], low[2], high[2], frame.radius);
    }
    for (size_t i = 0; i < object.colourTable.size(); ++i) {
        const uint32_t c = object.colourTable[i];
        if (IsMarker(c)) continue;
        if (c == COLOUR_PLAIN)
            std::printf("colour %zu: plain\n", i);
        else
            std::printf("colour %zu: %u %u %u\n", i, c & 255, (c >> 8) & 255, (c >> 16) & 255);
    }
    return 0;
}

int main(int argc, char** argv) {
    std::vector<std::string> args;
    int end = ReadCommandLine(kTool, argc, argv, args);
    if (end >= 0) return end;
    if (args.empty()) return UsageError(kTool, "missing command");
    const std::string& command = args[0];
    const size_t operands = command == "info" ? 1 : 2;
    if (command != "info" && command != "tobin" && command != "totext")
        return UsageError(kTool, "unknown command " + command);
    if (args.size() < operands + 1) return UsageError(kTool, "missing argument");
    if (args.size() > operands + 1) return UsageError(kTool, "too many arguments");
    const char* in = args[1].c_str();
    if (command == "info") return Info(in);
    const char* out = args[2].c_str();
    MeshObjectX object;
    if (!Load(object, in)) return 1;
    if (command == "tobin") {
        if (SaveObject(object, out)) return 0;
        std::fprintf(stderr, "revev-ddd: cannot write %s\n", out);
        return 1;
    }
    const std::string text = ObjectToText(object);
    FILE* file = std::fopen(out, "wb");
    const bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file && std::fclose(file) == 0 && written) return 0;
    std::fprintf(stderr, "revev-ddd: cannot write %s\n", out);
    return 1;
}
