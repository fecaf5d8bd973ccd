// Words of 64 bytes as bit masks: bit i of a mask stands for byte i of its
// word, whatever the byte order of the processor. The logic over masks is
// written once; only the few steps here differ from one instruction set to
// another: a mask of the bytes equal to a value, bytes set by a mask, the
// bytes a mask keeps closed up, and two steps over masks that some
// processors do in one instruction. Each kit lives in a namespace of its own,
// compiled for the processors that have it; frame/each_word_kit.inc compiles
// a piece of logic once for each kit, and the choice is made once per run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define WORD_KIT_X86 1
#include <immintrin.h>
#endif
#if defined(__x86_64__)
#define WORD_KIT_X86_64 1
#endif
#if defined(__aarch64__) && defined(__AARCH64EL__)
#define WORD_KIT_NEON 1
#include <arm_neon.h>
#endif

enum class WordKit { plain, sse, avx2, avx512, neon };

// The kit of this run: the best one the processor runs well, chosen at the
// first call, unless use_word_kit chose another.
WordKit chosen_word_kit();

// Whether this build has the kit and this processor can run it.
bool word_kit_usable(WordKit kit);

// From now on chosen_word_kit() gives kit, which must be usable: the tests
// compare every kit the processor runs with the plain one.
void use_word_kit(WordKit kit);

// Code between these two is compiled for the processors named. The compilers
// spell this differently; both apply it to every function defined between.
#define WORD_KIT_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define WORD_KIT_TARGET_BEGIN(targets) \
    WORD_KIT_PRAGMA(clang attribute push(__attribute__((target(targets))), apply_to = function))
#define WORD_KIT_TARGET_END WORD_KIT_PRAGMA(clang attribute pop)
#else
#define WORD_KIT_TARGET_BEGIN(targets) \
    WORD_KIT_PRAGMA(GCC push_options) WORD_KIT_PRAGMA(GCC target(targets))
#define WORD_KIT_TARGET_END WORD_KIT_PRAGMA(GCC pop_options)
#endif

// What each x86 kit needs of the processor.
#define WORD_KIT_SSE_TARGETS "sse2,ssse3,popcnt"
#define WORD_KIT_AVX2_TARGETS "avx2,bmi,bmi2,popcnt,pclmul"
#define WORD_KIT_AVX512_TARGETS \
    "avx512f,avx512bw,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt,pclmul"

