// Line feeds found and bytes replaced 16, 32 or 64 bytes a step where the
// processor can, the way chosen once per run; plain loops everywhere else.
// This is the only file with processor-specific code.
#include "frame/byte_scan.h"

#include <bit>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

using LineFeedFinder = std::size_t (*)(const unsigned char* bytes, std::size_t begin,
                                       std::size_t end, std::uint32_t* feeds);

using ByteReplacer = void (*)(unsigned char* bytes, std::size_t length, unsigned char from,
                              unsigned char to);

// No branch on the data, so the compiler makes whole vectors of the loop, of
// the width every processor of the kind has.
static void replace_plainly(unsigned char* bytes, std::size_t length, unsigned char from,
                            unsigned char to) {
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = bytes[i] == from ? to : bytes[i];
    }
}

static std::size_t find_plainly(const unsigned char* bytes, std::size_t begin, std::size_t end,
                                std::uint32_t* feeds) {
    std::size_t count = 0;
    for (std::size_t at = begin; at < end; ++at) {
        if (bytes[at] == '\n') {
            feeds[count++] = static_cast<std::uint32_t>(at);
        }
    }
    return count;
}

#if defined(__x86_64__) || defined(__i386__)

// Writes the positions of the marks, one at a time.
[[gnu::always_inline]] static inline std::size_t put_each(std::uint64_t marks, std::size_t base,
                                                          std::uint32_t* feeds) {
    std::size_t count = 0;
    for (; marks != 0; marks &= marks - 1) {
        feeds[count++] = static_cast<std::uint32_t>(base + std::countr_zero(marks));
    }
    return count;
}

// Writes the positions of the marks without a branch on how many there are:
// a word of text holds a few line feeds, and a branch on their number would
// be mispredicted all the time. Four positions are written whatever the
// count; the rare word with more takes a loop. The empty asm hides that the
// marks may have run out, which the compiler would otherwise test for, and
// keeps it from gathering the four stores into one of a vector, which takes
// more steps.
[[gnu::always_inline]] static inline std::size_t put_four(std::uint64_t marks, std::size_t base,
                                                          std::uint32_t* feeds) {
    const auto count = static_cast<std::size_t>(std::popcount(marks));
    for (int i = 0; i < 4; ++i) {
        feeds[i] = static_cast<std::uint32_t>(base + std::countr_zero(marks));
        marks &= marks - 1;
        asm("" : "+r"(marks) : : "memory");
    }
    if (count > 4) {
        put_each(marks, base, feeds + 4);
    }
    return count;
}

__attribute__((target("sse2"))) static std::uint64_t marks_in_16(const unsigned char* bytes) {
    const __m128i vector = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    return static_cast<std::uint16_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(vector, _mm_set1_epi8('\n'))));
}

__attribute__((target("sse2"))) static std::size_t find_with_sse2(const unsigned char* bytes,
                                                                  std::size_t begin,
                                                                  std::size_t end,
                                                                  std::uint32_t* feeds) {
    std::size_t count = 0;
    for (std::size_t word = begin / 64; word * 64 < end; ++word) {
        const unsigned char* at = bytes + word * 64;
        const std::uint64_t marks = marks_in_16(at) | marks_in_16(at + 16) << 16 |
                                    marks_in_16(at + 32) << 32 | marks_in_16(at + 48) << 48;
        count += put_each(marks, word * 64, feeds + count);
    }
    return count;
}

__attribute__((target("avx2"))) static std::uint64_t marks_in_32(const unsigned char* bytes) {
    const __m256i vector = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(vector, _mm256_set1_epi8('\n'))));
}

__attribute__((target("avx2,bmi,popcnt"))) static std::size_t find_with_avx2(
    const unsigned char* bytes, std::size_t begin, std::size_t end, std::uint32_t* feeds) {
    std::size_t count = 0;
    for (std::size_t word = begin / 64; word * 64 < end; ++word) {
        const unsigned char* at = bytes + word * 64;
        const std::uint64_t marks = marks_in_32(at) | marks_in_32(at + 32) << 32;
        count += put_four(marks, word * 64, feeds + count);
    }
    return count;
}

__attribute__((target("avx512f,avx512bw,bmi,popcnt"))) static std::size_t find_with_avx512(
    const unsigned char* bytes, std::size_t begin, std::size_t end, std::uint32_t* feeds) {
    std::size_t count = 0;
    const __m512i feed = _mm512_set1_epi8('\n');
    for (std::size_t word = begin / 64; word * 64 < end; ++word) {
        const std::uint64_t marks =
            _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(bytes + word * 64), feed);
        count += put_four(marks, word * 64, feeds + count);
    }
    return count;
}

__attribute__((target("avx2"))) static void replace_with_avx2(unsigned char* bytes,
                                                              std::size_t length,
                                                              unsigned char from,
                                                              unsigned char to) {
    const __m256i match = _mm256_set1_epi8(static_cast<char>(from));
    const __m256i put = _mm256_set1_epi8(static_cast<char>(to));
    std::size_t at = 0;
    for (; at + 32 <= length; at += 32) {
        auto* vector = reinterpret_cast<__m256i*>(bytes + at);
        const __m256i found = _mm256_loadu_si256(vector);
        _mm256_storeu_si256(vector,
                            _mm256_blendv_epi8(found, put, _mm256_cmpeq_epi8(found, match)));
    }
    replace_plainly(bytes + at, length - at, from, to);
}

__attribute__((target("avx512f,avx512bw"))) static void replace_with_avx512(unsigned char* bytes,
                                                                            std::size_t length,
                                                                            unsigned char from,
                                                                            unsigned char to) {
    const __m512i match = _mm512_set1_epi8(static_cast<char>(from));
    const __m512i put = _mm512_set1_epi8(static_cast<char>(to));
    std::size_t at = 0;
    for (; at + 64 <= length; at += 64) {
        const __m512i found = _mm512_loadu_si512(bytes + at);
        _mm512_storeu_si512(bytes + at,
                            _mm512_mask_mov_epi8(found, _mm512_cmpeq_epi8_mask(found, match), put));
    }
    replace_plainly(bytes + at, length - at, from, to);
}

#endif

static LineFeedFinder best_finder() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    const bool bit_counts = __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi");
    if (bit_counts && __builtin_cpu_supports("avx512bw")) {
        return find_with_avx512;
    }
    if (bit_counts && __builtin_cpu_supports("avx2")) {
        return find_with_avx2;
    }
    if (__builtin_cpu_supports("sse2")) {  // always, on x86-64
        return find_with_sse2;
    }
#endif
    return find_plainly;
}

static ByteReplacer best_replacer() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw")) {
        return replace_with_avx512;
    }
    if (__builtin_cpu_supports("avx2")) {
        return replace_with_avx2;
    }
#endif
    return replace_plainly;
}

// Chosen at the first call. The programs have one thread, and a guarded
// static would bring in the whole C++ runtime library for it.
static LineFeedFinder finder = nullptr;
static ByteReplacer replacer = nullptr;

std::size_t find_line_feeds(const char* bytes, std::size_t begin, std::size_t end,
                            std::uint32_t* feeds) {
    if (begin >= end) {
        return 0;
    }
    if (finder == nullptr) {
        finder = best_finder();
    }
    return finder(reinterpret_cast<const unsigned char*>(bytes), begin, end, feeds);
}

void replace_byte(unsigned char* bytes, std::size_t length, unsigned char from, unsigned char to) {
    if (replacer == nullptr) {
        replacer = best_replacer();
    }
    replacer(bytes, length, from, to);
}
