// Unit tests of the frame: clamped numbers, the usage block, bounded lines.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "frame/byte_scan.h"
#include "frame/line_filter.h"
#include "frame/number_text.h"
#include "frame/tool_identity.h"
#include "frame/word_kit.h"
#include "reference_line_reader.h"
#include "tool_runner.h"

namespace {

TEST(ClampedNumber, FollowsDecimalConversionAndClampsTo32Bits) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"0", 0},
        {"42", 42},
        {"3x", 3},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"+7", 7},
        {" \t\n\v\f\r-1", -1},
        {"- 1", 0},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"4294967296", 2147483647},  // a truncating conversion would give 0
        {"99999999999999999999999999", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"-4294967296", INT32_MIN},
        {"0000000000000000000000012", 12},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(to_clamped_int32(c.text), c.value) << "text '" << c.text << "'";
    }
}

void write_test_section(const ToolIdentity& identity, std::FILE* stream) {
    std::fprintf(stream, "  USAGE 1: %s <x>\n\n", identity.program_name);
}

constexpr ToolIdentity test_identity = {
    maker_name,   "Testing", "tester",      ToolVersion{1, 2, 3, 6},
    company_name, web_page,  email_address, write_test_section,
};

TEST(UsageBlock, WithoutErrorGoesFromBannerStraightToSection) {
    testing::internal::CaptureStderr();
    show_usage(test_identity, 0, nullptr);  // returns when not asked to exit
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              usage_block("Testing Tool, v1.2.3.0006", "", "  USAGE 1: tester <x>\n\n", "tester"));
}

TEST(UsageBlock, ErrorLineStandsBetweenBannerAndSection) {
    testing::internal::CaptureStderr();
    show_usage(test_identity, 0, "bad thing");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              usage_block("Testing Tool, v1.2.3.0006", "bad thing", "  USAGE 1: tester <x>\n\n",
                          "tester"));
}

TEST(UsageBlock, EndsTheProcessWithStatusOneWhenAsked) {
    EXPECT_EXIT(show_usage(test_identity, 1, nullptr), testing::ExitedWithCode(1), "");
}

TEST(VersionLine, HasNoPaddingAndEndsInCarriageReturnLineFeed) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(show_version(test_identity), 0);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1.2.3.6\r\n");
}

// Every line of some bytes read to the end with a given line limit.
using Reading = Outcome;

Reading read_lines(const std::string& bytes, std::size_t capacity) {
    ScratchDir scratch;
    InputStream in;
    EXPECT_TRUE(open_input_file(in, scratch.write("input", bytes).c_str()));
    static LineBuffer buffer;
    init_line_buffer(buffer, capacity);
    const Reading reading = read_all_lines(buffer, in);
    close_input(in);
    return reading;
}

TEST(BoundedLine, LongestAcceptedLineIsCapacityMinusThreePlusLineFeed) {
    for (std::size_t capacity : {512u, 2048u}) {
        const std::string fits(capacity - 3, 'x');
        Reading ok = read_lines("a\n" + fits + "\nb\n", capacity);
        EXPECT_EQ(ok.last, ReadResult::end_of_input);
        EXPECT_EQ(ok.lines, (std::vector<std::string>{"a\n", fits + "\n", "b\n"}));

        Reading over = read_lines("a\n" + fits + "y\nb\n", capacity);
        EXPECT_EQ(over.last, ReadResult::too_long);
        EXPECT_EQ(over.lines, std::vector<std::string>{"a\n"});
    }
}

TEST(BoundedLine, LastLineWithoutLineFeedMayBeOneLonger) {
    const std::size_t capacity = 512;
    const std::string fits(capacity - 2, 'x');
    Reading ok = read_lines(fits, capacity);
    EXPECT_EQ(ok.last, ReadResult::end_of_input);
    EXPECT_EQ(ok.lines, std::vector<std::string>{fits});
    EXPECT_EQ(read_lines(fits + "y", capacity).last, ReadResult::too_long);
}

TEST(BoundedLine, KeepsNulBytesAndCarriageReturns) {
    const std::string input("ab\0cd\r\n\0\n\r\n", 11);
    Reading r = read_lines(input, 512);
    EXPECT_EQ(r.last, ReadResult::end_of_input);
    EXPECT_EQ(r.lines, (std::vector<std::string>{std::string("ab\0cd\r\n", 7),
                                                 std::string("\0\n", 2), "\r\n"}));
}

TEST(BoundedLine, EmptyInputHasNoLines) {
    Reading r = read_lines("", 512);
    EXPECT_EQ(r.last, ReadResult::end_of_input);
    EXPECT_TRUE(r.lines.empty());
}

TEST(BoundedLine, LinesAcrossBlockBoundariesComeWhole) {
    // Lines of varied length over several blocks, so many straddle a refill.
    std::string input;
    std::vector<std::string> expected;
    for (int i = 0; input.size() < 3 * line_block_size; ++i) {
        std::string line(static_cast<std::size_t>((i * 37) % 2045),
                         static_cast<char>('a' + i % 26));
        line += '\n';
        input += line;
        expected.push_back(line);
    }
    Reading r = read_lines(input, 2048);
    EXPECT_EQ(r.last, ReadResult::end_of_input);
    EXPECT_EQ(r.lines, expected);
}

