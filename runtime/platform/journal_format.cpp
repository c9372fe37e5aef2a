// Encoding and decoding of journal records and blocks. Numbers are
// little-endian base-128 varints (signed ones zigzag-coded), texts a varint
// length then the bytes.
#include "platform/journal_format.h"

#include "platform/journal.h"

#include <cstring>

// ---------------------------------------------------------------------------
// Internal helpers

static void PutVarint(std::string& out, uint64_t value) {
    while (value >= 0x80) {
        out += (char)(uint8_t)(value | 0x80);
        value >>= 7;
    }
    out += (char)(uint8_t)value;
}

static uint64_t Zigzag(int64_t value) {
    return ((uint64_t)value << 1) ^ (uint64_t)(value >> 63);
}

static int64_t Unzigzag(uint64_t value) { return (int64_t)(value >> 1) ^ -(int64_t)(value & 1); }

static void PutText(std::string& out, const std::string& text) {
    PutVarint(out, text.size());
    out += text;
}

static void PutU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += (char)(uint8_t)(value >> (8 * i));
}

static uint32_t GetU32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// A bounded reader over one payload.
struct Reader {
    const uint8_t* p;
    size_t size, at;
    bool ok = true;

    uint64_t Varint() {
        uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at >= size) break;
            uint8_t byte = p[at++];
            value |= (uint64_t)(byte & 0x7F) << shift;
            if (!(byte & 0x80)) return value;
        }
        ok = false;
        return 0;
    }
    int64_t Signed() { return Unzigzag(Varint()); }
    std::string Text(size_t limit) {
        uint64_t length = Varint();
        if (!ok || length > limit || length > size - at) {
            ok = false;
            return std::string();
        }
        std::string text((const char*)p + at, (size_t)length);
        at += (size_t)length;
        return text;
    }
};

static bool KnownType(uint8_t type) {
    switch ((JournalRecordType)type) {
    case JournalRecordType::Info:
    case JournalRecordType::Frame:
    case JournalRecordType::Clock:
    case JournalRecordType::Event:
    case JournalRecordType::Seed:
    case JournalRecordType::Data:
    case JournalRecordType::File:
    case JournalRecordType::End:
        return true;
    }
    return false;
}

static bool Decode(Reader& in, JournalRecord& record) {
    if (in.at >= in.size) return false;
    uint8_t type = in.p[in.at++];
    if (!KnownType(type)) return in.ok = false;
    record = JournalRecord();
    record.type = (JournalRecordType)type;
    switch (record.type) {
    case JournalRecordType::Info:
        record.text = in.Text(4096);
        record.text2 = in.Text(1u << 20);
        break;
    case JournalRecordType::Frame:
        break;
    case JournalRecordType::Clock:
    case JournalRecordType::Seed:
        record.number = in.Signed();
        break;
    case JournalRecordType::Event: {
        record.poll = in.Varint();
        record.event.kind = (uint32_t)in.Varint();
        uint64_t shape = in.Varint();
        uint64_t count = shape >> 1;
        if (!in.ok || count > kJournalEventInts) return in.ok = false;
        record.event.count = (uint32_t)count;
        for (uint64_t i = 0; i < count; ++i) record.event.values[i] = in.Signed();
        if (shape & 1) record.event.text = in.Text(kJournalEventText);
        break;
    }
    case JournalRecordType::Data:
        record.number = in.Signed();
        record.text = in.Text(kJournalMaxBlock);
        break;
    case JournalRecordType::File:
        record.text = in.Text(4096);
        record.number = in.Signed();
        record.hash = in.Varint();
        break;
    case JournalRecordType::End:
        record.number = in.Signed();
        record.poll = in.Varint();
        break;
    }
    return in.ok;
}

// ---------------------------------------------------------------------------
// Public

uint32_t JournalCrc32(const void* data, size_t size) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    const uint8_t* p = (const uint8_t*)data;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

uint64_t JournalHashMore(uint64_t hash, const void* data, size_t size) {
    const uint8_t* p = (const uint8_t*)data;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}

uint64_t JournalHash(const void* data, size_t size) { return JournalHashMore(kJournalHashStart, data, size); }

void JournalEncode(const JournalRecord& record, std::string& out) {
    out += (char)(uint8_t)record.type;
    switch (record.type) {
    case JournalRecordType::Info:
        PutText(out, record.text);
        PutText(out, record.text2);
        break;
    case JournalRecordType::Frame:
        break;
    case JournalRecordType::Clock:
    case JournalRecordType::Seed:
        PutVarint(out, Zigzag(record.number));
        break;
    case JournalRecordType::Event: {
        PutVarint(out, record.poll);
        PutVarint(out, record.event.kind);
        uint32_t count = record.event.count > kJournalEventInts ? (uint32_t)kJournalEventInts : record.event.count;
        bool hasText = !record.event.text.empty();
        PutVarint(out, (uint64_t)count << 1 | (hasText ? 1 : 0));
        for (uint32_t i = 0; i < count; ++i) PutVarint(out, Zigzag(record.event.values[i]));
        if (hasText) PutText(out, record.event.text.substr(0, kJournalEventText));
        break;
    }
    case JournalRecordType::Data:
        PutVarint(out, Zigzag(record.number));
        PutText(out, record.text);
        break;
    case JournalRecordType::File:
        PutText(out, record.text);
        PutVarint(out, Zigzag(record.number));
        PutVarint(out, record.hash);
        break;
    case JournalRecordType::End:
        PutVarint(out, Zigzag(record.number));
        PutVarint(out, record.poll);
        break;
    }
}

