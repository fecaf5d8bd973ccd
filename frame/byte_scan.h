// One byte value put in place of another, for the slash swapper.
#pragma once

#include <cstddef>

// Puts to in place of every byte of bytes[0, length) that equals from, as
// many bytes a step as the processor can.
void replace_byte(unsigned char* bytes, std::size_t length, unsigned char from, unsigned char to);
