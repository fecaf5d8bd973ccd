// Reading numbers from command-line text.
#pragma once

#include <cstdint>

// Converts text as strtol does in base 10 (leading white space, an optional
// sign, digits up to the first other byte, 0 without digits) and clamps the
// value to the signed 32-bit range, whatever the width of long.
std::int32_t to_clamped_int32(const char* text);
