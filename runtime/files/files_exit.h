// The files subsystem's exit handler: at program exit (the end of the program
// calls exit) it saves a modified configuration file and line file, closes the
// open file channels and releases the loaded libraries, in that order.
#pragma once

// Registers the handler with std::atexit once; later calls do nothing. Every
// facility that holds state to settle at exit calls it on first use.
void FilesInstallExitHandler();
// The handler's work, callable directly (idempotent).
void FilesAtExit();
