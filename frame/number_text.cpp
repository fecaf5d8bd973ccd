// Clamped decimal conversion shared by the programs that take numbers.
#include "frame/number_text.h"

namespace {

bool is_c_space(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

std::int32_t to_clamped_int32(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (is_c_space(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Stop growing once past the range: any longer run of digits clamps the same.
    constexpr std::int64_t past_range = std::int64_t{INT32_MAX} + 2;
    std::int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (magnitude < past_range) {
            magnitude = magnitude * 10 + (*p - '0');
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(value);
}
