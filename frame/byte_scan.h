// Scanning bytes a vector at a time: the line feeds of a block for the line
// tools, and one byte value put in place of another for the slash swapper.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the position of every line feed in bytes[begin, end) to feeds, in
// order, and gives their count. begin and end are multiples of 64: the scan
// takes whole words of 64 bytes. It writes a few positions past the count, so
// feeds needs room for end - begin + 3.
std::size_t find_line_feeds(const char* bytes, std::size_t begin, std::size_t end,
                            std::uint32_t* feeds);

// Puts to in place of every byte of bytes[0, length) that equals from.
void replace_byte(unsigned char* bytes, std::size_t length, unsigned char from, unsigned char to);
