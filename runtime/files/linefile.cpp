// The process-wide line file: loading through the data archive, line access,
// and write-back on change of file and at exit.
#include "files/linefile.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "core/engine.h"
#include "files/archive.h"
#include "files/channels.h"
#include "files/file_io.h"
#include "files/files_exit.h"

// ---------------------------------------------------------------------------
// State

namespace {

LineFile lineFile;
// The held name's file could not be read, so a later request for the same
// name tries again instead of answering from the empty lines.
bool heldMissing = false;
// Where the held file is written back: its name taken from the directory that
// was current when it was loaded.
std::string savePath;

// The held file as it was read, so that a write-back rewrites only the lines
// the script put: lines past the 256th and pieces of long lines that the
// script did not change go back byte for byte.
struct HeldSource {
    std::string bytes;                   // the whole file
    uint32_t lineEnd[kLineFileLines];    // where line i's bytes (line end included) end
    int lines = 0;                       // lines read
    bool put[kLineFileLines];            // the script stored line i
    // The file could not be held whole; writing back would lose its rest.
    bool tooLarge = false;
};
HeldSource source;

}  // namespace

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

void ClearHeld() {
    std::memset(lineFile.lines, 0, sizeof lineFile.lines);
    lineFile.modified = 0;
    lineFile.name[0] = 0;
    lineFile.lastLine = 0;
    heldMissing = false;
    savePath.clear();
    source.bytes.clear();
    source.lines = 0;
    std::memset(source.put, 0, sizeof source.put);
    source.tooLarge = false;
}

// Reads the open file whole into `source` and its first lines into the held
// lines; false when it cannot be read.
bool ReadLines(FILE* file) {
    int64_t length = FileLength(file);
    if (length < 0) return false;
    try {
        source.bytes.resize((size_t)length);
    } catch (const std::bad_alloc&) {
        source.tooLarge = true;
        return false;
    }
    if (!ReadExact(file, source.bytes.data(), source.bytes.size()) || !SeekTo(file, 0))
        return false;
    uint32_t consumed = 0, offset = 0;
    int count = 0;
    // Lines longer than a line's 1023 bytes continue in the next line.
    while (count < kLineFileLines &&
           ReadLineBlocks(file, lineFile.lines[count], consumed, kLineFileWidth - 1)) {
        offset += consumed;
        source.lineEnd[count++] = offset;
    }
    source.lines = count;
    lineFile.lastLine = count > 0 ? count - 1 : 0;
    return true;
}

// Reads `name` into the lines; false when it cannot be resolved or read.
bool ReadHeld(const char* name) {
    char path[kDataPathMax + 1];
    if (!ResolveDataFile(engine.dataArchives, name, path)) return false;
    FILE* file = OpenForReading(path);
    bool read = file && ReadLines(file);
    if (file) std::fclose(file);
    // Read whole: an unpacked copy has served its purpose.
    ReleaseDataFile(engine.dataArchives);
    if (!read) {
        source.bytes.clear();
        source.lines = 0;
    }
    return read;
}

// The bytes a write-back produces: the lines as read where the script put
// nothing, the put lines each ended by "\r\n", then the unread rest.
std::string WriteBackText() {
    std::string text;
    for (int i = 0; i <= lineFile.lastLine && i < kLineFileLines; ++i) {
        if (i < source.lines && !source.put[i]) {
            uint32_t begin = i > 0 ? source.lineEnd[i - 1] : 0;
            text.append(source.bytes, begin, source.lineEnd[i] - begin);
            // The file's last line had no line end; lines put after it need one.
            bool endOfFile = source.lineEnd[i] == source.bytes.size();
            if (endOfFile && i < lineFile.lastLine && text.back() != '\n') text += "\r\n";
        } else {
            text += lineFile.lines[i];
            text += "\r\n";
        }
    }
    if (source.lines > 0) text.append(source.bytes, source.lineEnd[source.lines - 1]);
    return text;
}

// Makes `name` the held file. 0 on success, 3 when it cannot be loaded, -1
// when the name cannot be held at all.
int LoadHeld(const char* name) {
    FilesInstallExitHandler();
    if (!name) name = "";
    if (std::strlen(name) >= (size_t)kLineFileWidth) return -1;
    if (std::strcmp(name, lineFile.name) == 0 && lineFile.name[0] &&
        (!heldMissing || lineFile.modified))
        return 0;
    LineFileWriteBack();
    ClearHeld();
    std::strcpy(lineFile.name, name);
    savePath = AbsolutePath(name);
    if (ReadHeld(name)) return 0;
    std::memset(lineFile.lines, 0, sizeof lineFile.lines);
    lineFile.lastLine = 0;
    heldMissing = true;
    engine.errorNumber = 3;
    return 3;
}

// Line number truncated toward zero; -1 (after recording error 7) when outside
// 0..255.
int CheckedLine(double line) {
    double t = std::trunc(line);
    if (t >= 0.0 && t < (double)kLineFileLines) return (int)t;
    engine.errorNumber = 7;
    return -1;
}

// Line i without its trailing bytes below 32.
RuntimeString TrimmedLine(int i) {
    const char* text = lineFile.lines[i];
    size_t n = std::strlen(text);
    while (n > 0 && (unsigned char)text[n - 1] < 32) --n;
    RuntimeString result;
    char* buffer = result.WritableBuffer((uint32_t)n);
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
    result.Recount();
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions

double LineFileGet(const char* name, double line, RuntimeString& text) {
    int i = CheckedLine(line);
    if (i < 0) {
        text = "NO_DATA";
        return 7;
    }
    if (LoadHeld(name) != 0) {
        engine.errorNumber = 3;
        text = "NO_FILE";
        return 3;
    }
    text = TrimmedLine(i);
    if (text.Length() == 0) text = "NO_DATA";
    return 0;
}

double LineFileGetNumber(const char* name, double line, double& value) {
    RuntimeString text;
    LineFileGet(name, line, text);
    return value = TextToNumber(text.Text());
}

void LineFilePut(const char* name, double line, const char* text) {
    int i = CheckedLine(line);
    if (i < 0) return;
    // A failed load is fine: the file is created when written back.
    if (LoadHeld(name) < 0) return;
    size_t n = text ? std::strlen(text) : 0;
    if (n > (size_t)kLineFileWidth - 1) n = kLineFileWidth - 1;
    std::memset(lineFile.lines[i], 0, kLineFileWidth);
    if (n) std::memcpy(lineFile.lines[i], text, n);
    if (i > lineFile.lastLine) lineFile.lastLine = i;
    source.put[i] = true;
    lineFile.modified = 1;
}

void LineFilePutNumber(const char* name, double line, double value) {
    LineFilePut(name, line, RuntimeString(value).Text());
}

void LineFileWriteBack() {
    if (!lineFile.name[0] || !lineFile.modified) return;
    if (source.tooLarge) {
        ErrorLogAppend(("Could not write " + savePath).c_str());
        lineFile.modified = 0;
        return;
    }
    std::string text = WriteBackText();
    // A failed write leaves the file and the lines as they were, so a later
    // write-back can try again.
    if (ReplaceFileWith(savePath.c_str(), text.data(), text.size())) lineFile.modified = 0;
}

const LineFile& ProcessLineFile() { return lineFile; }
