// The error banner: a dark red band across the top of the window with the
// message wrapped to its width and the traceback under it, in font 0.
#include "error_banner.h"

#include <algorithm>
#include <vector>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"

// ---------------------------------------------------------------------------
// State

static bool enabled = false;
static std::string shownMessage;
static std::string shownTraceback;

// The band: dark red (0xBBGGRR), two pixels of margin around the text, and
// at most half the window tall, so the frame stays in view under it.
static const double kBandColour = 0x000090;
static const int kMargin = 2;

// ---------------------------------------------------------------------------
// Internal helpers

// Cuts `text` into lines of at most `columns` characters, at its own line
// ends first, then at the last blank that fits (inside a word only when the
// word is longer than a line), and appends them to `lines`.
static void WrapInto(const std::string& text, size_t columns, std::vector<std::string>& lines) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end == start) lines.push_back("");
        size_t at = start;
        while (at < end) {
            size_t cut = std::min(end, at + columns);
            if (cut < end) {
                size_t blank = text.rfind(' ', cut);
                if (blank != std::string::npos && blank > at) cut = blank;
            }
            lines.push_back(text.substr(at, cut - at));
            at = cut;
            while (at < end && text[at] == ' ' && at > start) ++at;
        }
        start = end + 1;
    }
}

// ---------------------------------------------------------------------------
// Public

void EnableErrorBanner(bool on) { enabled = on; }

void ShowErrorBanner(const std::string& message, const std::string& traceback) {
    if (!enabled) return;
    // Called for every failed run: the strings are only written when the
    // error is another one.
    if (shownMessage != message) shownMessage = message;
    if (shownTraceback != traceback) shownTraceback = traceback;
}

void ClearErrorBanner() {
    shownMessage.clear();
    shownTraceback.clear();
}

void DrawErrorBanner() {
    OpenGLZadudedo* screen = engine.screen;
    if (!enabled || shownMessage.empty() || !screen || !screen->glReady) return;
    // The cells of font 0, whichever font the script has chosen.
    const auto chosenFont = engine.currentFont;
    engine.currentFont = 0;
    double fontWidth = 0, fontHeight = 0;
    GetFontSize(fontWidth, fontHeight);
    engine.currentFont = chosenFont;
    const int cellWidth = (int)fontWidth, cellHeight = (int)fontHeight;
    if (cellWidth <= 0 || cellHeight <= 0) return;

    const int width = screen->width, height = screen->height;
    const size_t columns = (size_t)std::max(1, (width - 2 * kMargin) / cellWidth);
    std::vector<std::string> lines;
    WrapInto(shownMessage, columns, lines);
    WrapInto(shownTraceback, columns, lines);
    const size_t most = (size_t)std::max(1, (height / 2 - 2 * kMargin) / cellHeight);
    if (lines.size() > most) lines.resize(most);

    // Whatever the script left of projection and state, the band is drawn
    // in the 2D defaults, as the frame routine sets them after the swap.
    ApplyGlDefaults(*screen, 0, 0, 0, 0);
    DrawRect(0, 0, width, (double)(lines.size() * cellHeight + 2 * kMargin), kBandColour);
    for (size_t i = 0; i < lines.size(); ++i)
        PrintWithFont(0, lines[i].c_str(), kMargin, (double)(kMargin + i * cellHeight), 0.0);
}
