// The ISAAC generator (32-bit words, 256-word tables) as published, with the
// seeding that lets a 32-bit clock value enter the initial memory.
#include <cstring>

#include "strings/mathematics.h"
#include "strings/script_numbers.h"

namespace {

RandomState state;

constexpr uint32_t kGoldenRatio = 0x9E3779B9u;

void Mix(uint32_t h[8]) {
    h[0] ^= h[1] << 11; h[3] += h[0]; h[1] += h[2];
    h[1] ^= h[2] >> 2;  h[4] += h[1]; h[2] += h[3];
    h[2] ^= h[3] << 8;  h[5] += h[2]; h[3] += h[4];
    h[3] ^= h[4] >> 16; h[6] += h[3]; h[4] += h[5];
    h[4] ^= h[5] << 10; h[7] += h[4]; h[5] += h[6];
    h[5] ^= h[6] >> 4;  h[0] += h[5]; h[6] += h[7];
    h[6] ^= h[7] << 8;  h[1] += h[6]; h[7] += h[0];
    h[7] ^= h[0] >> 9;  h[2] += h[7]; h[0] += h[1];
}

void GenerationRound() {
    uint32_t* m = state.memory;
    state.c += 1;
    state.b += state.c;
    for (int i = 0; i < 256; ++i) {
        uint32_t x = m[i];
        switch (i & 3) {
            case 0: state.a ^= state.a << 13; break;
            case 1: state.a ^= state.a >> 6; break;
            case 2: state.a ^= state.a << 2; break;
            case 3: state.a ^= state.a >> 16; break;
        }
        state.a += m[(i + 128) & 255];
        uint32_t y = m[(x >> 2) & 255] + state.a + state.b;
        m[i] = y;
        state.b = m[(y >> 10) & 255] + x;
        state.results[i] = state.b;
    }
}

// One pass over memory in blocks of eight: add the source words (if any),
// mix, store.
void InitialisationPass(uint32_t h[8], const uint32_t* source) {
    for (int i = 0; i < 256; i += 8) {
        if (source)
            for (int j = 0; j < 8; ++j) h[j] += source[i + j];
        Mix(h);
        std::memcpy(&state.memory[i], h, sizeof(uint32_t) * 8);
    }
}

}  // namespace

void RandomSeed(double seed) {
    uint32_t seedWord = (uint32_t)(uint64_t)TruncateSaturated(seed);
    std::memset(&state, 0, sizeof state);
    uint32_t h[8];
    for (uint32_t& word : h) word = kGoldenRatio;

    // The seed enters before the published scramble.
    for (int i = 0; i < 256; i += 8) {
        h[0] += seedWord;
        Mix(h);
        std::memcpy(&state.memory[i], h, sizeof h);
    }
    for (int i = 0; i < 4; ++i) Mix(h);
    InitialisationPass(h, state.results);
    InitialisationPass(h, state.memory);
    GenerationRound();
    state.resultCount = 256;
}

double Random(double n) {
    GenerationRound();
    uint32_t r = state.results[0];
    uint32_t modulus = (uint32_t)(uint64_t)TruncateSaturated(n) + 1u;
    if (modulus == 0) return 0.0;
    return (double)(r % modulus);
}

const RandomState& RandomGeneratorState() {
    return state;
}
