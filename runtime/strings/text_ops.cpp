// The text commands TextMid, TextReplace and SplitText.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "strings/text_array.h"

RuntimeString TextMid(const RuntimeString& text, double start, double count) {
    RuntimeString result;
    double length = text.Length();
    // A count of 0 or less gives the empty text, whatever the start: the
    // unsigned end test below would otherwise turn start 2, count -5 into
    // "the rest of the text".
    if (!(count > 0)) return result;
    if (std::trunc(start + count) > length) count = length - start;
    if (!(count > 0) || !(start <= length) || !(start >= 0)) return result;

    uint32_t from = (uint32_t)start;
    double wanted = std::trunc(count);
    uint32_t available = text.Length() - from;
    uint32_t take = wanted < available ? (uint32_t)wanted : available;
    // Bytes up to the first zero, as the copy-then-recount of a raw text gives.
    const char* source = text.Text() + from;
    const void* zero = std::memchr(source, 0, take);
    if (zero) take = (uint32_t)((const char*)zero - source);
    if (take == 0) return result;
    char* out = result.WritableBuffer(take);
    std::memcpy(out, source, take);
    out[take] = 0;
    result.Recount();
    return result;
}

RuntimeString TextReplace(const RuntimeString& text, const RuntimeString& find,
                          const RuntimeString& replacement) {
    const char* haystack = text.Text();
    const char* needle = find.Text();
    size_t findLength = std::strlen(needle);
    if (findLength == 0) return text;

    // One left-to-right pass over the original: each search resumes right
    // after the inserted replacement, where the rest of the original text
    // follows, so this equals rebuilding the text after every occurrence
    // without its quadratic cost.
    std::string result;
    const char* cursor = haystack;
    for (const char* hit; (hit = std::strstr(cursor, needle)) != nullptr; cursor = hit + findLength) {
        result.append(cursor, (size_t)(hit - cursor));
        result.append(replacement.Text());
    }
    result.append(cursor);
    return RuntimeString(result.c_str());
}

double SplitText(const RuntimeString& text, TextArray& array, const RuntimeString& delimiters) {
    array.Dimension(0, 0, 0, 0);
    // The command's own copy, which gets zero bytes where pieces end.
    std::string copy(text.Text());
    const char* set = delimiters.Text();
    char* cursor = copy.data();
    char* end = cursor + copy.size();
    std::vector<RuntimeString> pieces;

    for (;;) {
        if (cursor != end) {
            const char* kept = FindFirstNotOf(cursor, set);
            if (kept) cursor = const_cast<char*>(kept);
        }
        const char* delimiter = FindFirstOf(cursor, set);
        if (!delimiter) {
            if (cursor != end) pieces.emplace_back(cursor);
            break;
        }
        char* cut = const_cast<char*>(delimiter);
        *cut = 0;
        pieces.emplace_back(cursor);
        cursor = cut + 1;
    }

    array.Dimension((double)pieces.size(), 0, 0, 0);
    for (size_t i = 0; i < pieces.size(); ++i) array.At((int64_t)i) = pieces[i];
    return (double)pieces.size();
}
