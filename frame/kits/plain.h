// The plain word kit, for every processor.
#pragma once

#include "frame/word_kit.h"

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
