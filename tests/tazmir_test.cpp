// Black-box tests of tazmir. The expected numbers come from this process's own
// copy of the C library's generator, never from tazmir's code.
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tool_runner.h"

namespace {

const std::string banner = "Random Number Generation Tool, v1.1.1.0003";
const std::string section =
    "  USAGE 1: tazmir [-r] [-n<min>] [-x<max>] [-s<sep>] [-64] <N> \n"
    "    where:\n\n"
    "    -r         - Randomises the seed\n"
    "    -n<min>    - specifies the minimum value. Defaults to 0\n"
    "    -x<max>    - specifies the maximum value. Defaults to 2147483647\n"
    "    -s<sep>    - number separator. Defaults to newline\n"
    "    -64        - use 64-bit calculations. NOT CURENTLY SUPPORTED.\n"
    "    <N>        - the number of random number required\n"
    "\n";

std::string usage(const std::string& error = "") {
    return usage_block(banner, error, section, "tazmir");
}

constexpr std::int64_t int32_min = -2147483648LL;
constexpr std::int64_t int32_max = 2147483647;

// What tazmir must write: count draws of minimum + (rand() mod span), span in
// 64 bits. srand(1) puts the generator back in its default, unseeded state.
std::string draws(int count, std::int64_t minimum = 0, std::int64_t maximum = int32_max,
                  const std::string& separator = "\n", unsigned seed = 1) {
    std::srand(seed);
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += std::to_string(minimum + std::rand() % (maximum - minimum)) + separator;
    }
    return text;
}

TEST(Tazmir, WritesTheDefaultSequenceUnseeded) {
    const std::string first_five = "1804289383\n846930886\n1681692777\n1714636915\n1957747793\n";
    const std::string low = draws(3, int32_min, -2147483000);
    run_cases(
        "tazmir",
        {
            {"first five of the default range", {"5"}, "", first_five, "", 0},
            {"separator after every number", {"-s,", "3"}, "", draws(3, 0, int32_max, ","), "", 0},
            {"empty separator", {"-s", "3"}, "", draws(3, 0, int32_max, ""), "", 0},
            {"separator is not unescaped",
             {"3", "-s\\n"},
             "",
             draws(3, 0, int32_max, "\\n"),
             "",
             0},
            {"small range never writes the maximum",
             {"-n5", "-x8", "100"},
             "",
             draws(100, 5, 8),
             "",
             0},
            {"negative minimum", {"-n-5", "-x5", "50"}, "", draws(50, -5, 5), "", 0},
            {"later options win",
             {"-x10", "-s;", "6", "-x20", "-s,"},
             "",
             draws(6, 0, 20, ","),
             "",
             0},
            {"first count of zero leaves room", {"0", "4"}, "", draws(4), "", 0},
            {"first count without digits leaves room", {"abc", "4"}, "", draws(4), "", 0},
            {"empty first count leaves room", {"", "4"}, "", draws(4), "", 0},
            {"text after the count's digits is ignored", {"3x"}, "", draws(3), "", 0},
            {"maximum beyond the range clamps", {"-x4294967296", "3"}, "", draws(3), "", 0},
            {"minimum below the range clamps",
             {"-n-4294967296", "-x-2147483000", "3"},
             "",
             low,
             "",
             0},
        });
}

// A span wider than 2147483647 is taken in 64 bits instead of wrapping. Every
// range gives the library's own draws: spans of 1, 2, 2^31 - 1, 2^31 and
// 2^32 - 1, and one of each width between, at random places and counts.
TEST(Tazmir, WideRangesDoNotWrap) {
    const std::string full = draws(5, int32_min, int32_max);
    const std::string wide = draws(8, -2000000000, 2000000000);
    std::vector<ToolCase> cases = {
        {"whole 32-bit range", {"-n-2147483648", "-x2147483647", "5"}, "", full, "", 0},
        {"wider than the positive range", {"-n-2000000000", "-x2000000000", "8"}, "", wide, "", 0},
    };
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges = {
        {-7, -6},        {-1, 1},        {int32_min, -1},
        {-1, int32_max}, {int32_min, 0}, {int32_min, int32_max}};
    std::mt19937 pick(20261208);
    for (int width = 1; width <= 32; ++width) {
        const std::int64_t span = std::uniform_int_distribution<std::int64_t>(
            std::int64_t{1} << (width - 1), (std::int64_t{1} << width) - 1)(pick);
        const std::int64_t minimum =
            std::uniform_int_distribution<std::int64_t>(int32_min, int32_max - span)(pick);
        ranges.emplace_back(minimum, minimum + span);
    }
    std::deque<std::string> names;  // the rows point into it
    for (const auto& [minimum, maximum] : ranges) {
        const int count = std::uniform_int_distribution<int>(1, 3000)(pick);
        std::vector<std::string> args = {"-n" + std::to_string(minimum),
                                         "-x" + std::to_string(maximum), std::to_string(count)};
        names.push_back(args[0] + " " + args[1] + " " + args[2]);
        cases.push_back({names.back().c_str(), args, "", draws(count, minimum, maximum), "", 0});
    }
    run_cases("tazmir", cases);
    EXPECT_NE(full, draws(5, int32_min, int32_min + 1)) << "every draw is the minimum";
}

