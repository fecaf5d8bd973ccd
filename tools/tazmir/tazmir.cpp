// tazmir: writes N pseudo-random integers from a range, each followed by a separator.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "frame/byte_stream.h"
#include "frame/number_text.h"
#include "frame/tool_identity.h"
#include "tools/tazmir/span_remainder.h"

static constexpr std::int32_t default_minimum = 0;
static constexpr std::int32_t default_maximum = 2147483647;

static void write_usage_section(const ToolIdentity& identity, std::FILE* stream) {
    std::fprintf(stream, "  USAGE 1: %s [-r] [-n<min>] [-x<max>] [-s<sep>] [-64] <N> \n",
                 identity.program_name);
    std::fputs(
        "    where:\n\n"
        "    -r         - Randomises the seed\n",
        stream);
    std::fprintf(stream, "    -n<min>    - specifies the minimum value. Defaults to %d\n",
                 static_cast<int>(default_minimum));
    std::fprintf(stream, "    -x<max>    - specifies the maximum value. Defaults to %d\n",
                 static_cast<int>(default_maximum));
    std::fputs(
        "    -s<sep>    - number separator. Defaults to newline\n"
        "    -64        - use 64-bit calculations. NOT CURENTLY SUPPORTED.\n"
        "    <N>        - the number of random number required\n"
        "\n",
        stream);
}

static constexpr ToolIdentity tazmir_identity = {
    maker_name,    "Random Number Generation",
    "tazmir",      ToolVersion{1, 1, 1, 3},
    company_name,  web_page,
    email_address, write_usage_section,
};

#ifdef __GLIBC__
// rand() takes a lock around every draw. glibc's reentrant interface gives
// rand's very sequence from a state of our own, set up as rand's is: the
// 128-byte table, seeded with 1 until srand says otherwise.
struct Generator {
    random_data data;
    std::int32_t table[32];
};

static void start_generator(Generator& generator, bool reseed) {
    generator.data = random_data{};  // initstate_r looks at any earlier state
    initstate_r(reseed ? static_cast<unsigned>(std::time(nullptr)) : 1u,
                reinterpret_cast<char*>(generator.table), sizeof generator.table, &generator.data);
}

static std::uint32_t next_draw(Generator& generator) {
    std::int32_t r;
    random_r(&generator.data, &r);
    return static_cast<std::uint32_t>(r);
}
#else
// Elsewhere rand() itself, left unseeded without -r: its default state is
// that library's own and need not be what seed 1 gives.
struct Generator {};

static void start_generator(Generator&, bool reseed) {
    if (reseed) {
        std::srand(static_cast<unsigned>(std::time(nullptr)));
    }
}

static std::uint32_t next_draw(Generator&) {
    return static_cast<std::uint32_t>(std::rand());
}
#endif

// One draw from the half-open range [minimum, maximum) whose span the divisor
// holds, taken in 64 bits so that ranges wider than 2147483647 do not wrap. The
// remainder is below the span, so the sum cannot pass the maximum.
static std::int32_t draw_in_range(Generator& generator, std::int32_t minimum,
                                  const SpanDivisor& divisor) {
    const std::uint32_t r = remainder_of(next_draw(generator), divisor);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(minimum) + r);
}

// "00" to "99": two digits per lookup.
static constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// A value of bit width w has at most w * log10(2) + 1 digits (1233 / 4096
// stands for log10(2)), and one fewer when it is below the smallest value with
// that many.
static constexpr std::uint32_t digit_count_floor[] = {
    0, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

static unsigned count_digits(std::uint32_t value) {
    const unsigned guess = static_cast<unsigned>(std::bit_width(value | 1)) * 1233 >> 12;
    return guess + 1 - (value < digit_count_floor[guess]);
}

// The eight decimal digits of a value below 10^8 as ASCII in one word, the
// first digit in the lowest byte. Splits into halves, quarters and single
// digits side by side in the word's lanes, each split a multiplication by a
// rounded reciprocal that is exact for the lane's range.
static std::uint64_t eight_digits(std::uint32_t value) {
    std::uint64_t x = value / 10000 | std::uint64_t{value % 10000} << 32;
    const std::uint64_t hundreds = (x * 10486 >> 20) & 0x0000007F0000007F;
    x = (x - 100 * hundreds) << 16 | hundreds;
    const std::uint64_t tens = (x * 103 >> 10) & 0x000F000F000F000F;
    x = (x - 10 * tens) << 8 | tens;
    return x | 0x3030303030303030;
}

// Stores the word's bytes lowest first, whatever the byte order.
static void store_word(char* at, std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(at, &word, sizeof word);
    } else {
        for (std::size_t i = 0; i < sizeof word; ++i) {
            at[i] = static_cast<char>(word >> (8 * i));
        }
    }
}

// Writes the number at `at` and returns the end of it. Every store has a fixed
// size, and bytes stored beyond the end are left for the next writes to cover:
// the caller leaves writable_number_length bytes of room. With no branch on the
// sign or the length, a range of mixed lengths costs no mispredictions.
static constexpr std::size_t writable_number_length = 11;

