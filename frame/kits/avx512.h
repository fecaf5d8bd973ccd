// The AVX-512 word kit, for x86-64 processors with VBMI2.
#pragma once

#include "frame/kits/avx2.h"

#if WORD_KIT_X86_64

// 64 bytes a vector, compares straight into masks, and closing up is one
// instruction.
WORD_KIT_TARGET_BEGIN(WORD_KIT_AVX512_TARGETS)
namespace word_kit_avx512 {

using namespace word_kit_common;

struct Word {
    __m512i bytes;
};

inline Word load_word(const unsigned char* at) {
    return Word{_mm512_loadu_si512(at)};
}

inline void store_word(const Word& word, unsigned char* at) {
    _mm512_storeu_si512(at, word.bytes);
}

inline std::uint64_t equal_bytes(const Word& word, unsigned char value) {
    return _mm512_cmpeq_epi8_mask(word.bytes, _mm512_set1_epi8(static_cast<char>(value)));
}

// Spaces, tabs and carriage returns, by the lookup.
inline std::uint64_t blank_bytes(const Word& word) {
    const __m512i lookup = _mm512_loadu_si512(blank_lookup.bytes);
    return _mm512_cmpeq_epi8_mask(_mm512_shuffle_epi8(lookup, word.bytes), word.bytes);
}

inline Word replace_bytes(const Word& word, std::uint64_t where, unsigned char value) {
    return Word{
        _mm512_mask_mov_epi8(word.bytes, where, _mm512_set1_epi8(static_cast<char>(value)))};
}

// The compress into a register, then a plain store: storing compressed bytes
// straight to memory is far slower on some of these processors.
inline std::size_t compact_word(const Word& word, std::uint64_t keep, unsigned char* to) {
    _mm512_storeu_si512(to, _mm512_maskz_compress_epi8(keep, word.bytes));
    return static_cast<std::size_t>(__builtin_popcountll(keep));
}

WORD_KIT_MASK_STEPS

// Closing up is no branch here, so neither is this.
inline std::uint64_t marked_lines(std::uint64_t marked, std::uint64_t feeds) {
    return marked_lines_by_deposit(marked, feeds);
}

// Each byte takes two places, the second holding second; the marked bytes
// become first, and the second places of the others are closed up.
inline std::size_t insert_after(const unsigned char* from, std::uint32_t marks, unsigned char first,
                                unsigned char second, unsigned char* to) {
    const __m512i bytes =
        _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(from)));
    // Place 2 j takes byte j, place 2 j + 1 a byte of the second vector.
    const __m512i places = _mm512_set_epi64(
        0x401f401e401d401c, 0x401b401a40194018, 0x4017401640154014, 0x4013401240114010,
        0x400f400e400d400c, 0x400b400a40094008, 0x4007400640054004, 0x4003400240014000);
    __m512i doubled =
        _mm512_permutex2var_epi8(bytes, places, _mm512_set1_epi8(static_cast<char>(second)));
    const std::uint64_t firsts = 0x5555555555555555;
    const std::uint64_t marked = _pdep_u64(marks, firsts);
    doubled = _mm512_mask_mov_epi8(doubled, marked, _mm512_set1_epi8(static_cast<char>(first)));
    _mm512_storeu_si512(to, _mm512_maskz_compress_epi8(firsts | marked << 1, doubled));
    return 32 + static_cast<std::size_t>(__builtin_popcount(marks));
}

}  // namespace word_kit_avx512
WORD_KIT_TARGET_END

#endif
