// Fuzz target: the configuration reader. The input is a configuration file;
// whatever it loads must save and load back to the same sections and entries.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "files/inifile.h"

namespace {

std::string savePath;

bool Same(const IniFile& a, const IniFile& b) {
    if (a.sections.size() != b.sections.size()) return false;
    for (size_t i = 0; i < a.sections.size(); ++i) {
        const IniSection& s = a.sections[i];
        const IniSection& t = b.sections[i];
        if (s.name.Compare(t.name.Text()) != 0 || s.entries.size() != t.entries.size())
            return false;
        for (size_t j = 0; j < s.entries.size(); ++j) {
            if (s.entries[j].key.Compare(t.entries[j].key.Text()) != 0 ||
                s.entries[j].value.Compare(t.entries[j].value.Text()) != 0)
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/revev-fuzz-config-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) std::abort();
    savePath = std::string(dir) + "/saved.ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = fmemopen((void*)data, size, "rb");
    if (!file) return 0;
    IniFile ini;
    IniLoadFromFile(ini, file);
    std::fclose(file);
    for (const IniSection& section : ini.sections) {
        if (section.entries.empty()) std::abort();
        for (const IniEntry& entry : section.entries) {
            if (entry.value.Length() == 0) std::abort();
            RuntimeString got = IniGet(ini, section.name.Text(), entry.key.Text());
            if (got.Length() == 0) std::abort();
        }
    }
    ini.iniPath = savePath.c_str();
    ini.modified = 1;
    IniSave(ini);
    IniFile again;
    IniLoad(again, savePath.c_str());
    if (!Same(ini, again)) std::abort();
    return 0;
}
