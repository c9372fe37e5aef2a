// The reading of an HTTP reply: the status line and headers are skipped up
// to the first empty line (CR LF or bare LF endings), carried across reads.
#pragma once

#include <cstddef>

struct HttpHeaderSkip {
    // Line feeds seen since the last byte that was neither CR nor LF; the
    // body starts once it reaches 2.
    int counter = 0;
};

// Feeds one read. Returns where the body starts in these bytes: `count` when
// all of them are still header, 0 once the body has begun in an earlier read.
size_t SkipHttpHeader(HttpHeaderSkip& skip, const char* bytes, size_t count);