// Output already produced goes out before a read that may wait, so a pipeline
// or a terminal sees each result as its input arrives; a regular file never
// waits, so its output stays buffered in whole blocks.
TEST(BoundedLine, WritesOutPendingOutputBeforeWaitingOnAPipe) {
    ScratchDir scratch;
    static OutputStream out;
    ASSERT_TRUE(open_output_file(out, scratch.path("out").c_str()));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "a\n", 2), 2);
    close(fds[1]);
    InputStream pipe_in{fds[0], "pipe", true, true};
    static LineBuffer buffer;
    init_line_buffer(buffer, 512, &out);
    LineBlock block;
    ASSERT_EQ(read_line_block(buffer, pipe_in, block), ReadResult::line);
    ASSERT_TRUE(write_bytes(out, block.bytes + block.begin, block.end - block.begin));
    EXPECT_EQ(read_line_block(buffer, pipe_in, block), ReadResult::end_of_input);
    EXPECT_EQ(out.used, 0u);
    EXPECT_EQ(read_file(scratch.path("out")), "a\n");
    close_input(pipe_in);

    InputStream file_in;
    ASSERT_TRUE(open_input_file(file_in, scratch.write("in", "b\n").c_str()));
    init_line_buffer(buffer, 512, &out);
    ASSERT_EQ(read_line_block(buffer, file_in, block), ReadResult::line);
    ASSERT_TRUE(write_bytes(out, block.bytes + block.begin, block.end - block.begin));
    EXPECT_EQ(read_line_block(buffer, file_in, block), ReadResult::end_of_input);
    EXPECT_EQ(out.used, 2u);
    EXPECT_TRUE(finish_output(out));
    EXPECT_EQ(read_file(scratch.path("out")), "a\nb\n");
    close_input(file_in);
}

TEST(InputFile, ADirectoryDoesNotOpen) {
    ScratchDir scratch;
    InputStream in;
    EXPECT_FALSE(open_input_file(in, scratch.path("").c_str()));
}

TEST(OutputFile, UnbufferedBlocksComeAfterWhatWasBuffered) {
    ScratchDir scratch;
    const std::string path = scratch.path("output");
    OutputStream out;
    ASSERT_TRUE(open_output_file(out, path.c_str()));
    const std::string block(stream_block_size + 3, 'b');
    EXPECT_TRUE(write_bytes(out, "a", 1));
    EXPECT_TRUE(write_unbuffered(out, block.data(), block.size()));
    EXPECT_TRUE(write_bytes(out, "c", 1));
    EXPECT_TRUE(write_unbuffered(out, "d", 1));
    EXPECT_TRUE(finish_output(out));
    EXPECT_EQ(read_file(path), "a" + block + "cd");
}

// Into a pipe the stream holds no more than the pipe does, so a write of
// what it holds never waits for the reader halfway.
TEST(OutputFile, IntoAPipeBlocksAreNoLargerThanThePipe) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int pipe_size = fcntl(fds[1], F_SETPIPE_SZ, 4096);
    ASSERT_GT(pipe_size, 0);
    static OutputStream out;
    ASSERT_TRUE(open_output_file(out, ("/proc/self/fd/" + std::to_string(fds[1])).c_str()));
    const std::string bytes(static_cast<std::size_t>(pipe_size) + 1, 'p');
    for (const char& byte : bytes) {
        ASSERT_TRUE(write_bytes(out, &byte, 1));
    }
    // Not waited for: with nothing written, the test fails rather than hangs.
    ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    std::string arrived(bytes.size(), '\0');
    ASSERT_EQ(read(fds[0], arrived.data(), arrived.size()), pipe_size);
    EXPECT_TRUE(finish_output(out));
    EXPECT_EQ(read(fds[0], arrived.data(), arrived.size()), 1);
    close(fds[0]);
    close(fds[1]);
}

const WordKit every_kit[] = {WordKit::plain, WordKit::sse, WordKit::avx2, WordKit::avx512,
                             WordKit::neon};

// A kit chosen by the tests or by TOVRANE_WORD_KIT is the kit that runs: had
// the choice been ignored, every round of the differential tests would try
// the same kit.
TEST(WordKit, AUsableKitChosenIsTheKitInUse) {
    const WordKit before = chosen_word_kit();
    for (const WordKit kit : every_kit) {
        if (!word_kit_usable(kit)) {
            continue;
        }
        SCOPED_TRACE(word_kit_name(kit));
        use_word_kit(WordKit::plain);
        use_word_kit(kit);
        EXPECT_EQ(chosen_word_kit(), kit);
        use_word_kit(WordKit::plain);
        setenv("TOVRANE_WORD_KIT", word_kit_name(kit), 1);
        EXPECT_TRUE(use_word_kit_from_environment());
        EXPECT_EQ(chosen_word_kit(), kit);
    }
    unsetenv("TOVRANE_WORD_KIT");
    use_word_kit(before);
}

