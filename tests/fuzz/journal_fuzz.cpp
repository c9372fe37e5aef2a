// Fuzz target: the journal reader. Whatever the bytes, parsing keeps only
// whole blocks inside the input, the walk over their records ends, every
// record decoded encodes into bytes that decode to the same record, and the
// bytes of outside data read back without reading past them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/journal.h"
#include "platform/journal_format.h"

// The bytes of an outside-data record, read as its sources read them: every
// take moves forward or fails, and a failure stays.
static void WalkData(const std::string& bytes) {
    JournalBytes data(bytes);
    for (size_t i = 0; !data.AtEnd() && !data.Failed(); ++i) {
        if (i > bytes.size()) std::abort();
        if (i % 2) data.TakeText();
        else data.TakeInt();
    }
    if (data.Failed() && (data.TakeInt() != 0 || !data.TakeText().empty())) std::abort();
}

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
        if (record.type == JournalRecordType::Data) WalkData(record.text);
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
