// Command-line handling shared by the tools: --help and -h print the usage on
// standard output and end with 0 before anything is written; an unknown
// option, or a missing or extra argument, prints one line saying so and the
// usage on standard error and ends with 2. "--" ends the options, so a file
// whose name starts with "-" can still be named.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

struct ToolCommandLine {
    const char* name;   // the tool's name, starting each error line
    const char* usage;  // the usage text, ended by a line feed
};

// Prints "<name>: <message>" and the usage on standard error; returns 2.
inline int UsageError(const ToolCommandLine& tool, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n%s", tool.name, message.c_str(), tool.usage);
    return 2;
}

// Sorts out argv[1..]: fills operands with the arguments that are no options
// and returns -1 to go on, or the exit code when the tool is to end here
// (0 after --help, 2 after an unknown option).
inline int ReadCommandLine(const ToolCommandLine& tool, int argc, char** argv,
                           std::vector<std::string>& operands) {
    // --help wins wherever it stands among the options, even after a bad one.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(tool.usage, stdout);
            return 0;
        }
    }
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && std::strcmp(arg, "--") == 0) {
            options = false;
            continue;
        }
        if (options && arg[0] == '-' && arg[1] != 0) return UsageError(tool, std::string("unknown option ") + arg);
        operands.push_back(arg);
    }
    return -1;
}

// Checks the operand count against low..high; returns -1 when it fits, else
// the exit code 2 after saying what is missing or too much.
inline int CheckOperandCount(const ToolCommandLine& tool, const std::vector<std::string>& operands,
                             size_t low, size_t high) {
    if (operands.size() < low) return UsageError(tool, "missing argument");
    if (operands.size() > high) return UsageError(tool, "too many arguments");
    return -1;
}
