// Journal cost: the size of ten minutes of play at 60 frames a second with
// ordinary keyboard and mouse input, and the time the writer spends per frame
// beside the 16.7 ms a frame has. The input is made up but shaped like play:
// the mouse moves in bursts, keys are held for a few frames, a click now and then.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_timing.h"
#include "platform/journal_format.h"

namespace {

constexpr long kFrames = 10 * 60 * 60;

JournalRecord Clock(int64_t delta) {
    JournalRecord r;
    r.type = JournalRecordType::Clock;
    r.number = delta;
    return r;
}

JournalRecord Event(uint64_t poll, uint32_t kind, std::initializer_list<int64_t> values) {
    JournalRecord r;
    r.type = JournalRecordType::Event;
    r.poll = poll;
    r.event.kind = kind;
    for (int64_t v : values) r.event.values[r.event.count++] = v;
    return r;
}

// Writes the made-up session; returns the events written.
long WriteSession(const char* path) {
    JournalWriter writer;
    if (!writer.Open(path)) std::exit(1);
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    long events = 0;
    int x = 160, y = 120, burst = 0;
    JournalRecord frame;
    frame.type = JournalRecordType::Frame;
    for (long f = 0; f < kFrames; ++f) {
        // The script's Lua_Runtime and the frame's start time.
        writer.Add(Clock(16000000 + (int64_t)(next() % 1500000)));
        if (burst == 0 && next() % 100 < 4) burst = 10 + (int)(next() % 50);
        if (burst > 0) {
            --burst;
            int dx = (int)(next() % 7) - 3, dy = (int)(next() % 5) - 2;
            x += dx;
            y += dy;
            writer.Add(Event(3, 5, {x, y, dx, dy, 0}));
            ++events;
        }
        if (next() % 100 < 6) {
            writer.Add(Event(1, next() % 2 ? 1 : 2, {(int64_t)(4 + next() % 40), (int64_t)(97 + next() % 26), 0, 0}));
            ++events;
        }
        if (next() % 1000 < 5) {
            writer.Add(Event(2, 6, {1, 1, x, y}));
            writer.Add(Event(4, 7, {1, 1, x, y}));
            events += 2;
        }
        writer.Add(Clock(200000 + (int64_t)(next() % 50000)));
        writer.Add(frame);
        writer.EndBlockIfDue(false);
    }
    writer.Close();
    return events;
}

}  // namespace

int main() {
    const char* path = "/tmp/revev-journal-bench.rvj";
    long events = 0;
    auto start = BenchClock::now();
    events = WriteSession(path);
    double seconds = Seconds(BenchClock::now() - start);
    std::FILE* file = std::fopen(path, "rb");
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::fclose(file);
    std::printf("journal: %ld frames (10 min at 60 fps), %ld input events\n", kFrames, events);
    std::printf("  size            %9.1f KB (%.1f bytes a frame)\n", size / 1000.0, (double)size / kFrames);
    std::printf("  writer per frame %8.2f us (%.3f %% of a 16.7 ms frame)\n", seconds / kFrames * 1e6,
                seconds / kFrames / (1.0 / 60) * 100);
    std::remove(path);
    return 0;
}