// The steps every kit may fall back on, in plain C++.
namespace word_kit_common {

inline int count_ones(std::uint64_t bits) {
    return __builtin_popcountll(bits);
}

// The number of the lowest set bit, and how many bits lie above the highest.
// For no bits at all the answer is some number below 64: callers that may
// have none choose another value without a branch.
inline int lowest_one(std::uint64_t bits) {
    return __builtin_ctzll(bits | std::uint64_t{1} << 63);
}

inline int zeros_above(std::uint64_t bits) {
    return __builtin_clzll(bits | 1);
}

// The bits of word w that stand for bytes at or after end, which lies in it
// or just after it: a pass that closes up whole words takes those back.
inline std::uint64_t bits_from(std::size_t end, std::size_t w) {
    const std::size_t room = end - 64 * w;
    return room >= 64 ? 0 : ~std::uint64_t{0} << room;
}

inline std::uint64_t reverse_bits(std::uint64_t bits) {
    bits = (bits >> 1 & 0x5555555555555555) | (bits & 0x5555555555555555) << 1;
    bits = (bits >> 2 & 0x3333333333333333) | (bits & 0x3333333333333333) << 2;
    bits = (bits >> 4 & 0x0f0f0f0f0f0f0f0f) | (bits & 0x0f0f0f0f0f0f0f0f) << 4;
    return __builtin_bswap64(bits);
}

// Within a word, every byte of each line whose line feed is marked: back to
// the line feed before it, or to the word's first byte. Read backwards, each
// line runs from its marked feed up to the next feed, which an addition
// carries through: the marks go in one above themselves, and every byte that
// is no line feed passes the carry on.
inline std::uint64_t marked_lines_by_reversal(std::uint64_t marked, std::uint64_t feeds,
                                              std::uint64_t (*reverse)(std::uint64_t)) {
    const std::uint64_t others = ~reverse(feeds);
    const std::uint64_t marks = reverse(marked);
    return reverse(marks | (others & ~(others + (marks << 1))));
}

// The line feeds numbered first, first + period, first + 2 period and so on,
// counting from 0 up the word. One step a line feed.
inline std::uint64_t every_nth_plainly(std::uint64_t feeds, int first, std::uint64_t period) {
    for (int i = 0; i < first && feeds != 0; ++i) {
        feeds &= feeds - 1;
    }
    std::uint64_t picked = 0;
    while (feeds != 0) {
        picked |= feeds & (~feeds + 1);
        for (std::uint64_t i = 0; i < period && feeds != 0; ++i) {
            feeds &= feeds - 1;
        }
    }
    return picked;
}

// Spaces, tabs and carriage returns by a lookup on each byte's low four
// bits: the entry for 0 is a space, for 9 a tab, for 13 a carriage return,
// and the rest are 0, which no byte with those low bits can equal. Bytes
// with the top bit set look up 0 too.
struct BlankLookup {
    unsigned char bytes[64];  // the 16 entries four times, one for each lane of a vector
};

constexpr BlankLookup make_blank_lookup() {
    BlankLookup lookup{};
    for (int lane = 0; lane < 64; lane += 16) {
        lookup.bytes[lane] = ' ';
        lookup.bytes[lane + 9] = '\t';
        lookup.bytes[lane + 13] = '\r';
    }
    return lookup;
}

inline constexpr BlankLookup blank_lookup = make_blank_lookup();

// Copies 32 bytes to to, each byte marked replaced by first and followed by
// second; gives 32 plus the number of marks. It may write up to 96 bytes.
inline std::size_t insert_after_plainly(const unsigned char* from, std::uint32_t marks,
                                        unsigned char first, unsigned char second,
                                        unsigned char* to) {
    std::size_t written = 0;
    std::size_t taken = 0;
    for (; marks != 0; marks &= marks - 1) {
        const auto mark = static_cast<std::size_t>(__builtin_ctz(marks));
        std::memcpy(to + written, from + taken, 32);
        written += mark - taken;
        to[written++] = first;
        to[written++] = second;
        taken = mark + 1;
    }
    std::memcpy(to + written, from + taken, 32);
    return written + 32 - taken;
}

// For each 8-bit mask, the numbers of its set bits, in order, one a byte:
// the shuffle that closes up the bytes the mask keeps.
struct ThinTable {
    std::uint64_t shuffles[256];
};

constexpr ThinTable make_thin_table() {
    ThinTable table{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned at = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if ((mask >> bit & 1) != 0) {
                table.shuffles[mask] |= std::uint64_t{bit} << (8 * at++);
            }
        }
    }
    return table;
}

inline constexpr ThinTable thin_table = make_thin_table();

// Bits 0, period, 2 period and so on, for periods from 1 to 64.
struct StridePatterns {
    std::uint64_t bits[65];
};

constexpr StridePatterns make_stride_patterns() {
    StridePatterns patterns{};
    for (unsigned period = 1; period <= 64; ++period) {
        for (unsigned bit = 0; bit < 64; bit += period) {
            patterns.bits[period] |= std::uint64_t{1} << bit;
        }
    }
    return patterns;
}

inline constexpr StridePatterns stride_patterns = make_stride_patterns();

}  // namespace word_kit_common

// The steps over masks, and the doubling of marked bytes, for kits whose
// processors have nothing faster.
#define WORD_KIT_PLAIN_STEPS(reverse)                                                      \
    inline std::uint64_t marked_lines(std::uint64_t marked, std::uint64_t feeds) {         \
        return marked_lines_by_reversal(marked, feeds, reverse);                           \
    }                                                                                      \
    inline std::uint64_t every_nth(std::uint64_t feeds, int first, std::uint64_t period) { \
        return every_nth_plainly(feeds, first, period);                                    \
    }
