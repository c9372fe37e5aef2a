// Loading, saving and querying configuration files.
#include "files/inifile.h"

#include <cstring>

#include "files/archive.h"
#include "files/channels.h"
#include "files/file_io.h"
#include "files/files_exit.h"
#include "core/engine.h"

// ---------------------------------------------------------------------------
// State

namespace {
IniFile processIni;
}

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* SkipBlanks(const char* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

// The word from p up to the next blank, zero byte or "=".
const char* WordEnd(const char* p) {
    while (*p && !IsBlank(*p) && *p != '=') ++p;
    return p;
}

RuntimeString Piece(const char* begin, const char* end) {
    RuntimeString text;
    size_t n = (size_t)(end - begin);
    char* buffer = text.WritableBuffer((uint32_t)n);
    std::memcpy(buffer, begin, n);
    buffer[n] = 0;
    text.Recount();
    return text;
}

void ParseLine(IniFile& ini, IniSection& current, const char* line) {
    const char* p = SkipBlanks(line);
    if (*p == ';' || *p == 0) return;
    if (*p == '[') {
        if (!current.entries.empty()) ini.sections.push_back(std::move(current));
        // Every header starts a fresh section, so entries after a header with
        // no usable name never join a section already stored.
        current = IniSection();
        const char* word = SkipBlanks(p + 1);
        const char* end = WordEnd(word);
        if (end > word && end[-1] == ']') --end;
        current.name = Piece(word, end);
        return;
    }
    const char* keyEnd = WordEnd(p);
    const char* q = SkipBlanks(keyEnd);
    if (*q != '=') return;
    q = SkipBlanks(q + 1);
    const char* valueEnd = q + std::strlen(q);
    while (valueEnd > q && (unsigned char)valueEnd[-1] < 32) --valueEnd;
    if (valueEnd == q) return;
    current.entries.push_back(IniEntry{Piece(p, keyEnd), Piece(q, valueEnd)});
}

IniSection* FindSection(IniFile& ini, const char* name, size_t* index = nullptr) {
    for (size_t i = 0; i < ini.sections.size(); ++i) {
        if (EqualNoCase(ini.sections[i].name.Text(), name)) {
            if (index) *index = i;
            return &ini.sections[i];
        }
    }
    return nullptr;
}

// Removes element i by moving the last element into its place.
template <typename T>
void RemoveByLast(std::vector<T>& items, size_t i) {
    if (i + 1 != items.size()) items[i] = std::move(items.back());
    items.pop_back();
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions

void IniLoadFromFile(IniFile& ini, FILE* file) {
    IniSection current;
    char line[kLineMax + 1];
    uint32_t consumed = 0;
    while (ReadLineBlocks(file, line, consumed)) ParseLine(ini, current, line);
    if (!current.entries.empty()) ini.sections.push_back(std::move(current));
}

void IniLoad(IniFile& ini, const char* name) {
    ini.modified = 0;
    ini.sections.clear();
    ini.iniPath = "";
    if (!name || std::strlen(name) > (size_t)kDataPathMax) return;
    // The resolver's buffer must hold 260 bytes.
    char path[kDataPathMax + 1];
    bool found = ResolveDataFile(engine.dataArchives, name, path) != 0;
    // Saved under the name as asked, from the directory current now: a copy
    // unpacked from the archive is never read again (the file on disk comes
    // first next time), and a later change of directory must not move it.
    ini.iniPath = AbsolutePath(name).c_str();
    if (found) {
        if (FILE* file = OpenForReading(path)) {
            IniLoadFromFile(ini, file);
            std::fclose(file);
        }
    }
    // Read whole: an unpacked copy has served its purpose.
    ReleaseDataFile(engine.dataArchives);
}

void IniSave(IniFile& ini) {
    if (!ini.modified || ini.iniPath.Length() == 0) return;
    RuntimeString text;
    for (const IniSection& section : ini.sections) {
        text += "[";
        text += section.name;
        text += "]\r\n";
        for (const IniEntry& entry : section.entries) {
            text += entry.key;
            text += "=";
            text += entry.value;
            text += "\r\n";
        }
    }
    ReplaceFileWith(ini.iniPath.Text(), text.Text(), text.Length());
}

RuntimeString IniGet(const IniFile& ini, const char* section, const char* key) {
    for (const IniSection& s : ini.sections) {
        if (!EqualNoCase(s.name.Text(), section ? section : "")) continue;
        for (const IniEntry& e : s.entries)
            if (EqualNoCase(e.key.Text(), key ? key : "")) return e.value;
        break;
    }
    return RuntimeString("NO_DATA");
}

void IniOpen(const char* name) {
    FilesInstallExitHandler();
    IniSave(processIni);
    IniLoad(processIni, name);
}

RuntimeString IniGetValue(const char* section, const char* key) {
    return IniGet(processIni, section, key);
}

void IniPutValue(const char* section, const char* key, const char* value) {
    FilesInstallExitHandler();
    if (!section) section = "";
    if (!value) value = "";
    size_t index = 0;
    IniSection* s = FindSection(processIni, section, &index);
    if (!key || !*key) {
        if (s) RemoveByLast(processIni.sections, index);
        return;
    }
    if (!s) {
        processIni.sections.push_back(IniSection{RuntimeString(section), {}});
        s = &processIni.sections.back();
    }
    processIni.modified = 1;
    for (size_t i = 0; i < s->entries.size(); ++i) {
        if (!EqualNoCase(s->entries[i].key.Text(), key)) continue;
        if (!*value)
            RemoveByLast(s->entries, i);
        else
            s->entries[i].value = value;
        return;
    }
    s->entries.push_back(IniEntry{RuntimeString(key), RuntimeString(value)});
}

IniFile& ProcessIniFile() { return processIni; }

void IniSaveAtExit() { IniSave(processIni); }
