// External library functions: a library is loaded by name once, kept for the
// rest of the run, and asked for the addresses of its exported functions.
#pragma once

#include "strings/runtime_string.h"

// Lowers A-Z of `libraryName` in place, loads the library under that name
// once (when the lowered name is not found on this case-sensitive system, the
// name as given is tried as well), and stores the address of `functionName`
// in `address`: null when the library cannot be loaded (tried again on the
// next call; in debug mode with a debugger attached "TXFailed to load: " and
// the name go to the debugger) or has no such export.
void ExternalFunction(RuntimeString& libraryName, const RuntimeString& functionName,
                      void*& address);
// Number of libraries loaded so far.
int LoadedLibraryCount();
// Releases every loaded library (program exit).
void LibrariesRelease();