// Which kits a processor may run, and the best of them, from its features
// alone, so every kind of processor is tried here.
TEST(WordKit, EachKitAsksForAllItNeedsAndTheBestAvoidsSlowBitDeposit) {
    ProcessorFeatures all{};
    for (bool* f : {&all.popcnt, &all.ssse3, &all.avx2, &all.bmi, &all.bmi2, &all.pclmul,
                    &all.avx512f, &all.avx512bw, &all.avx512vbmi, &all.avx512vbmi2}) {
        *f = true;
    }
    EXPECT_TRUE(word_kit_runs_on(WordKit::plain, ProcessorFeatures{}));
#if defined(__x86_64__)
    ProcessorFeatures no_vbmi2 = all;
    no_vbmi2.avx512vbmi2 = false;
    ProcessorFeatures no_bmi2 = all;
    no_bmi2.bmi2 = false;
    ProcessorFeatures old_amd = all;  // AVX-512 on Zen 4 is family 19h; before it, microcode
    old_amd.amd = true;
    old_amd.amd_family = 0x17;
    ProcessorFeatures new_amd = old_amd;
    new_amd.amd_family = 0x19;
    ProcessorFeatures no_popcnt = all;
    no_popcnt.popcnt = false;
    EXPECT_EQ(best_word_kit_for(all), WordKit::avx512);
    EXPECT_FALSE(word_kit_runs_on(WordKit::avx512, no_vbmi2));
    EXPECT_EQ(best_word_kit_for(no_vbmi2), WordKit::avx2);
    EXPECT_FALSE(word_kit_runs_on(WordKit::avx2, no_bmi2));
    EXPECT_EQ(best_word_kit_for(no_bmi2), WordKit::sse);
    EXPECT_TRUE(word_kit_runs_on(WordKit::avx512, old_amd));  // when asked for
    EXPECT_EQ(best_word_kit_for(old_amd), WordKit::sse);
    EXPECT_EQ(best_word_kit_for(new_amd), WordKit::avx512);
    EXPECT_EQ(best_word_kit_for(no_popcnt), WordKit::plain);
    // Without any one of the flags it asks for, a kit is refused.
    using Flag = bool ProcessorFeatures::*;
    const Flag sse[] = {&ProcessorFeatures::popcnt, &ProcessorFeatures::ssse3};
    const Flag avx2[] = {&ProcessorFeatures::popcnt, &ProcessorFeatures::avx2,
                         &ProcessorFeatures::bmi, &ProcessorFeatures::bmi2,
                         &ProcessorFeatures::pclmul};
    const Flag avx512[] = {&ProcessorFeatures::avx512f, &ProcessorFeatures::avx512bw,
                           &ProcessorFeatures::avx512vbmi, &ProcessorFeatures::avx512vbmi2};
    const auto refused_without = [&](WordKit kit, const auto& flags) {
        for (const Flag flag : flags) {
            ProcessorFeatures without = all;
            without.*flag = false;
            EXPECT_FALSE(word_kit_runs_on(kit, without)) << static_cast<int>(kit);
        }
    };
    refused_without(WordKit::sse, sse);
    refused_without(WordKit::avx2, avx2);
    refused_without(WordKit::avx512, avx2);
    refused_without(WordKit::avx512, avx512);
#elif defined(__i386__)
    EXPECT_EQ(best_word_kit_for(all), WordKit::sse);
    EXPECT_FALSE(word_kit_runs_on(WordKit::avx2, all));
#elif defined(__aarch64__) && defined(__AARCH64EL__)
    EXPECT_EQ(best_word_kit_for(ProcessorFeatures{}), WordKit::neon);
#else
    EXPECT_EQ(best_word_kit_for(all), WordKit::plain);
#endif
}

// zelk's swap with every kit: only the byte asked for changes, beside the
// bytes one bit away from it, at every length around whole words.
TEST(ByteSwap, EveryKitSwapsOnlyTheByteAskedForAtEveryLength) {
    const unsigned char near[] = {'\\', ']', '[', 0xdc, 0x5e, 0x1c, 0x7f, 0x80, 0xff, 0, 1};
    std::string bytes;
    for (unsigned i = 0; i < 1024; ++i) {
        bytes += static_cast<char>(i < 256 ? i : near[(i * 7 + i / 11) % sizeof near]);
    }
    with_every_kit([&](WordKit kit) {
        for (const std::size_t length : {0, 1, 63, 64, 65, 127, 128, 129, 700, 1024}) {
            std::string swapped = bytes;
            replace_byte(reinterpret_cast<unsigned char*>(swapped.data()), length, '\\', '/');
            std::string expected = bytes;
            std::replace(expected.begin(), expected.begin() + static_cast<long>(length), '\\', '/');
            EXPECT_EQ(swapped, expected) << word_kit_name(kit) << ", length " << length;
        }
    });
}

}  // namespace
