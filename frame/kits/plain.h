// The plain word kit, for every processor.
#pragma once

#include "frame/word_kit.h"

// Every processor: eight bytes at a time in 64-bit integers, the way C
// libraries search strings without vectors.
namespace word_kit_plain {

using namespace word_kit_common;

// Byte i of a word is byte i % 8 of lane i / 8, counted from the lane's low
// end whatever the byte order: a big-endian processor turns the lanes round
// as it loads and stores them, so the arithmetic is the same everywhere.
struct Word {
    std::uint64_t lanes[8];
};

inline constexpr std::uint64_t each_byte = 0x0101010101010101;
inline constexpr std::uint64_t low_bits = 0x7f7f7f7f7f7f7f7f;

inline std::uint64_t load_lane(const unsigned char* at) {
    std::uint64_t lane;
    std::memcpy(&lane, at, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    lane = __builtin_bswap64(lane);
#endif
    return lane;
}

inline void store_lane(std::uint64_t lane, unsigned char* at) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    lane = __builtin_bswap64(lane);
#endif
    std::memcpy(at, &lane, 8);
}

inline Word load_word(const unsigned char* at) {
    Word word;
    for (int i = 0; i < 8; ++i) {
        word.lanes[i] = load_lane(at + 8 * i);
    }
    return word;
}

inline void store_word(const Word& word, unsigned char* at) {
    for (int i = 0; i < 8; ++i) {
        store_lane(word.lanes[i], at + 8 * i);
    }
}

// Processors without an instruction for it call a library function for
// each count, far slower than these few steps.
inline int count_ones(std::uint64_t bits) {
#if defined(__POPCNT__) || defined(__aarch64__) || defined(_ARCH_PWR7) || defined(__riscv_zbb)
    return __builtin_popcountll(bits);
#else
    bits -= bits >> 1 & 0x5555555555555555;
    bits = (bits & 0x3333333333333333) + (bits >> 2 & 0x3333333333333333);
    bits = (bits + (bits >> 4)) & 0x0f0f0f0f0f0f0f0f;
    return static_cast<int>(bits * each_byte >> 56);
#endif
}

// The top bit of each byte of the lane that is not 0. Adding 0x7f to a
// byte's low seven bits sets its top bit unless they are all 0, and no carry
// leaves the byte, so unlike the shorter test with a subtraction no byte
// borrows from the one below it.
inline std::uint64_t nonzero_bytes(std::uint64_t lane) {
    return (((lane & low_bits) + low_bits) | lane) & ~low_bits;
}

// The top bits of the bytes of eight lanes as a mask, byte i of lane j's as
// bit 8 j + i. Shifted together, the bits make an 8 by 8 matrix with a lane
// in each column, which three exchanges of blocks turn into one with a lane
// in each row.
inline std::uint64_t mask_of_top_bits(const std::uint64_t (&tops)[8]) {
    std::uint64_t bits = 0;
    for (int j = 0; j < 8; ++j) {
        bits |= tops[j] >> (7 - j);
    }
    std::uint64_t swapped = (bits ^ bits >> 7) & 0x00aa00aa00aa00aa;
    bits ^= swapped ^ swapped << 7;
    swapped = (bits ^ bits >> 14) & 0x0000cccc0000cccc;
    bits ^= swapped ^ swapped << 14;
    swapped = (bits ^ bits >> 28) & 0x00000000f0f0f0f0;
    return bits ^ swapped ^ swapped << 28;
}

inline std::uint64_t equal_bytes(const Word& word, unsigned char value) {
    const std::uint64_t pattern = each_byte * value;
    std::uint64_t others[8];
    for (int j = 0; j < 8; ++j) {
        others[j] = nonzero_bytes(word.lanes[j] ^ pattern);
    }
    return ~mask_of_top_bits(others);
}

// Spaces, tabs and carriage returns: a tab and a carriage return differ in
// bit 2 alone, so one test finds both. Both tests add to the byte's low
// seven bits alone, and its top bit, which no blank byte has, is taken once.
inline std::uint64_t blank_bytes(const Word& word) {
    std::uint64_t others[8];
    for (int j = 0; j < 8; ++j) {
        const std::uint64_t lane = word.lanes[j];
        const std::uint64_t low = lane & low_bits;
        const std::uint64_t no_space = (low ^ each_byte * ' ') + low_bits;
        const std::uint64_t no_tab_or_return =
            ((low | each_byte * 4) ^ each_byte * '\r') + low_bits;
        others[j] = ((no_space & no_tab_or_return) | lane) & ~low_bits;
    }
    return ~mask_of_top_bits(others);
}

// For each 8 bits, the lane with the bytes they mark all ones.
struct ByteMasks {
    std::uint64_t lanes[256];
};

constexpr ByteMasks make_byte_masks() {
    ByteMasks masks{};
    for (unsigned bits = 0; bits < 256; ++bits) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            if ((bits >> bit & 1) != 0) {
                masks.lanes[bits] |= std::uint64_t{0xff} << (8 * bit);
            }
        }
    }
    return masks;
}