TEST(Tazmir, HelpVersionAndCommandLineErrors) {
    const std::string unrecognised = usage("unrecognised argument");
    const std::string no_64_bit = usage("64-bit calculations not currently supported");
    const std::string bad_range = usage("invalid minimum and/or maximum");
    run_cases("tazmir",
              {
                  {"no arguments", {}, "", "", usage(), 1},
                  {"help", {"-?"}, "", "", usage(), 1},
                  {"help before a count", {"-?", "5"}, "", "", usage(), 1},
                  {"version", {"--version"}, "", "1.1.1.3\r\n", "", 0},
                  {"version ignores what follows", {"--version", "-64"}, "", "1.1.1.3\r\n", "", 0},
                  {"help with more characters", {"5", "-?x"}, "", "", unrecognised, 1},
                  {"double dash", {"--x", "5"}, "", "", unrecognised, 1},
                  {"lone dash", {"-", "5"}, "", "", unrecognised, 1},
                  {"unknown option", {"-y", "5"}, "", "", unrecognised, 1},
                  {"64-bit", {"5", "-64"}, "", "", no_64_bit, 1},
                  {"64-bit before a bad count", {"0", "-64"}, "", "", no_64_bit, 1},
                  {"longer than 64-bit", {"-640", "5"}, "", "", unrecognised, 1},
                  {"shorter than 64-bit", {"-6", "5"}, "", "", unrecognised, 1},
                  {"second count", {"4", "5"}, "", "", unrecognised, 1},
                  {"negative first count leaves no room", {" -3", "4"}, "", "", unrecognised, 1},
                  {"detached minimum", {"-n", "5", "3"}, "", "", unrecognised, 1},
                  {"detached negative minimum", {"-n", "-5"}, "", "", unrecognised, 1},
                  {"missing count", {"-n5"}, "", "", usage("invalid number requested"), 1},
                  {"zero count", {"0"}, "", "", usage("invalid number requested"), 1},
                  {"count without digits", {"abc"}, "", "", usage("invalid number requested"), 1},
                  {"negative count", {" -3"}, "", "", usage("invalid number requested"), 1},
                  {"count is checked before the range",
                   {"-x0"},
                   "",
                   "",
                   usage("invalid number requested"),
                   1},
                  {"maximum below minimum", {"-x3", "-n7", "2"}, "", "", bad_range, 1},
                  {"minimum above maximum", {"-n7", "-x3", "2"}, "", "", bad_range, 1},
              });
}

// An empty range would divide by zero; it is refused like a reversed one.
TEST(Tazmir, EqualMinimumAndMaximumIsRefused) {
    const std::string refused = usage("invalid minimum and/or maximum");
    run_cases("tazmir", {
                            {"maximum of zero", {"-x0", "3"}, "", "", refused, 1},
                            {"maximum without digits", {"-x", "3"}, "", "", refused, 1},
                            {"equal bounds", {"-n5", "-x5", "3"}, "", "", refused, 1},
                            {"both at the top", {"-n2147483647", "3"}, "", "", refused, 1},
                        });
}

// With -r the generator is seeded once from the clock in seconds.
TEST(Tazmir, ReseedsFromTheClock) {
    for (const std::string option : {"-r", "-rx"}) {
        SCOPED_TRACE(option);
        const std::time_t before = std::time(nullptr);
        const RunResult r = run_tool("tazmir", {option, "-n10", "-x1000", "20"});
        const std::time_t after = std::time(nullptr);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        bool matched = false;
        for (std::time_t t = before; t <= after && !matched; ++t) {
            matched = r.out == draws(20, 10, 1000, "\n", static_cast<unsigned>(t));
        }
        EXPECT_TRUE(matched) << r.out;
        EXPECT_NE(r.out, draws(20, 10, 1000));
    }
}

TEST(Tazmir, LongOutputsAndSeparatorsCrossTheBuffer) {
    const std::string wide(300, '#');
    const std::string huge(70000, '~');
    run_cases(
        "tazmir",
        {
            {"many numbers", {"-s, ", "200000"}, "", draws(200000, 0, int32_max, ", "), "", 0},
            {"long separator",
             {"-s" + wide, "-n-9", "-x9", "500"},
             "",
             draws(500, -9, 9, wide),
             "",
             0},
            {"separator beyond the buffer",
             {"-s" + huge, "3"},
             "",
             draws(3, 0, int32_max, huge),
             "",
             0},
        });
}

// The run stops at the first refused write, even with the largest count.
TEST(Tazmir, ARefusedWriteStopsTheLargestCountAtOnce) {
    RunOptions full_stdout;
    full_stdout.stdout_path = "/dev/full";
    const RunResult r = run_tool("tazmir", {"2147483647"}, full_stdout);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Could not write \"stdout\"!\n");
}

}  // namespace