static char* write_number(char* at, std::int32_t number) {
    const bool negative = number < 0;
    const std::uint32_t magnitude =
        negative ? 0u - static_cast<std::uint32_t>(number) : static_cast<std::uint32_t>(number);
    *at = '-';
    at += negative;
    const unsigned length = count_digits(magnitude);
    const std::uint32_t high = magnitude / 100000000;  // at most 21
    const std::uint64_t low = eight_digits(magnitude - high * 100000000);
    const unsigned low_length = length < 8 ? length : 8;
    const unsigned high_length = length - low_length;
    std::memcpy(at, digit_pairs + 2 * high + 2 - high_length, 2);
    at += high_length;
    store_word(at, low >> (8 * (8 - low_length)));
    return at + low_length;
}

// Separators up to this length are copied in with each number as whole pieces
// of a padded copy, at least one piece even for an empty separator, since a
// fixed-size store costs less than a test; longer ones go through write_bytes,
// which also handles any size.
static constexpr std::size_t short_separator_length = 256;
static constexpr std::size_t separator_piece = 16;

static ExitStatus write_draws(OutputStream& out, Generator& generator, std::int32_t count,
                              std::int32_t minimum, std::int32_t maximum, const char* separator) {
    const std::size_t separator_length = std::strlen(separator);
    const bool short_separator = separator_length <= short_separator_length;
    char padded_separator[short_separator_length] = {};
    std::size_t padded_length = separator_piece;
    if (short_separator) {
        std::memcpy(padded_separator, separator, separator_length);
        if (separator_length > separator_piece) {
            padded_length =
                (separator_length + separator_piece - 1) / separator_piece * separator_piece;
        }
    }
    // The caller makes sure the span is at least 1; it is at most 4294967295.
    const SpanDivisor divisor =
        make_span_divisor(static_cast<std::uint32_t>(std::int64_t{maximum} - minimum));
    char* at = out.bytes + out.used;
    char* const last_start = out.bytes + out.capacity - writable_number_length - padded_length;
    for (std::int32_t i = 0; i < count; ++i) {
        // Stop at the first refused write rather than drawing on for nothing.
        if (at > last_start) {
            out.used = static_cast<std::size_t>(at - out.bytes);
            if (!flush_output(out)) {
                return report_write_failure(out);
            }
            at = out.bytes + out.used;
        }
        at = write_number(at, draw_in_range(generator, minimum, divisor));
        std::memcpy(at, padded_separator, separator_piece);
        for (std::size_t piece = separator_piece; piece < padded_length; piece += separator_piece) {
            std::memcpy(at + piece, padded_separator + piece, separator_piece);
        }
        if (short_separator) {
            at += separator_length;
        } else {
            out.used = static_cast<std::size_t>(at - out.bytes);
            if (!write_bytes(out, separator, separator_length)) {
                return report_write_failure(out);
            }
            at = out.bytes + out.used;
        }
    }
    out.used = static_cast<std::size_t>(at - out.bytes);
    return finish_output(out) ? exit_success : report_write_failure(out);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        show_usage(tazmir_identity, 1, nullptr);
    }
    std::int32_t count = 0;
    std::int32_t minimum = default_minimum;
    std::int32_t maximum = default_maximum;
    const char* separator = "\n";
    bool reseed = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            // A first count that reads as 0 leaves room for a later one.
            if (count != 0) {
                show_usage(tazmir_identity, 1, "unrecognised argument");
            }
            count = to_clamped_int32(arg);
        } else if (std::strcmp(arg, "-?") == 0) {
            show_usage(tazmir_identity, 1, nullptr);
        } else if (std::strcmp(arg, "--version") == 0) {
            return show_version(tazmir_identity);
        } else if (arg[1] == '-') {
            show_usage(tazmir_identity, 1, "unrecognised argument");
        } else if (std::strcmp(arg, "-64") == 0) {
            show_usage(tazmir_identity, 1, "64-bit calculations not currently supported");
        } else if (arg[1] == 'n') {
            minimum = to_clamped_int32(arg + 2);
        } else if (arg[1] == 'r') {
            reseed = true;  // whatever follows the 'r' is ignored
        } else if (arg[1] == 's') {
            separator = arg + 2;
        } else if (arg[1] == 'x') {
            maximum = to_clamped_int32(arg + 2);
        } else {
            show_usage(tazmir_identity, 1, "unrecognised argument");
        }
    }
    if (count <= 0) {
        show_usage(tazmir_identity, 1, "invalid number requested");
    }
    // An equal maximum leaves no number to draw, so it is refused like a lower one.
    if (maximum <= minimum) {
        show_usage(tazmir_identity, 1, "invalid minimum and/or maximum");
    }
    // Without -r the generator keeps its default state: the same numbers every run.
    Generator generator;
    start_generator(generator, reseed);
    static OutputStream out;  // off the stack, which may be small
    use_standard_output(out);
    return write_draws(out, generator, count, minimum, maximum, separator);
}
