// The SSSE3 word kit, for x86 processors since 2008.
#pragma once

#include "frame/word_kit.h"

#if WORD_KIT_X86

#include <immintrin.h>

// Doubles the marked bytes of 32 eight at a time, with no step a mark: each
// eight beside the two of the separator in a vector, shuffled by the table for
// their byte of marks, and stored over the spare bytes of the eight before.
#define WORD_KIT_SHUFFLED_INSERT_AFTER                                                     \
    inline std::size_t insert_after(const unsigned char* from, std::uint32_t marks,        \
                                    unsigned char first, unsigned char second,             \
                                    unsigned char* to) {                                   \
        const __m128i separator = _mm_set1_epi16(static_cast<short>(first | second << 8)); \
        std::size_t count = 0;                                                             \
        for (int i = 0; i < 2; ++i) {                                                      \
            const __m128i bytes =                                                          \
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16 * i));          \
            const __m128i eights[2] = {_mm_unpacklo_epi64(bytes, separator),               \
                                       _mm_unpackhi_epi64(bytes, separator)};              \
            for (int j = 0; j < 2; ++j) {                                                  \
                const unsigned marks8 = marks >> (16 * i + 8 * j) & 0xff;                  \
                const __m128i shuffle = _mm_load_si128(                                    \
                    reinterpret_cast<const __m128i*>(doubling_table.shuffles[marks8]));    \
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + count),                   \
                                 _mm_shuffle_epi8(eights[j], shuffle));                    \
                count += 8 + static_cast<std::size_t>(__builtin_popcount(marks8));         \
            }                                                                              \
        }                                                                                  \
        return count;                                                                      \
    }

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
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(word.parts[i], match)));
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
        mask |= std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(found))} << (16 * i);
    }
    return mask;
}

// The shuffles that spread bytes 2 i and 2 i + 1 of a mask over eight bytes
// each, for i from 0 to 3.
alignas(16) inline constexpr unsigned char spread_pairs[4][16] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1},
    {2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3},
    {4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5},
    {6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7},
};

// Bits 16 i to 16 i + 15 of bits, each as a byte of all ones or none: each
// byte of the mask spread over eight, and each of those tested for its bit.
inline __m128i bytes_of_bits(__m128i bits, int i) {
    const __m128i spread =
        _mm_shuffle_epi8(bits, _mm_load_si128(reinterpret_cast<const __m128i*>(spread_pairs[i])));
    const __m128i weights = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201));
    return _mm_cmpeq_epi8(_mm_and_si128(spread, weights), weights);
}

inline Word replace_bytes(const Word& word, std::uint64_t where, unsigned char value) {
    const __m128i put = _mm_set1_epi8(static_cast<char>(value));
    const __m128i bits = _mm_set_epi64x(0, static_cast<long long>(where));
    Word replaced;
    for (int i = 0; i < 4; ++i) {
        const __m128i chosen = bytes_of_bits(bits, i);
        replaced.parts[i] =
            _mm_or_si128(_mm_and_si128(chosen, put), _mm_andnot_si128(chosen, word.parts[i]));
    }
    return replaced;
}

// The bytes equal to from made to, with no mask between: each vector's
// equal bytes, found as all ones, take in from ^ to, which turns them.
inline Word swap_bytes(const Word& word, unsigned char from, unsigned char to) {
    const __m128i pattern = _mm_set1_epi8(static_cast<char>(from));
    const __m128i change = _mm_set1_epi8(static_cast<char>(from ^ to));
    Word swapped;
    for (int i = 0; i < 4; ++i) {
        const __m128i found = _mm_cmpeq_epi8(word.parts[i], pattern);
        swapped.parts[i] = _mm_xor_si128(word.parts[i], _mm_and_si128(found, change));
    }
    return swapped;
}

// A word that keeps every byte, as most do in text with few blank lines, is
// stored whole.
inline std::size_t compact_word(const Word& word, std::uint64_t keep, unsigned char* to) {
    if (keep == ~std::uint64_t{0}) {
        store_word(word, to);
        return 64;
    }
    // Each eight bytes by the shuffle for their byte of keep, the two of a
    // vector loaded into its halves and shuffled at once; each half stored
    // after the bytes kept before it.
    std::size_t count = 0;
    for (int i = 0; i < 4; ++i) {
        const auto keep16 = static_cast<unsigned>(keep >> (16 * i)) & 0xffff;
        const unsigned low = keep16 & 0xff;
        const unsigned high = keep16 >> 8;
        __m128i shuffle =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&thin_table.shuffles[low]));
        shuffle = _mm_castps_si128(_mm_loadh_pi(
            _mm_castsi128_ps(shuffle), reinterpret_cast<const __m64*>(&thin_table.shuffles[high])));
        const __m128i packed = _mm_shuffle_epi8(
            word.parts[i], _mm_add_epi8(shuffle, _mm_set_epi64x(0x0808080808080808, 0)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to + count), packed);
        _mm_storeh_pi(reinterpret_cast<__m64*>(to + count +
                                               static_cast<std::size_t>(__builtin_popcount(low))),
                      _mm_castsi128_ps(packed));
        count += static_cast<std::size_t>(__builtin_popcount(keep16));
    }
    return count;
}

// The marks spread over their lines in rounds of shifts, a shorter chain than
// reversing the masks for an addition; most words of most text mark no line
// at all.
inline std::uint64_t marked_lines(std::uint64_t marked, std::uint64_t feeds) {
    return marked == 0 ? 0 : marked_lines_by_spreading(marked, feeds);
}

// a when bit is set, else b, by a mask: the negation of a bit sets the top
// one. Left to it, the compiler makes a branch of this choice in pelku's pass
// with this kit's steps.
inline std::size_t pick_if_set(std::uint64_t bit, std::size_t a, std::size_t b) {
    const auto set = static_cast<std::size_t>(static_cast<std::int64_t>(0 - bit) >> 63);
    return b + ((a - b) & set);
}

// The parity of the bits at and below each bit.
inline std::uint64_t prefix_xor(std::uint64_t bits) {
    for (int shift = 1; shift < 64; shift *= 2) {
        bits ^= bits << shift;
    }
    return bits;
}

// The other periods a line feed at a time, out of line: their loop, seldom
// run, stays out of the passes that count group ends in every word.
[[gnu::noinline]] inline std::uint64_t every_nth_stepping(std::uint64_t feeds, int first,
                                                          std::uint64_t period) {
    return every_nth_plainly(feeds, first, period);
}

// Joining every line or every two, the common cases, takes no step a line
// feed: after the first one dropped or not, all of them or those with an
// even number below them.
inline std::uint64_t every_nth(std::uint64_t feeds, int first, std::uint64_t period) {
    if (period > 2 || first > 1) {
        return every_nth_stepping(feeds, first, period);
    }
    const std::uint64_t from =
        feeds & ~(feeds & (0 - feeds) & (0 - static_cast<std::uint64_t>(first)));
    return period == 1 ? from : from & prefix_xor(from);
}

WORD_KIT_SHUFFLED_INSERT_AFTER

}  // namespace word_kit_sse
WORD_KIT_TARGET_END

#endif
