// How the C library keeps freed memory. The GL driver allocates and frees
// large blocks for every frame's drawing; handing them back to the system each
// time and faulting fresh pages in again cost about a fifth of a busy frame.
#include "platform/platform.h"

#include <malloc.h>

void PlatformKeepFreedMemory() {
#if defined(__GLIBC__)
    // Up to 64 MB of freed memory stays with the program, and blocks up to
    // 32 MB come from the heap rather than from a mapping of their own.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}
