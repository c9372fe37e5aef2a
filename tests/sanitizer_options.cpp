// Sanitized test programs check memory errors, not leaks: the GL driver keeps
// allocations until exit and unloads before the leak check could name them.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define REVEV_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define REVEV_ASAN 1
#endif

#ifdef REVEV_ASAN
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif
