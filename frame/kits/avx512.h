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

// Each marked line feed's line starts just after the feed before it, found
// by an extract and a deposit that move each mark one feed back; the word's
// first feed has none before it, and its line starts at the word's start.
// Taking the starts from the marks fills each line up to its feed in one
// subtraction, as no two lines overlap. No branch, as closing up takes none
// here.
inline std::uint64_t marked_lines(std::uint64_t marked, std::uint64_t feeds) {
    const std::uint64_t picked = _pext_u64(marked, feeds);
    const std::uint64_t before = _pdep_u64(picked >> 1, feeds);
    const std::uint64_t starts = before << 1 | (picked & 1);
    return (marked - starts) | marked;
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

// Where each of the 64 places of a quarter word comes from: place 4 i takes
// byte i of the quarter, places 4 i + 1 to 4 i + 3 the separator's second to
// fourth bytes, which follow the word's 64 in the permute.
struct WideningPlaces {
    alignas(64) unsigned char places[4][64];
};

inline constexpr WideningPlaces make_widening_places() {
    WideningPlaces table{};
    for (int quarter = 0; quarter < 4; ++quarter) {
        for (int i = 0; i < 16; ++i) {
            for (int k = 0; k < 4; ++k) {
                table.places[quarter][4 * i + k] =
                    static_cast<unsigned char>(k == 0 ? 16 * quarter + i : 64 + k);
            }
        }
    }
    return table;
}

inline constexpr WideningPlaces widening_places = make_widening_places();

// A separator of up to four bytes after each marked byte of a word, with no
// step a mark: each byte of a quarter takes four places, a marked one becomes
// the separator's first byte, and the places of the rest (those past the
// separator's length, after unmarked bytes, and of bytes not kept) are closed
// up. rest has a bit for each place after the first that the separator fills,
// of the four. Writes up to 256 bytes; gives the count kept.
inline std::size_t insert_separator_after(const unsigned char* from, std::uint64_t kept,
                                          std::uint64_t marks, const unsigned char* separator,
                                          std::uint64_t rest, unsigned char* to) {
    const __m512i bytes = _mm512_loadu_si512(from);
    const __m512i after =
        _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(separator)));
    const __m512i first = _mm512_set1_epi8(static_cast<char>(separator[0]));
    const std::uint64_t firsts = 0x1111111111111111;
    std::size_t count = 0;
    for (int quarter = 0; quarter < 4; ++quarter) {
        const std::uint64_t marked = _pdep_u64(marks >> (16 * quarter), firsts);
        // All bytes are kept in every word of a block but its first and last.
        const std::uint64_t slots =
            kept == ~std::uint64_t{0} ? firsts : _pdep_u64(kept >> (16 * quarter), firsts);
        const std::uint64_t keep = slots | marked * rest;
        __m512i widened = _mm512_permutex2var_epi8(
            bytes, _mm512_load_si512(widening_places.places[quarter]), after);
        widened = _mm512_mask_mov_epi8(widened, marked, first);
        _mm512_storeu_si512(to + count, _mm512_maskz_compress_epi8(keep, widened));
        count += static_cast<std::size_t>(__builtin_popcountll(keep));
    }
    return count;
}

}  // namespace word_kit_avx512
WORD_KIT_TARGET_END

#endif