bool JournalParse(const uint8_t* data, size_t size, JournalImage& image) {
    image = JournalImage();
    if (size < kJournalHeaderBytes || std::memcmp(data, kJournalMagic, sizeof kJournalMagic) != 0) {
        image.whole = false;
        image.problem = "not a journal (no journal header)";
        return false;
    }
    image.version = GetU32(data + 8);
    if (image.version < kJournalOldestVersion || image.version > kJournalVersion) {
        image.whole = false;
        image.problem = "journal of version " + std::to_string(image.version) + "; this program reads versions " +
                        std::to_string(kJournalOldestVersion) + " to " + std::to_string(kJournalVersion);
        return false;
    }
    size_t at = kJournalHeaderBytes;
    while (at < size) {
        if (size - at < 8) {
            image.problem = "cut short inside a block header";
            break;
        }
        uint32_t length = GetU32(data + at);
        uint32_t crc = GetU32(data + at + 4);
        if (length == 0 || length > kJournalMaxBlock) {
            image.problem = "damaged block header (length " + std::to_string(length) + ")";
            break;
        }
        if (length > size - at - 8) {
            image.problem = "cut short inside a block";
            break;
        }
        if (JournalCrc32(data + at + 8, length) != crc) {
            image.problem = "damaged block (checksum differs)";
            break;
        }
        image.payload.append((const char*)data + at + 8, length);
        ++image.blocks;
        at += 8 + (size_t)length;
    }
    image.whole = image.problem.empty();
    image.damageOffset = at;
    return true;
}

bool JournalCursor::Peek(JournalRecord& record) {
    if (!payload || failed) return false;
    if (peeked) {
        record = cached;
        return true;
    }
    Reader in{(const uint8_t*)payload->data(), payload->size(), offset};
    if (offset >= payload->size()) return false;
    if (!Decode(in, cached)) {
        failed = true;
        return false;
    }
    peekedEnd = in.at;
    peeked = true;
    record = cached;
    return true;
}

JournalWriter::~JournalWriter() { Close(); }

bool JournalWriter::Open(const char* path) {
    Close();
    file = std::fopen(path, "wb");
    if (!file) return false;
    std::string header(kJournalMagic, sizeof kJournalMagic);
    PutU32(header, kJournalVersion);
    failed = std::fwrite(header.data(), 1, header.size(), file) != header.size() || std::fflush(file) != 0;
    written = header.size();
    pending.clear();
    framesPending = 0;
    return !failed;
}

void JournalWriter::Add(const JournalRecord& record) {
    if (!file) return;
    // A record never spans blocks: one that would make its block too large
    // closes the block before it.
    static std::string encoded;
    encoded.clear();
    JournalEncode(record, encoded);
    if (encoded.size() > kJournalMaxBlock) {
        // Larger than any block may be: left out, and the replay says where
        // the journal stops matching the run.
        failed = true;
        return;
    }
    if (pending.size() + encoded.size() > kJournalMaxBlock) EndBlockIfDue(true);
    pending += encoded;
    if (record.type == JournalRecordType::Frame) ++framesPending;
}

void JournalWriter::EndBlockIfDue(bool force) {
    if (!file || pending.empty()) return;
    // About half a second of play, or 4 KiB, per block: a crash loses little
    // and the block headers cost little.
    if (!force && framesPending < 30 && pending.size() < 4096) return;
    std::string head;
    PutU32(head, (uint32_t)pending.size());
    PutU32(head, JournalCrc32(pending.data(), pending.size()));
    bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
              std::fwrite(pending.data(), 1, pending.size(), file) == pending.size() && std::fflush(file) == 0;
    if (!ok) failed = true;
    written += head.size() + pending.size();
    pending.clear();
    framesPending = 0;
}

void JournalWriter::Close() {
    if (!file) return;
    EndBlockIfDue(true);
    std::fclose(file);
    file = nullptr;
}

// ---------------------------------------------------------------------------
// The bytes of one piece of outside data (declared in journal.h)

JournalBytes& JournalBytes::Int(int64_t value) {
    PutVarint(bytes, Zigzag(value));
    return *this;
}

JournalBytes& JournalBytes::Text(const std::string& text) {
    PutText(bytes, text);
    return *this;
}

int64_t JournalBytes::TakeInt() {
    if (failed) return 0;
    Reader in{(const uint8_t*)bytes.data(), bytes.size(), at};
    int64_t value = in.Signed();
    if (!in.ok) {
        failed = true;
        return 0;
    }
    at = in.at;
    return value;
}

std::string JournalBytes::TakeText() {
    if (failed) return std::string();
    Reader in{(const uint8_t*)bytes.data(), bytes.size(), at};
    std::string text = in.Text(bytes.size());
    if (!in.ok) {
        failed = true;
        return std::string();
    }
    at = in.at;
    return text;
}
