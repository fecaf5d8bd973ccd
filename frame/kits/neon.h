// The NEON word kit, for little-endian arm64.
#pragma once

#include "frame/word_kit.h"

#if WORD_KIT_NEON

#include <arm_neon.h>

// Every arm64 processor: 16 bytes a vector, closing up by table lookups of
// 8 bytes, and bits reversed in one instruction.
namespace word_kit_neon {

using namespace word_kit_common;

struct Word {
    uint8x16_t parts[4];
};

inline Word load_word(const unsigned char* at) {
    return Word{{vld1q_u8(at), vld1q_u8(at + 16), vld1q_u8(at + 32), vld1q_u8(at + 48)}};
}

inline void store_word(const Word& word, unsigned char* at) {
    for (int i = 0; i < 4; ++i) {
        vst1q_u8(at + 16 * i, word.parts[i]);
    }
}

inline uint8x16_t bit_weights() {
    return vreinterpretq_u8_u64(vdupq_n_u64(0x8040201008040201));
}

// Each byte's match weighed by its bit, then added up in pairs until the 64
// bits lie in one register.
inline std::uint64_t equal_bytes(const Word& word, unsigned char value) {
    const uint8x16_t match = vdupq_n_u8(value);
    const uint8x16_t weights = bit_weights();
    uint8x16_t weighed[4];
    for (int i = 0; i < 4; ++i) {
        weighed[i] = vandq_u8(vceqq_u8(word.parts[i], match), weights);
    }
    uint8x16_t sum =
        vpaddq_u8(vpaddq_u8(weighed[0], weighed[1]), vpaddq_u8(weighed[2], weighed[3]));
    sum = vpaddq_u8(sum, sum);
    return vgetq_lane_u64(vreinterpretq_u64_u8(sum), 0);
}

// Spaces, tabs and carriage returns, by the lookup on the low four bits.
inline std::uint64_t blank_bytes(const Word& word) {
    const uint8x16_t lookup = vld1q_u8(blank_lookup.bytes);
    const uint8x16_t low = vdupq_n_u8(0x0f);
    Word found;
    for (int i = 0; i < 4; ++i) {
        found.parts[i] = vqtbl1q_u8(lookup, vandq_u8(word.parts[i], low));
        found.parts[i] = vceqq_u8(found.parts[i], word.parts[i]);
    }
    return equal_bytes(found, 0xff);
}

inline Word replace_bytes(const Word& word, std::uint64_t where, unsigned char value) {
    const uint8x16_t put = vdupq_n_u8(value);
    const uint8x16_t weights = bit_weights();
    Word replaced;
    for (int i = 0; i < 4; ++i) {
        const auto bits16 = static_cast<unsigned>(where >> (16 * i));
        const uint8x16_t spread = vcombine_u8(vdup_n_u8(static_cast<std::uint8_t>(bits16)),
                                              vdup_n_u8(static_cast<std::uint8_t>(bits16 >> 8)));
        replaced.parts[i] = vbslq_u8(vtstq_u8(spread, weights), put, word.parts[i]);
    }
    return replaced;
}

inline std::size_t compact_word(const Word& word, std::uint64_t keep, unsigned char* to) {
    std::size_t count = 0;
    for (int i = 0; i < 8; ++i) {
        const unsigned keep8 = static_cast<unsigned>(keep >> (8 * i)) & 0xff;
        const uint8x8_t half =
            i % 2 == 0 ? vget_low_u8(word.parts[i / 2]) : vget_high_u8(word.parts[i / 2]);
        vst1_u8(to + count, vtbl1_u8(half, vcreate_u8(thin_table.shuffles[keep8])));
        count += static_cast<std::size_t>(__builtin_popcount(keep8));
    }
    return count;
}

inline std::uint64_t reverse_in_one(std::uint64_t bits) {
    std::uint64_t reversed;
    asm("rbit %0, %1" : "=r"(reversed) : "r"(bits));
    return reversed;
}

WORD_KIT_PLAIN_STEPS(reverse_in_one)

WORD_KIT_PLAIN_INSERT_AFTER

}  // namespace word_kit_neon

#endif
