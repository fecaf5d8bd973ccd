// tazmir's whole run from fuzzer bytes: a successful run writes the count of
// numbers it was asked for, each in [minimum, maximum) and followed by the
// separator.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "program_harness.h"

namespace {

std::int64_t clamped(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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
    for (const std::string& arg : run.args) {
        if (arg.empty() || arg[0] != '-') {
            count = count == 0 ? clamped(arg.c_str()) : count;
        } else if (arg[1] == 'n') {
            minimum = clamped(arg.c_str() + 2);
        } else if (arg[1] == 'x') {
            maximum = clamped(arg.c_str() + 2);
        } else if (arg[1] == 's') {
            separator = arg.substr(2);
        }
    }
    require(count > 0 && maximum > minimum, "a valid count and range", run);
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
