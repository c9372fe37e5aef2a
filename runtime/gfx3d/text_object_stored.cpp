// The binary form carried by a text object file: written as hex comment
// lines after the text, read back when the text still matches it.
#include "gfx3d/text_object_stored.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "files/file_io.h"
#include "gfx3d/mesh_internal.h"

// ---------------------------------------------------------------------------
// State

namespace {

constexpr char kLinePrefix[] = "#@ddd ";
constexpr size_t kPrefixLength = sizeof kLinePrefix - 1;
constexpr size_t kBytesPerLine = 48;
// The first bytes of a binary object file.
constexpr uint32_t kBinaryMagic = 0x00C6B317;

// ---------------------------------------------------------------------------
// Internal helpers

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The tokens of a text object file as its reader sees them: blanks separate,
// "#" starts a comment to the end of the line and ends a token.
std::vector<std::string_view> Tokens(const char* at, const char* end) {
    std::vector<std::string_view> tokens;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (at < end) {
        if (blank(*at)) {
            ++at;
        } else if (*at == '#') {
            const void* lineEnd = std::memchr(at, '\n', (size_t)(end - at));
            at = lineEnd ? (const char*)lineEnd + 1 : end;
        } else {
            const char* start = at;
            while (at < end && !blank(*at) && *at != '#') ++at;
            tokens.emplace_back(start, (size_t)(at - start));
        }
    }
    return tokens;
}

// Collects the bytes of the "#@ddd" lines: the first says "bytes N", the
// others hold hex pairs. False for anything else, or a count that differs.
bool CollectBytes(const char* at, const char* end, std::vector<uint8_t>& bytes) {
    // Two hex digits a byte: a count the text cannot hold is refused before
    // anything is reserved for it.
    const size_t most = (size_t)(end - at) / 2;
    bool counted = false;
    size_t expected = 0;
    while (at < end) {
        const char* lineEnd = (const char*)std::memchr(at, '\n', (size_t)(end - at));
        if (!lineEnd) lineEnd = end;
        std::string_view line(at, (size_t)(lineEnd - at));
        at = lineEnd < end ? lineEnd + 1 : end;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.substr(0, kPrefixLength) != kLinePrefix) continue;
        line.remove_prefix(kPrefixLength);
        if (!counted) {
            if (line.substr(0, 6) != "bytes ") return false;
            line.remove_prefix(6);
            if (line.empty() || line.size() > 10) return false;
            for (char c : line) {
                if (c < '0' || c > '9') return false;
                expected = expected * 10 + (size_t)(c - '0');
            }
            if (expected > most || (int64_t)expected > kLargestObjectFile) return false;
            bytes.reserve(expected);
            counted = true;
            continue;
        }
        if (line.size() % 2 != 0 || bytes.size() + line.size() / 2 > expected) return false;
        for (size_t i = 0; i < line.size(); i += 2) {
            int high = HexDigit(line[i]), low = HexDigit(line[i + 1]);
            if (high < 0 || low < 0) return false;
            bytes.push_back((uint8_t)(high << 4 | low));
        }
    }
    return counted && bytes.size() == expected;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

std::string StoredBinaryForm(const MeshObject& object) {
    const std::vector<uint8_t> bytes = ObjectToBytes(object);
    std::string out =
        "# The binary form this text was written from, for converting back to the same bytes;\n"
        "# it counts only while every number above is unchanged. A packed coordinate q\n"
        "# stands for (q - bias) x scale on its axis.\n";
    char line[200];
    for (size_t f = 0; f < object.frames.size(); ++f) {
        const MeshFrame& frame = object.frames[f];
        std::snprintf(line, sizeof line, "# frame %zu: bias %.9g %.9g %.9g, scale %.9g %.9g %.9g\n", f,
                      frame.bias[0], frame.bias[1], frame.bias[2], frame.scale[0], frame.scale[1],
                      frame.scale[2]);
        out += line;
    }
    std::snprintf(line, sizeof line, "%sbytes %zu\n", kLinePrefix, bytes.size());
    out += line;
    static const char kHex[] = "0123456789abcdef";
    for (size_t start = 0; start < bytes.size(); start += kBytesPerLine) {
        out += kLinePrefix;
        for (size_t i = start; i < bytes.size() && i < start + kBytesPerLine; ++i) {
            out += kHex[bytes[i] >> 4];
            out += kHex[bytes[i] & 15];
        }
        out += '\n';
    }
    return out;
}

bool ReadStoredBinaryForm(MeshObject& object, const uint8_t* data, size_t size) {
    const char* text = (const char*)data;
    std::vector<uint8_t> bytes;
    if (!CollectBytes(text, text + size, bytes)) return false;
    if (bytes.size() < 4 || ReadLe32(bytes.data()) != kBinaryMagic) return false;
    MeshObject stored;
    if (!LoadObjectFromBytes(stored, bytes.data(), bytes.size(), false, "")) return false;
    MeshObject copy = stored;
    const std::string written = ObjectToText(copy);
    if (Tokens(text, text + size) != Tokens(written.data(), written.data() + written.size())) return false;
    object = std::move(stored);
    return true;
}
