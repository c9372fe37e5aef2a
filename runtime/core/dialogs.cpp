// The file dialog: the system's own open or save dialog, shown by the zenity
// or kdialog helper when one is installed and a display is present, while the
// game window steps out of the way.
#include "core/engine.h"
#include "platform/journal.h"

#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

// Patterns of a filter entry are ";"-separated; the helpers want blanks.
std::string PatternWords(const std::string& patterns) {
    std::string words;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos) end = patterns.size();
        std::string one = patterns.substr(start, end - start);
        size_t first = one.find_first_not_of(' ');
        size_t last = one.find_last_not_of(' ');
        if (first != std::string::npos) {
            if (!words.empty()) words += ' ';
            words += one.substr(first, last - first + 1);
        }
        start = end + 1;
    }
    return words;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

std::vector<FileDialogFilter> ParseDialogFilter(const char* filter) {
    std::vector<FileDialogFilter> filters;
    if (!filter) return filters;
    std::vector<std::string> parts;
    std::string text = filter;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('|', start);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    // Entries come in pairs, description then patterns; a lone description
    // at the end has nothing to filter by and is dropped, as the system's
    // list would end there too.
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty() && parts[i + 1].empty()) break;
        std::string patterns = PatternWords(parts[i + 1]);
        if (patterns.empty()) continue;
        filters.push_back({parts[i].empty() ? patterns : parts[i], patterns});
    }
    return filters;
}

std::vector<std::string> FileDialogCommand(const std::string& helper, const char* filter,
                                           bool open, const std::string& directory) {
    std::vector<FileDialogFilter> filters = ParseDialogFilter(filter);
    std::string start = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    std::vector<std::string> words;
    if (helper == "kdialog") {
        words = {"kdialog", open ? "--getopenfilename" : "--getsavefilename", start.empty() ? "." : start};
        std::string list;
        for (const FileDialogFilter& f : filters) {
            if (!list.empty()) list += '\n';
            list += f.patterns + "|" + f.description;
        }
        if (!list.empty()) words.push_back(list);
        return words;
    }
    words = {"zenity", "--file-selection"};
    if (!open) {
        words.push_back("--save");
        words.push_back("--confirm-overwrite");
    }
    if (!start.empty()) words.push_back("--filename=" + start);
    for (const FileDialogFilter& f : filters)
        words.push_back("--file-filter=" + f.description + " | " + f.patterns);
    return words;
}

static RuntimeString FileDialogLive(const RuntimeString& filter, double open) {
    std::string helper;
    if (PlatformDisplayPresent()) {
        if (PlatformFindProgram("zenity")) helper = "zenity";
        else if (PlatformFindProgram("kdialog")) helper = "kdialog";
    }
    if (helper.empty()) return RuntimeString("NO_FILE");

    std::string directory = PlatformGetCurrentDirectory();
    OpenGLZadudedo* screen = engine.screen && engine.screen->window ? engine.screen : nullptr;
    if (screen) HideWindow(*screen);

    std::string chosen;
    int exitCode = 0;
    bool ran = PlatformRunCapture(FileDialogCommand(helper, filter.Text(), open != 0.0, directory),
                                  chosen, exitCode);
    // Asked to end while the dialog waited for a person: end now, as after a close.
    if (!ran && PlatformEndRequested()) EndProgram();

    PlatformSetCurrentDirectory(directory.c_str());
    if (screen) {
        if (engine.fullscreen) FullscreenSwitch(*screen);
        else WindowedSwitch(*screen);
    }

    // The helpers end their answer with a line break, and exit with 1 when
    // the user cancels.
    while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
    size_t lineEnd = chosen.find('\n');
    if (lineEnd != std::string::npos) chosen.erase(lineEnd);
    if (!ran || exitCode != 0 || chosen.empty()) return RuntimeString("NO_FILE");
    for (char& c : chosen)
        if (c == '\\') c = '/';
    return RuntimeString(chosen.c_str());
}

// The answer a person gave is outside data: a replay shows no dialog and
// hands back the recording's answer.
RuntimeString FileDialog(const RuntimeString& filter, double open) {
    JournalBytes data;
    if (JournalReplayed(JournalChannel::Dialog, data)) {
        std::string chosen = data.TakeText();
        if (data.Failed()) JournalDataUnreadable();
        return RuntimeString(chosen.c_str());
    }
    RuntimeString chosen;
    {
        JournalQuiet quiet;
        chosen = FileDialogLive(filter, open);
    }
    data.Text(chosen.Text());
    JournalKeep(JournalChannel::Dialog, data);
    return chosen;
}