#define WORD_KIT_PLAIN_INSERT_AFTER                                                 \
    inline std::size_t insert_after(const unsigned char* from, std::uint32_t marks, \
                                    unsigned char first, unsigned char second,      \
                                    unsigned char* to) {                            \
        return insert_after_plainly(from, marks, first, second, to);                \
    }

// Every processor: a byte at a time, which compilers turn into vectors where
// they can.
namespace word_kit_plain {

using namespace word_kit_common;

struct Word {
    unsigned char bytes[64];
};

inline Word load_word(const unsigned char* at) {
    Word word;
    std::memcpy(word.bytes, at, 64);
    return word;
}

inline void store_word(const Word& word, unsigned char* at) {
    std::memcpy(at, word.bytes, 64);
}

inline std::uint64_t equal_bytes(const Word& word, unsigned char value) {
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) {
        mask |= std::uint64_t{word.bytes[i] == value} << i;
    }
    return mask;
}

// Spaces, tabs and carriage returns.
inline std::uint64_t blank_bytes(const Word& word) {
    return equal_bytes(word, ' ') | equal_bytes(word, '\t') | equal_bytes(word, '\r');
}

inline Word replace_bytes(const Word& word, std::uint64_t where, unsigned char value) {
    Word replaced;
    for (int i = 0; i < 64; ++i) {
        replaced.bytes[i] = (where >> i & 1) != 0 ? value : word.bytes[i];
    }
    return replaced;
}

// Writes the bytes keep marks, closed up, at to, and gives their count; it
// may write up to 64 bytes there.
inline std::size_t compact_word(const Word& word, std::uint64_t keep, unsigned char* to) {
    std::size_t count = 0;
    for (; keep != 0; keep &= keep - 1) {
        to[count++] = word.bytes[__builtin_ctzll(keep)];
    }
    return count;
}

WORD_KIT_PLAIN_STEPS(reverse_bits)
WORD_KIT_PLAIN_INSERT_AFTER

}  // namespace word_kit_plain

#if WORD_KIT_X86

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

#if WORD_KIT_X86_64

// Bit deposit and extract are single fast instructions here, and the prefix
// XOR a carry-less multiply by all ones.
#define WORD_KIT_MASK_STEPS                                                                \
    inline std::uint64_t prefix_xor(std::uint64_t bits) {                                  \
        const __m128i product = _mm_clmulepi64_si128(                                      \
            _mm_cvtsi64_si128(static_cast<long long>(bits)), _mm_set1_epi8(-1), 0);        \
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));                     \
    }                                                                                      \
    /* Each marked line feed's line starts after the feed before it: a mark moved */       \
    /* one feed back and filled up to the marked feed. The first feed of the word */       \
    /* has no feed before it in the word: its line starts at the word's start. */          \
    inline std::uint64_t marked_lines(std::uint64_t marked, std::uint64_t feeds) {         \
        const std::uint64_t picked = _pext_u64(marked, feeds);                             \
        const std::uint64_t before = _pdep_u64(picked >> 1, feeds);                        \
        const std::uint64_t first = picked & 1;                                            \
        return (prefix_xor(marked ^ before) ^ (0 - first)) << 1 | first;                   \
    }                                                                                      \
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

inline std::size_t compact_word(const Word& word, std::uint64_t keep, unsigned char* to) {
    std::size_t count = 0;
    for (int i = 0; i < 2; ++i) {
        const auto keep32 = static_cast<std::uint32_t>(keep >> (32 * i));
        WORD_KIT_COMPACT_16(_mm256_castsi256_si128(word.halves[i]), keep32 & 0xffff, to, count);
        WORD_KIT_COMPACT_16(_mm256_extracti128_si256(word.halves[i], 1), keep32 >> 16, to, count);
    }
    return count;
}

WORD_KIT_MASK_STEPS

WORD_KIT_PLAIN_INSERT_AFTER

}  // namespace word_kit_avx2
WORD_KIT_TARGET_END

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

#if WORD_KIT_NEON

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
