// tazmir's whole run from fuzzer bytes: a successful run writes the count of
// numbers it was asked for, each in [minimum, maximum) and followed by the
// separator; without -r, exactly the numbers of this process's own rand.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "program_harness.h"
#include "tools/tazmir/span_remainder.h"

namespace {

std::int64_t clamped(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value;
}

// The reciprocal behind each draw's remainder against true division, for
// every width of span: its narrowest and widest spans and random ones, at the
// draws nearest the top of the generator's range, where rounding shows first.
bool check_span_remainders() {
    std::mt19937 pick(7);
    for (int width = 1; width <= 32; ++width) {
        const std::uint32_t low = std::uint32_t{1} << (width - 1);
        std::uniform_int_distribution<std::uint32_t> any_span(low, low - 1 + low);
        for (int i = 0; i < 1000; ++i) {
            const std::uint32_t span = i == 0 ? low : i == 1 ? low - 1 + low : any_span(pick);
            const SpanDivisor divisor = make_span_divisor(span);
            const std::uint32_t top = INT32_MAX / span * span;
            for (std::uint32_t r : {span - 1, top - span - 1, top - 1, top, 2147483647u}) {
                if (r <= INT32_MAX && remainder_of(r, divisor) != r % span) {
                    std::fprintf(stderr, "%u mod %u\n", r, span);
                    std::abort();
                }
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    [[maybe_unused]] static const bool remainders_checked = check_span_remainders();
    const ProgramRun run = run_program(data, size);
    require(run.status == 0 || run.status == 1, "a known status", run);
    if (run.status != 0 || has_arg(run, "--version")) {
        return 0;
    }
    // The run succeeded, so every argument was valid: the last of each option counts.
    std::int64_t count = 0;
    std::int64_t minimum = 0;
    std::int64_t maximum = INT32_MAX;
    std::string separator = "\n";
    bool reseeded = false;
    for (const std::string& arg : run.args) {
        if (arg.empty() || arg[0] != '-') {
            count = count == 0 ? clamped(arg.c_str()) : count;
        } else if (arg[1] == 'n') {
            minimum = clamped(arg.c_str() + 2);
        } else if (arg[1] == 'x') {
            maximum = clamped(arg.c_str() + 2);
        } else if (arg[1] == 's') {
            separator = arg.substr(2);
        } else if (arg[1] == 'r') {
            reseeded = true;
        }
    }
    require(count > 0 && maximum > minimum, "a valid count and range", run);
    if (!reseeded) {
        std::srand(1);
        std::string expected;
        for (std::int64_t i = 0; i < count; ++i) {
            expected += std::to_string(minimum + std::rand() % (maximum - minimum)) + separator;
        }
        require(run.out == expected, "the library's own draws", run);
    }
    // Numbers can only be told apart by a separator that cannot belong to one.
    if (separator.empty() || separator.find_first_of("-0123456789") != std::string::npos) {
        return 0;
    }
    std::size_t at = 0;
    std::int64_t numbers = 0;
    while (at < run.out.size()) {
        const std::size_t end = run.out.find(separator, at);
        require(end != std::string::npos && end > at, "a number before each separator", run);
        const std::string number = run.out.substr(at, end - at);
        require(number.find_first_not_of("-0123456789") == std::string::npos, "digits", run);
        errno = 0;
        const long long value = std::strtoll(number.c_str(), nullptr, 10);
        require(errno == 0 && value >= minimum && value < maximum, "a number in range", run);
        require(std::to_string(value) == number, "a plainly written number", run);
        at = end + separator.size();
        ++numbers;
    }
    require(numbers == count, "as many numbers as asked for", run);
    return 0;
}
