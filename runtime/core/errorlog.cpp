// The error log: "ErrorLog.txt" in the temporary directory, one line per
// writer, the file opened and closed for every line.
#include "core/engine.h"

#include <cstdio>

std::string ErrorLogPath() { return PlatformTempDirectory() + "ErrorLog.txt"; }

void ErrorLogAppend(const char* text) {
    std::FILE* file = std::fopen(ErrorLogPath().c_str(), "ab");
    if (!file) return;
    std::fputs(text ? text : "", file);
    std::fputs("\r\n", file);
    std::fclose(file);
}

void ErrorLogDelete() { std::remove(ErrorLogPath().c_str()); }
