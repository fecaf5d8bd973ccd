// The AVX2 word kit, for x86-64 processors with fast bit deposit.
#pragma once

#include "frame/kits/sse.h"

#if WORD_KIT_X86_64

// Bit deposit is a single fast instruction here.
#define WORD_KIT_MASK_STEPS                                                                \
    inline std::uint64_t every_nth(std::uint64_t feeds, int first, std::uint64_t period) { \
        if (period > 64) {                                                                 \
            return _pdep_u64(std::uint64_t{1} << first, feeds);                            \
        }                                                                                  \
        return _pdep_u64(stride_patterns.bits[period] << first, feeds);                    \
    }

// 32 bytes a vector; with bit deposit, so only where that is fast.
WORD_KIT_TARGET_BEGIN(WORD_KIT_AVX2_TARGETS)
namespace word_kit_avx2 {

using namespace word_kit_common;

struct Word {
    __m256i halves[2];
};

inline Word load_word(const unsigned char* at) {
    return Word{{_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)),
                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32))}};
}

inline void store_word(const Word& word, unsigned char* at) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), word.halves[0]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + 32), word.halves[1]);
}

inline std::uint64_t equal_bytes(const Word& word, unsigned char value) {
    const __m256i match = _mm256_set1_epi8(static_cast<char>(value));
    const auto low =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(word.halves[0], match)));
    const auto high =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(word.halves[1], match)));
    return std::uint64_t{high} << 32 | low;
}

// Spaces, tabs and carriage returns, by the lookup.
inline std::uint64_t blank_bytes(const Word& word) {
    const __m256i lookup = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blank_lookup.bytes));
    std::uint64_t mask = 0;
    for (int i = 0; i < 2; ++i) {
        const __m256i found =
            _mm256_cmpeq_epi8(_mm256_shuffle_epi8(lookup, word.halves[i]), word.halves[i]);
        mask |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(found))} << (32 * i);
    }
    return mask;
}

// Each bit of 32 as a byte of all ones or none.
inline __m256i bytes_of_bits(std::uint32_t bits32) {
    const __m256i spread = _mm256_shuffle_epi8(
        _mm256_set1_epi32(static_cast<int>(bits32)),
        _mm256_set_epi64x(0x0303030303030303, 0x0202020202020202, 0x0101010101010101, 0));
    const __m256i weights = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, weights), weights);
}

inline Word replace_bytes(const Word& word, std::uint64_t where, unsigned char value) {
    const __m256i put = _mm256_set1_epi8(static_cast<char>(value));
    return Word{
        {_mm256_blendv_epi8(word.halves[0], put, bytes_of_bits(static_cast<std::uint32_t>(where))),
         _mm256_blendv_epi8(word.halves[1], put,
                            bytes_of_bits(static_cast<std::uint32_t>(where >> 32)))}};
}

// The bytes equal to from made to, with no mask between, as in the SSSE3 kit.
inline Word swap_bytes(const Word& word, unsigned char from, unsigned char to) {
    const __m256i pattern = _mm256_set1_epi8(static_cast<char>(from));
    const __m256i change = _mm256_set1_epi8(static_cast<char>(from ^ to));
    Word swapped;
    for (int i = 0; i < 2; ++i) {
        const __m256i found = _mm256_cmpeq_epi8(word.halves[i], pattern);
        swapped.halves[i] = _mm256_xor_si256(word.halves[i], _mm256_and_si256(found, change));
    }
    return swapped;
}

// Each eight bytes by the shuffle for their byte of keep, as in the SSSE3
// kit, but the four of a half shuffled at once, two in each lane. A word that
// keeps every byte is stored whole, as there.
inline std::size_t compact_word(const Word& word, std::uint64_t keep, unsigned char* to) {
    if (keep == ~std::uint64_t{0}) {
        store_word(word, to);
        return 64;
    }
    std::size_t count = 0;
    for (int i = 0; i < 2; ++i) {
        unsigned keep8[4];
        __m128i shuffles[2];
        for (int j = 0; j < 4; ++j) {
            keep8[j] = static_cast<unsigned>(keep >> (32 * i + 8 * j)) & 0xff;
        }
        for (int j = 0; j < 2; ++j) {
            const __m128i low = _mm_loadl_epi64(
                reinterpret_cast<const __m128i*>(&thin_table.shuffles[keep8[2 * j]]));
            shuffles[j] = _mm_castps_si128(_mm_loadh_pi(
                _mm_castsi128_ps(low),
                reinterpret_cast<const __m64*>(&thin_table.shuffles[keep8[2 * j + 1]])));
        }
        const __m256i shuffle = _mm256_add_epi8(
            _mm256_inserti128_si256(_mm256_castsi128_si256(shuffles[0]), shuffles[1], 1),
            _mm256_set_epi64x(0x0808080808080808, 0, 0x0808080808080808, 0));
        const __m256i packed = _mm256_shuffle_epi8(word.halves[i], shuffle);
        const __m128i lanes[2] = {_mm256_castsi256_si128(packed),
                                  _mm256_extracti128_si256(packed, 1)};
        for (int j = 0; j < 2; ++j) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(to + count), lanes[j]);
            count += static_cast<std::size_t>(__builtin_popcount(keep8[2 * j]));
            _mm_storeh_pi(reinterpret_cast<__m64*>(to + count), _mm_castsi128_ps(lanes[j]));
            count += static_cast<std::size_t>(__builtin_popcount(keep8[2 * j + 1]));
        }
    }
    return count;
}

WORD_KIT_MASK_STEPS

// The SSSE3 kit's: most words of most text mark no line, and the whole-word
// store above waits on this. Its shifts, two rounds for the blank lines of
// most text, make a shorter chain than the AVX-512 kit's deposits.
using word_kit_sse::marked_lines;

WORD_KIT_SHUFFLED_INSERT_AFTER

}  // namespace word_kit_avx2
WORD_KIT_TARGET_END

#endif
