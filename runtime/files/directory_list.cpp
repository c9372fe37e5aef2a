// Listing the current directory into a text array, with the wildcard match.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "files/file_io.h"
#include "files/linefile.h"
#include "strings/text_array.h"

bool WildcardMatch(const char* pattern, const char* name) {
    // Backtracking to the last "*": on a mismatch the star takes one more
    // character and the rest is tried again.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if ((*pattern == '?' && *name != '.') ||
                   (*pattern && *pattern != '?' && LowerAscii(*pattern) == LowerAscii(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

double DirectoryList(const char* pattern, TextArray& names) {
    if (!pattern) pattern = "";
    // The system lists "." and ".." first as directories of every directory.
    std::vector<std::string> directories = {".", ".."};
    std::vector<std::string> files;
    std::error_code ec;
    std::filesystem::directory_iterator it(".", ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::error_code kindError;
        if (it->is_directory(kindError))
            directories.push_back(name);
        else if (WildcardMatch(pattern, name.c_str()))
            files.push_back(name);
    }
    names.Dimension((double)(directories.size() + files.size()));
    size_t i = 0;
    for (const std::string& d : directories) names.At((int64_t)i++) = d.c_str();
    for (const std::string& f : files) names.At((int64_t)i++) = f.c_str();
    return (double)directories.size() * 65536.0 + (double)files.size();
}
