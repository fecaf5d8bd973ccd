// Words of 64 bytes as bit masks: bit i of a mask stands for byte i of its
// word, whatever the byte order of the processor. The logic over masks is
// written once; only the few steps here differ from one instruction set to
// another: a mask of the bytes equal to a value, bytes set by a mask, the
// bytes a mask keeps closed up, and two steps over masks that some
// processors do in one instruction. Each kit lives in a file of its own under
// frame/kits/, in a namespace of its own, compiled for the processors that
// have it; this file holds what they share. frame/each_word_kit.inc compiles
// a piece of logic once for each kit, and the choice is made once per run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define WORD_KIT_X86 1
#endif
#if defined(__x86_64__)
#define WORD_KIT_X86_64 1
#endif
#if defined(__aarch64__) && defined(__AARCH64EL__)
#define WORD_KIT_NEON 1
#endif

enum class WordKit { plain, sse, avx2, avx512, neon };

// The name of each kit, as TOVRANE_WORD_KIT takes it.
const char* word_kit_name(WordKit kit);

// What a processor offers that the kits need. Read once from the processor
// that runs us; a test may make up any other.
struct ProcessorFeatures {
    bool popcnt;
    bool ssse3;
    bool avx2;
    bool bmi;
    bool bmi2;
    bool pclmul;
    bool avx512f;
    bool avx512bw;
    bool avx512vbmi;
    bool avx512vbmi2;
    bool amd;             // made by AMD or Hygon,
    unsigned amd_family;  // of this family, where bit deposit is microcode before 19h
};

ProcessorFeatures processor_features();

// Whether this build has the kit and a processor with these features can run it.
bool word_kit_runs_on(WordKit kit, const ProcessorFeatures& features);

// The kit that does best on a processor with these features.
WordKit best_word_kit_for(const ProcessorFeatures& features);

// The kit of this run: the best one the processor runs well, chosen at the
// first call, unless use_word_kit chose another.
WordKit chosen_word_kit();

// Whether this build has the kit and this processor can run it.
bool word_kit_usable(WordKit kit);

// From now on chosen_word_kit() gives kit, which must be usable: the tests
// compare every kit the processor runs with the plain one.
void use_word_kit(WordKit kit);

// The kit named by TOVRANE_WORD_KIT, unless it is unset or empty: false, with
// a line on standard error, when it names no kit or one this build or this
// processor cannot run. A tool asks before it opens anything, so a refused run
// leaves no trace.
bool use_word_kit_from_environment();

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

// For each 8-bit mask, the shuffle that doubles the marked bytes of eight:
// byte i for each byte, but bytes 8 and 9, where the two of the separator
// wait, for each marked one. The rest of the 16 is never stored for good.
struct alignas(16) DoublingTable {
    unsigned char shuffles[256][16];
};

constexpr DoublingTable make_doubling_table() {
    DoublingTable table{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned at = 0;
        for (unsigned char byte = 0; byte < 8; ++byte) {
            if ((mask >> byte & 1) != 0) {
                table.shuffles[mask][at++] = 8;
                table.shuffles[mask][at++] = 9;
            } else {
                table.shuffles[mask][at++] = byte;
            }
        }
    }
    return table;
}

inline constexpr DoublingTable doubling_table = make_doubling_table();

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

// Within a word, every byte of each line whose line feed is marked, as
// marked_lines_by_reversal gives it, for processors that cannot reverse bits
// in one step: each mark spreads down over the bytes that are no line feed,
// 1, 2, 4... 32 bytes at a time, through the stretches already known to hold
// none. Most blank lines are short: two rounds take the marks far enough
// unless a byte that is no line feed lies just below a marked one, still
// open, and only then do the other four.
inline std::uint64_t marked_lines_by_spreading(std::uint64_t marked, std::uint64_t feeds) {
    std::uint64_t lines = marked;
    std::uint64_t open = ~feeds;
    int shift = 1;
    for (; shift < 4; shift *= 2) {
        lines |= open & lines >> shift;
        open &= open >> shift;
    }
    if ((open & lines >> 1) != 0) {
        for (; shift < 64; shift *= 2) {
            lines |= open & lines >> shift;
            open &= open >> shift;
        }
    }
    return lines;
}

// Every other line feed, from the first or the second (first below 2), by
// the parity of the line feeds below each bit: a line feed at a time is a
// branch at a time, and pairs are the common join.
inline std::uint64_t every_other_by_parity(std::uint64_t feeds, int first) {
    std::uint64_t odd = feeds << 1;
    for (int shift = 1; shift < 64; shift *= 2) {
        odd ^= odd << shift;
    }
    return feeds & (odd ^ (static_cast<std::uint64_t>(first) - 1));
}

// a when bit, one bit or none, is set, else b: a choice which either way
// comes as often, left to the compiler. A kit whose logic the compiler makes
// a branch of it in defines a pick_if_set of its own, which the logic finds
// first.
template <typename Value>
Value pick_if_set(std::uint64_t bit, Value a, Value b) {
    return bit != 0 ? a : b;
}

// Bytes equal to from made to, by a kit's masks. A kit with a faster way
// defines a swap_bytes of its own, which the logic finds before this one.
// Always inlined: made for no processor's kit, it could not take its kit's
// steps inline, and would call them out of line for every word.
template <typename Word>
[[gnu::always_inline]] inline Word swap_bytes(const Word& word, unsigned char from,
                                              unsigned char to) {
    return replace_bytes(word, equal_bytes(word, from), to);
}

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