inline constexpr ByteMasks byte_masks = make_byte_masks();

inline Word replace_bytes(const Word& word, std::uint64_t where, unsigned char value) {
    const std::uint64_t pattern = each_byte * value;
    Word replaced;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t chosen = byte_masks.lanes[where >> (8 * i) & 0xff];
        replaced.lanes[i] = (word.lanes[i] & ~chosen) | (pattern & chosen);
    }
    return replaced;
}

// The bytes equal to from made to, with no mask between: each equal byte,
// found as 0x80, widens to 0xff and takes in from ^ to, which turns it.
inline Word swap_bytes(const Word& word, unsigned char from, unsigned char to) {
    const std::uint64_t pattern = each_byte * from;
    const std::uint64_t change = each_byte * static_cast<unsigned char>(from ^ to);
    Word swapped;
    for (int j = 0; j < 8; ++j) {
        const std::uint64_t lane = word.lanes[j];
        const std::uint64_t found = ~(nonzero_bytes(lane ^ pattern) | low_bits);
        swapped.lanes[j] = lane ^ (((found << 1) - (found >> 7)) & change);
    }
    return swapped;
}

// For each 8 bits of a keep mask, the moves that close up the bytes they keep
// within a lane, once the others are 0: each kept byte goes down by the
// number of bytes dropped below it, in three steps of 1, 2 and 4 bytes, each
// taking the bytes whose distance has that bit. Done in that order no byte
// lands on one still to move. Also the count of bytes kept.
struct CloseUp {
    std::uint64_t steps[3];
    std::uint64_t count;
};

struct CloseUps {
    CloseUp masks[256];
};

constexpr CloseUps make_close_ups() {
    CloseUps table{};
    for (unsigned keep = 0; keep < 256; ++keep) {
        unsigned distance[8] = {};
        unsigned at[8] = {};
        unsigned dropped = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            distance[bit] = dropped;
            at[bit] = bit;
            dropped += (keep >> bit & 1) == 0 ? 1 : 0;
        }
        for (unsigned step = 0; step < 3; ++step) {
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((keep >> bit & 1) != 0 && (distance[bit] >> step & 1) != 0) {
                    table.masks[keep].steps[step] |= std::uint64_t{0xff} << (8 * at[bit]);
                    at[bit] -= 1u << step;
                }
            }
        }
        table.masks[keep].count = 8 - dropped;
    }
    return table;
}

inline constexpr CloseUps close_ups = make_close_ups();

// Writes the bytes keep marks, closed up, at to, and gives their count; it
// may write up to 64 bytes there. A word kept whole, as most are, is one
// copy; otherwise each lane is closed up on its own and stored whole where
// the last one's kept bytes end.
inline std::size_t compact_word(const Word& word, std::uint64_t keep, unsigned char* to) {
    if (keep == ~std::uint64_t{0}) {
        store_word(word, to);
        return 64;
    }
    std::size_t count = 0;
    for (int i = 0; i < 8; ++i) {
        const unsigned keep8 = keep >> (8 * i) & 0xff;
        const CloseUp& close_up = close_ups.masks[keep8];
        std::uint64_t lane = word.lanes[i] & byte_masks.lanes[keep8];
        for (int step = 0; step < 3; ++step) {
            const std::uint64_t moving = lane & close_up.steps[step];
            lane = (lane ^ moving) | moving >> (8 << step);
        }
        store_lane(lane, to + count);
        count += close_up.count;
    }
    return count;
}

inline std::uint64_t marked_lines(std::uint64_t marked, std::uint64_t feeds) {
    return marked_lines_by_spreading(marked, feeds);
}

inline std::uint64_t every_nth(std::uint64_t feeds, int first, std::uint64_t period) {
    if (period == 2 && first < 2) {
        return every_other_by_parity(feeds, first);
    }
    return every_nth_plainly(feeds, first, period);
}

WORD_KIT_PLAIN_INSERT_AFTER

}  // namespace word_kit_plain
