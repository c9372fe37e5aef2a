// Fuzz target: the header skipping of an HTTP reply. The first byte sets
// where the reply is cut into reads; the body found must not depend on the
// cuts and must be what follows the first empty line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/http_reply.h"

namespace {

// The body by the rule read off the whole reply at once.
std::string WholeBody(const char* bytes, size_t count) {
    int counter = 0;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\n') ++counter;
        else if (bytes[i] != '\r') counter = 0;
        if (counter == 2) return std::string(bytes + i + 1, count - i - 1);
    }
    return std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t step = (size_t)data[0] % 17 + 1;
    const char* reply = (const char*)data + 1;
    size_t count = size - 1;
    HttpHeaderSkip skip;
    std::string body;
    for (size_t at = 0; at < count; at += step) {
        size_t piece = count - at < step ? count - at : step;
        size_t start = SkipHttpHeader(skip, reply + at, piece);
        if (start > piece) std::abort();
        body.append(reply + at + start, piece - start);
    }
    if (body != WholeBody(reply, count)) std::abort();
    return 0;
}
