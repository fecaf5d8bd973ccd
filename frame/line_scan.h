// Finding line feeds a vector at a time, for the block line reader.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the position of every line feed in bytes[begin, end) to feeds, in
// order, and gives their count. begin and end are multiples of 64: the scan
// takes whole words of 64 bytes. It writes a few positions past the count, so
// feeds needs room for end - begin + 3.
std::size_t find_line_feeds(const char* bytes, std::size_t begin, std::size_t end,
                            std::uint32_t* feeds);
