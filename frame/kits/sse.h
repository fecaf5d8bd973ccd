// The SSSE3 word kit, for x86 processors since 2008.
#pragma once

#include "frame/word_kit.h"

#if WORD_KIT_X86

#include <immintrin.h>

// Closes up 16 bytes in two halves of 8, each by its shuffle from the thin
// table, stored one after the other.
#define WORD_KIT_COMPACT_16(vector, keep16, to, count)                                             \
    do {                                                                                           \
        const unsigned low = (keep16)&0xff;                                                        \
        const unsigned high = (keep16) >> 8 & 0xff;                                                \
        const __m128i shuffle =                                                                    \
            _mm_set_epi64x(static_cast<long long>(thin_table.shuffles[high] + 0x0808080808080808), \
                           static_cast<long long>(thin_table.shuffles[low]));                      \
        const __m128i packed = _mm_shuffle_epi8((vector), shuffle);                                \
        _mm_storel_epi64(reinterpret_cast<__m128i*>((to) + (count)), packed);                      \
        (count) += static_cast<std::size_t>(__builtin_popcount(low));                              \
        _mm_storel_epi64(reinterpret_cast<__m128i*>((to) + (count)),                               \
                         _mm_unpackhi_epi64(packed, packed));                                      \
        (count) += static_cast<std::size_t>(__builtin_popcount(high));                             \
    } while (false)

// Most processors since 2008: 16 bytes a vector.
WORD_KIT_TARGET_BEGIN(WORD_KIT_SSE_TARGETS)
namespace word_kit_sse {

using namespace word_kit_common;

struct Word {
    __m128i parts[4];
};

inline Word load_word(const unsigned char* at) {
    Word word;
    for (int i = 0; i < 4; ++i) {
        word.parts[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * i));
    }
    return word;
}

inline void store_word(const Word& word, unsigned char* at) {
    for (int i = 0; i < 4; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 16 * i), word.parts[i]);
    }
}

inline std::uint64_t equal_bytes(const Word& word, unsigned char value) {
    const __m128i match = _mm_set1_epi8(static_cast<char>(value));
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const auto found =
            static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(word.parts[i], match)));
        mask |= std::uint64_t{found} << (16 * i);
    }
    return mask;
}

// Spaces, tabs and carriage returns, by the lookup.
inline std::uint64_t blank_bytes(const Word& word) {
    const __m128i lookup = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blank_lookup.bytes));
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i found =
            _mm_cmpeq_epi8(_mm_shuffle_epi8(lookup, word.parts[i]), word.parts[i]);
        mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(found))} << (16 * i);
    }
    return mask;
}

// Each bit of 16 as a byte of all ones or none.
inline __m128i bytes_of_bits(unsigned bits16) {
    const __m128i spread = _mm_shuffle_epi8(_mm_cvtsi32_si128(static_cast<int>(bits16)),
                                            _mm_set_epi64x(0x0101010101010101, 0));
    const __m128i weights = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201));
    return _mm_cmpeq_epi8(_mm_and_si128(spread, weights), weights);
}

inline Word replace_bytes(const Word& word, std::uint64_t where, unsigned char value) {
    const __m128i put = _mm_set1_epi8(static_cast<char>(value));
    Word replaced;
    for (int i = 0; i < 4; ++i) {
        const __m128i chosen = bytes_of_bits(static_cast<unsigned>(where >> (16 * i)) & 0xffff);
        replaced.parts[i] =
            _mm_or_si128(_mm_and_si128(chosen, put), _mm_andnot_si128(chosen, word.parts[i]));
    }
    return replaced;
}

inline std::size_t compact_word(const Word& word, std::uint64_t keep, unsigned char* to) {
    std::size_t count = 0;
    for (int i = 0; i < 4; ++i) {
        WORD_KIT_COMPACT_16(word.parts[i], static_cast<unsigned>(keep >> (16 * i)), to, count);
    }
    return count;
}

WORD_KIT_PLAIN_STEPS(reverse_bits)
WORD_KIT_PLAIN_INSERT_AFTER

}  // namespace word_kit_sse
WORD_KIT_TARGET_END

#endif
