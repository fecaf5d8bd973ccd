// tazmir: writes N pseudo-random integers from a range, each followed by a separator.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "frame/byte_stream.h"
#include "frame/number_text.h"
#include "frame/tool_identity.h"

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

// "-2147483648" is the longest number text.
static constexpr std::size_t max_number_length = 11;

// Separators up to this length are copied into the buffer with the number;
// longer ones go through write_bytes, which also handles any size.
static constexpr std::size_t short_separator_length = 256;

// One draw from the half-open range [minimum, maximum); the caller makes sure
// maximum is above minimum. The span is taken in 64 bits so that ranges wider
// than 2147483647 do not wrap: it is then at most 4294967295, and as rand()
// is never negative the remainder fits 32 unsigned bits, which keeps the
// division cheap.
static std::int32_t draw_in_range(std::int32_t minimum, std::int32_t maximum) {
    const std::int64_t span = std::int64_t{maximum} - minimum;
    if (span <= 0) {
        return minimum;  // an empty range has nothing to draw, and no divisor
    }
    const std::uint32_t r = static_cast<std::uint32_t>(std::rand());
    return static_cast<std::int32_t>(minimum + std::int64_t{r % static_cast<std::uint32_t>(span)});
}

// Formats each number straight into the output buffer: a formatted-output call
// per number would cost more than the drawing itself.
static ExitStatus write_draws(OutputStream& out, std::int32_t count, std::int32_t minimum,
                              std::int32_t maximum, const char* separator) {
    const std::size_t separator_length = std::strlen(separator);
    const bool short_separator = separator_length <= short_separator_length;
    const std::size_t room = max_number_length + (short_separator ? separator_length : 0);
    char* const buffer_end = out.bytes + stream_block_size;
    for (std::int32_t i = 0; i < count; ++i) {
        // Stop at the first refused write rather than drawing on for nothing.
        if (stream_block_size - out.used < room && !flush_output(out)) {
            return report_write_failure(out);
        }
        const std::int32_t number = draw_in_range(minimum, maximum);
        char* at = std::to_chars(out.bytes + out.used, buffer_end, number).ptr;
        if (short_separator) {
            std::memcpy(at, separator, separator_length);
            at += separator_length;
        }
        out.used = static_cast<std::size_t>(at - out.bytes);
        if (!short_separator && !write_bytes(out, separator, separator_length)) {
            return report_write_failure(out);
        }
    }
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
    if (reseed) {
        std::srand(static_cast<unsigned>(std::time(nullptr)));
    }
    static OutputStream out;  // off the stack, which may be small
    use_standard_output(out);
    return write_draws(out, count, minimum, maximum, separator);
}
