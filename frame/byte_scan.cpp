// Bytes replaced a word at a time, by the word kit chosen for this run.
#include "frame/byte_scan.h"

#include <cstdint>

#include "frame/word_kit.h"

#define WORD_KIT_ENGINE "frame/byte_replace.inc"
#define WORD_KIT_ENTRY replace_in_words
#include "frame/each_word_kit.inc"

void replace_byte(unsigned char* bytes, std::size_t length, unsigned char from, unsigned char to) {
    word_kit_entry(chosen_word_kit())(bytes, length, from, to);
}
