// Header skipping of an HTTP reply.
#include "net/http_reply.h"

size_t SkipHttpHeader(HttpHeaderSkip& skip, const char* bytes, size_t count) {
    // After the header end nothing more is scanned: a body may hold empty lines.
    if (skip.counter >= 2) return 0;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\n') ++skip.counter;
        else if (bytes[i] != '\r') skip.counter = 0;
        if (skip.counter == 2) return i + 1;
    }
    return count;
}
