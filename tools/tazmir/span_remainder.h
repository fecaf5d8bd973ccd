// Each draw's remainder by the run's span, through a multiplication: the span
// is fixed before the first draw, and a division per number would cost more
// than the draw itself.
#pragma once

#include <bit>
#include <cstdint>

// The generator's values lie in 0 .. 2^31 - 1.
inline constexpr unsigned draw_bits = 31;

struct SpanDivisor {
    std::uint32_t span;        // 1 .. 4294967295
    std::uint32_t multiplier;  // 2^shift / span, rounded up
    unsigned shift;            // 31 plus the bits of span - 1: 31 .. 63
};

// With 2^(shift - 31) >= span, rounding the reciprocal up adds less than
// r / (span * 2^31) < 1 / span to r / span, which never carries a draw's
// quotient over to the next integer. The multiplier stays below 2^32, so the
// product of a draw and the multiplier fits 64 bits on every word size.
inline SpanDivisor make_span_divisor(std::uint32_t span) {
    const unsigned shift = draw_bits + static_cast<unsigned>(std::bit_width(span - 1));
    const std::uint64_t multiplier = ((std::uint64_t{1} << shift) - 1) / span + 1;
    return {span, static_cast<std::uint32_t>(multiplier), shift};
}

// r mod span, exact for every r below 2^31.
inline std::uint32_t remainder_of(std::uint32_t r, const SpanDivisor& divisor) {
    const auto quotient =
        static_cast<std::uint32_t>(std::uint64_t{r} * divisor.multiplier >> divisor.shift);
    return r - quotient * divisor.span;
}
