// Fuzz target: the journal reader. Whatever the bytes, parsing keeps only
// whole blocks inside the input, the walk over their records ends, and every
// record decoded encodes into bytes that decode to the same record.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/journal_format.h"

// The records of a payload: the walk moves forward, stays inside, and each
// record decoded encodes into bytes that decode to the same record.
static void WalkRecords(const std::string& payload) {
    JournalCursor cursor(&payload);
    JournalRecord record;
    size_t before = 0;
    while (cursor.Peek(record)) {
        cursor.Take();
        if (cursor.Offset() <= before || cursor.Offset() > payload.size()) std::abort();
        std::string again;
        JournalEncode(record, again);
        JournalCursor check(&again);
        JournalRecord second;
        if (!check.Peek(second) || second.type != record.type || second.number != record.number ||
            second.poll != record.poll || second.text != record.text || second.text2 != record.text2 ||
            second.event.count != record.event.count || second.event.text != record.event.text)
            std::abort();
        before = cursor.Offset();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Checksums keep almost every mutation out of the blocks, so the record
    // decoder also gets the raw bytes as a payload.
    WalkRecords(std::string((const char*)data, size));
    JournalImage image;
    if (!JournalParse(data, size, image)) {
        if (!image.payload.empty()) std::abort();
        return 0;
    }
    if (image.payload.size() + kJournalHeaderBytes + 8 * image.blocks > size) std::abort();
    if (image.damageOffset > size) std::abort();
    WalkRecords(image.payload);
    return 0;
}
