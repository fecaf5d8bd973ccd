// Black-box tests of the failure paths, the same for every program they apply
// to: streams that refuse, paths that cannot be opened, runs that would
// destroy their own input, odd bytes, lines at their limit, huge argument
// lists and huge inputs. Each run is checked for its output, its messages,
// its status and the files it leaves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "frame/word_kit.h"
#include "tool_runner.h"

namespace {

struct Program {
    const char* name;
    std::vector<std::string> plain;  // arguments for an ordinary run, before any paths
    bool filter;                     // reads an input and takes paths
    std::size_t line_limit;          // the longest line in bytes; 0 for none
    std::string (*expect)(const std::string& input);  // output of a plain run
};

// quorva joining groups of one: each line, with a line feed where it had none.
std::string one_per_line(const std::string& input) {
    return input.empty() || input.back() == '\n' ? input : input + "\n";
}

// Blank lines here are only ever empty ones.
std::string without_empty_lines(const std::string& input) {
    std::string kept;
    for (std::size_t begin = 0, end; begin < input.size(); begin = end) {
        end = std::min(input.find('\n', begin), input.size() - 1) + 1;
        if (end - begin > 1 || input[begin] != '\n') {
            kept += input.substr(begin, end - begin);
        }
    }
    return kept;
}

std::string slashes_swapped(const std::string& input) {
    std::string out = input;
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

const Program programs[] = {
    {"quorva", {"1"}, true, 2046, one_per_line},
    {"pelku", {}, true, 510, without_empty_lines},
    {"tazmir", {"3"}, false, 0, nullptr},
    {"zelk", {}, true, 0, slashes_swapped},
};

std::vector<std::string> joined(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::vector<std::string> with(const Program& p, const std::vector<std::string>& more) {
    return joined(p.plain, more);
}

void expect_result(const RunResult& r, const std::string& out, const std::string& err, int status) {
    EXPECT_TRUE(r.out == out) << "output of " << r.out.size() << " bytes";
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.status, status);
}

std::string quoted(const std::string& path) {
    return "\"" + path + "\"!\n";
}

const std::string text = "C:\\x\n\nb\n";

// Standard output on /dev/full, and closed.
std::vector<RunOptions> refusing_outputs(const std::string& input) {
    std::vector<RunOptions> options(2);
    options[0].stdout_path = "/dev/full";
    options[1].close_stdout = true;
    for (RunOptions& o : options) {
        o.input = input;
    }
    return options;
}

TEST(FailurePaths, RefusedWritesAreReportedByEveryProgram) {
    const std::string refused = "Could not write \"stdout\"!\n";
    for (const Program& p : programs) {
        SCOPED_TRACE(p.name);
        ScratchDir dir;
        const std::string in = dir.write("in", text);
        const std::string empty = dir.write("empty", "");
        for (const RunOptions& options : refusing_outputs(text)) {
            expect_result(run_tool(p.name, p.plain, options), "", refused, 1);
            // An input file opened with standard output closed must not take its place.
            if (p.filter) {
                expect_result(run_tool(p.name, with(p, {in}), options), "", refused, 1);
            }
        }
        if (p.filter) {
            expect_result(run_tool(p.name, with(p, {in, "/dev/full"})), "",
                          "Could not write \"/dev/full\"!\n", 1);
            // Nothing to write is no failure.
            for (const RunOptions& options : refusing_outputs("")) {
                expect_result(run_tool(p.name, p.plain, options), "", "", 0);
                expect_result(run_tool(p.name, with(p, {empty}), options), "", "", 0);
            }
        }
    }
}

TEST(FailurePaths, AnInputThatCannotBeReadLeavesTheOutputAsItWas) {
    for (const Program& p : programs) {
        if (!p.filter) {
            continue;
        }
        SCOPED_TRACE(p.name);
        ScratchDir dir;
        const std::string out = dir.write("out", "keep me\n");
        for (const std::string& in : {dir.path("missing"), dir.path(""), std::string()}) {
            expect_result(run_tool(p.name, with(p, {in, out})), "", "Could not open " + quoted(in),
                          1);
            EXPECT_EQ(read_file(out), "keep me\n");
            run_tool(p.name, with(p, {in, dir.path("new")}));
            EXPECT_FALSE(file_exists(dir.path("new")));
        }
        RunOptions directory;
        directory.stdin_path = dir.path("");
        RunOptions closed;
        closed.close_stdin = true;
        for (const RunOptions& options : {directory, closed}) {
            expect_result(run_tool(p.name, p.plain, options), "", "Could not read \"stdin\"!\n", 1);
        }
    }
}

TEST(FailurePaths, AnOutputThatCannotBeCreatedIsReported) {
    for (const Program& p : programs) {
        if (!p.filter) {
            continue;
        }
        SCOPED_TRACE(p.name);
        ScratchDir dir;
        const std::string in = dir.write("in", text);
        for (const std::string& out : {dir.path(""), dir.path("no/such/folder"), std::string()}) {
            expect_result(run_tool(p.name, with(p, {in, out})), "",
                          "Could not create " + quoted(out), 1);
            EXPECT_EQ(read_file(in), text);
        }
        EXPECT_FALSE(file_exists(dir.path("no")));
    }
}

// Opening the output would empty the input before the first read.
TEST(FailurePaths, NoProgramWritesOverItsOwnInput) {
    for (const Program& p : programs) {
        if (!p.filter) {
            continue;
        }
        SCOPED_TRACE(p.name);
        ScratchDir dir;
        const std::string in = dir.write("in", text);
        ASSERT_EQ(symlink(in.c_str(), dir.path("soft").c_str()), 0);
        ASSERT_EQ(link(in.c_str(), dir.path("hard").c_str()), 0);
        for (const std::string& out : {in, dir.path("soft"), dir.path("hard")}) {
            expect_result(run_tool(p.name, with(p, {in, out})), "",
                          "Input and output are the same file: " + quoted(out), 1);
            EXPECT_EQ(read_file(in), text);
        }
        const std::string empty = dir.write("empty", "");
        expect_result(run_tool(p.name, with(p, {empty, empty})), "",
                      "Input and output are the same file: " + quoted(empty), 1);
    }
}

// Appending to the input, a run would chase its own output and never end; but
// with nothing left to read (prog f > f, emptied by the shell) nothing is harmed.
TEST(FailurePaths, StandardOutputOnTheInputFileIsRefusedWhileInputIsLeft) {
    for (const Program& p : programs) {
        if (!p.filter) {
            continue;
        }
        SCOPED_TRACE(p.name);
        ScratchDir dir;
        const std::string in = dir.write("in", text);
        ASSERT_EQ(symlink(in.c_str(), dir.path("soft").c_str()), 0);
        ASSERT_EQ(link(in.c_str(), dir.path("hard").c_str()), 0);
        RunOptions onto_input;
        onto_input.stdout_path = dir.path("hard");
        const std::string refused = "Input and output are the same file: \"stdout\"!\n";
        expect_result(run_tool(p.name, with(p, {in}), onto_input), "", refused, 1);
        onto_input.stdin_path = dir.path("soft");
        expect_result(run_tool(p.name, p.plain, onto_input), "", refused, 1);
        EXPECT_EQ(read_file(in), text);
        RunOptions onto_empty;
        onto_empty.stdout_path = onto_empty.stdin_path = dir.write("empty", "");
        expect_result(run_tool(p.name, with(p, {onto_empty.stdout_path}), onto_empty), "", "", 0);
        expect_result(run_tool(p.name, p.plain, onto_empty), "", "", 0);
    }
}

// A pipe that is both input and output would be read back for ever, so the
// run is refused before its first read, leaving the pipe as it was. A socket
// on both standard streams reads one way and writes the other, and works.
TEST(FailurePaths, NoFilterReadsBackItsOwnPipe) {
    constexpr int time_limit_ms = 3000;  // a run that chases its output never ends
    for (const Program& p : programs) {
        if (!p.filter) {
            continue;
        }
        SCOPED_TRACE(p.name);
        ScratchDir dir;
        const std::string fifo = dir.path("fifo");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        RunOptions options;
        options.time_limit_ms = time_limit_ms;

        // printf 'a\n' | prog /dev/stdin /dev/stdin
        int piped[2];
        ASSERT_EQ(pipe2(piped, O_CLOEXEC), 0);
        ASSERT_EQ(write(piped[1], "a\n", 2), 2);
        close(piped[1]);
        options.stdin_fd = piped[0];
        expect_result(run_tool(p.name, with(p, {"/dev/stdin", "/dev/stdin"}), options), "",
                      "Input and output are the same file: " + quoted("/dev/stdin"), 1);
        EXPECT_EQ(read_within(piped[0], 3, 0), "a\n");
        close(piped[0]);

        // printf 'x\n' > fifo & prog fifo fifo; then exec 3<>fifo; prog <&3 >&3
        const int both = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_EQ(write(both, "x\n", 2), 2);
        options.stdin_fd = -1;
        expect_result(run_tool(p.name, with(p, {fifo, fifo}), options), "",
                      "Input and output are the same file: " + quoted(fifo), 1);
        options.stdin_fd = options.stdout_fd = both;
        expect_result(run_tool(p.name, p.plain, options), "",
                      "Input and output are the same file: \"stdout\"!\n", 1);
        EXPECT_EQ(read_within(both, 3, 0), "x\n");
        close(both);

        int sockets[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
        ASSERT_EQ(write(sockets[0], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        shutdown(sockets[0], SHUT_WR);
        options.stdin_fd = options.stdout_fd = sockets[1];
        expect_result(run_tool(p.name, p.plain, options), "", "", 0);
        close(sockets[1]);
        EXPECT_EQ(read_within(sockets[0], 100, time_limit_ms), p.expect(text));
        close(sockets[0]);
    }
}

// Output is handed on as it is made: what a line gives comes out while the
// pipe it was fed through stays open, not once the input ends.
TEST(FailurePaths, ALineComesOutWhileItsInputStaysOpen) {
    struct Case {
        const char* program;
        std::vector<std::string> args;
        std::string input;
        std::string out;
    };
    const Case cases[] = {
        {"pelku", {}, "a\n\nb\n", "a\nb\n"},
        {"quorva", {"2", "-s,"}, "a\nb\n", "a,b\n"},
        {"quorva", {"2", "-s; "}, "a\nb\n", "a; b\n"},
        {"zelk", {}, text, slashes_swapped(text)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + (c.args.empty() ? "" : c.args.back()));
        int in[2];
        int out[2];
        ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        RunOptions options;
        options.stdin_fd = in[0];
        options.stdout_fd = out[1];
        options.time_limit_ms = 10000;
        options.while_running = [&] {
            EXPECT_EQ(write(in[1], c.input.data(), c.input.size()),
                      static_cast<ssize_t>(c.input.size()));
            // An emulator may take longer to start the program than to run it.
            EXPECT_EQ(read_within(out[0], c.out.size(), runs_emulated() ? 5000 : 1000), c.out)
                << "within a second";
            close(in[1]);
        };
        const RunResult r = run_tool(c.program, c.args, options);
        close(in[0]);
        close(out[1]);
        expect_result({read_within(out[0], 100, 1000), r.err, r.status}, "", "", 0);
        close(out[0]);
    }
}

// Every fixed block lies off the stack, so a small stack limit is no crash.
TEST(FailurePaths, EveryProgramRunsWithA64KiBStack) {
    for (const Program& p : programs) {
        SCOPED_TRACE(p.name);
        RunOptions options;
        options.input = text;
        const RunResult plain = run_tool(p.name, p.plain, options);
        options.stack_kib = 64;
        expect_result(run_tool(p.name, p.plain, options), plain.out, "", 0);
    }
}

// A stream left non-blocking by whoever started the program is waited on when
// not ready. Fed in bursts and drained slowly, both pipes often are not.
TEST(FailurePaths, NonBlockingPipesFedAndDrainedSlowly) {
    std::string input;
    while (input.size() < 600000) {
        input += "C:\\dir\\" + std::to_string(input.size()) + "\n\n";
    }
    for (const Program& p : programs) {
        if (!p.filter) {
            continue;
        }
        SCOPED_TRACE(p.name);
        std::size_t fed = 0;
        const auto feed = [&](char* bytes, std::size_t) {
            usleep(fed % (64 * 1024) == 0 ? 2000 : 0);
            const std::size_t length = input.copy(bytes, 4096, fed);
            fed += length;
            return length;
        };
        std::string output;
        const auto drain = [&](const char* bytes, std::size_t length) {
            usleep(3000);
            output.append(bytes, length);
        };
        const StreamedRunResult r = run_tool_streamed(p.name, p.plain, feed, drain, true);
        expect_result({output, r.err, r.status}, p.expect(input), "", 0);
    }
}

TEST(FailurePaths, AnyBytesPassAsThePlainRunSays) {
    std::string every_byte;
    for (int i = 0; i < 256; ++i) {
        every_byte += static_cast<char>(i);
    }
    for (const Program& p : programs) {
        if (!p.filter) {
            continue;
        }
        SCOPED_TRACE(p.name);
        for (const std::string& input :
             {std::string(), every_byte + "\n" + every_byte, std::string("a\nb\\"), text}) {
            RunOptions options;
            options.input = input;
            expect_result(run_tool(p.name, p.plain, options), p.expect(input), "", 0);
        }
    }
}

// A line, counted with its line feed if it has one, may take up to the limit.
TEST(FailurePaths, LinesOneBelowAtAndOneAboveTheLimit) {
    for (const Program& p : programs) {
        if (p.line_limit == 0) {
            continue;
        }
        for (std::size_t length = p.line_limit - 1; length <= p.line_limit + 1; ++length) {
            for (const bool feed : {true, false}) {
                SCOPED_TRACE(std::string(p.name) + " " + std::to_string(length) +
                             (feed ? " with" : " without") + " a line feed");
                const std::string line = std::string(length - feed, 'x') + (feed ? "\n" : "");
                RunOptions options;
                options.input = "a\n" + line;
                const RunResult r = run_tool(p.name, p.plain, options);
                if (length <= p.line_limit) {
                    expect_result(r, p.expect(options.input), "", 0);
                } else {
                    expect_result(r, p.expect("a\n"), "Line 2 too long!\n", 3);
                }
            }
        }
    }
}

TEST(FailurePaths, ThousandsOfArguments) {
    const std::vector<std::string> many(50000, "-s,");
    const std::vector<std::string> names(50000, "x");
    const std::string invalid = "  Error: Invalid argument(s) specified\n";
    struct Case {
        const char* program;
        std::vector<std::string> args;
        std::string out;
        std::string err_holds;
        int status;
    };
    const Case cases[] = {
        {"quorva", joined({"1"}, many), "a\nb\n", "", 0},
        {"pelku", names, "", invalid, 1},
        {"tazmir", joined(many, {"-n5", "-x6", "3"}), "5,5,5,", "", 0},
        {"zelk", names, "", invalid, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        RunOptions options;
        options.input = "a\nb\n";
        const RunResult r = run_tool(c.program, c.args, options);
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err_holds), std::string::npos) << r.err;
        EXPECT_EQ(r.err.empty(), c.err_holds.empty());
        EXPECT_EQ(r.status, c.status);
    }
}

// Files past 2 GiB open in every build, 32-bit ones above all, where off_t is
// 32 bits unless large files are asked for. The file is sparse, so it takes no
// room, and nothing reads far into it: the line tools stop at their first
// line, zelk at its first write.
TEST(FailurePaths, FilesOverTwoGibibytesOpen) {
    ScratchDir dir;
    const std::string large = dir.write("large", "");
    ASSERT_EQ(truncate(large.c_str(), off_t{3} << 30), 0);
    struct Case {
        const char* program;
        std::vector<std::string> args;
        std::string err;
        int status;
    };
    const Case cases[] = {
        {"quorva", {"1", large}, "Line 1 too long!\n", 3},
        {"pelku", {large}, "Line 1 too long!\n", 3},
        {"zelk", {large, "/dev/full"}, "Could not write \"/dev/full\"!\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        expect_result(run_tool(c.program, c.args), "", c.err, c.status);
    }
}

// 200 MB through a pipe, as lines of 50 bytes and as one line. A child's peak
// counts what it took over from this process before it started the program,
// so each is measured against an empty run started the same way.
TEST(FailurePaths, LargeInputsRunInConstantMemory) {
    constexpr std::uint64_t total = 200 * 1000 * 1000;
    const auto generator = [](std::uint64_t* fed, bool lines) -> InputGenerator {
        return [=](char* bytes, std::size_t capacity) {
            std::size_t length = 0;
            for (; length < capacity && *fed < total; ++length, ++*fed) {
                bytes[length] = lines && *fed % 50 == 49 ? '\n' : 'x';
            }
            return length;
        };
    };
    struct Case {
        const char* program;
        std::vector<std::string> args;
        bool lines;
        int status;
    };
    const Case cases[] = {
        {"quorva", {"*", "-s,"}, true, 0},
        {"pelku", {}, true, 0},
        {"quorva", {"*", "-s,"}, false, 3},
        {"pelku", {}, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + (c.lines ? " lines" : " one line"));
        std::uint64_t fed = 0;
        std::uint64_t written = 0;
        const StreamedRunResult large =
            run_tool_streamed(c.program, c.args, generator(&fed, c.lines),
                              [&](const char*, std::size_t length) { written += length; });
        EXPECT_EQ(large.status, c.status);
        EXPECT_EQ(large.err, c.status == 0 ? "" : "Line 1 too long!\n");
        // Each line feed becomes a separator or stays; a too-long line writes nothing.
        EXPECT_EQ(written, c.status == 0 ? total : 0);
        const StreamedRunResult empty = run_tool_streamed(
            c.program, c.args, [](char*, std::size_t) { return std::size_t{0}; },
            [](const char*, std::size_t) {});
        EXPECT_LT(large.peak_kib, empty.peak_kib + 1024)
            << "peak " << large.peak_kib << " KiB against " << empty.peak_kib << " when empty";
    }
}

// TOVRANE_WORD_KIT names the kit a run uses: each kit usable here gives the
// output of any other, and a name this build or processor cannot run is
// refused before any file is opened or created. tazmir has no kit.
TEST(FailurePaths, AWordKitNamedInTheEnvironmentRunsOrIsRefusedBeforeAnythingOpens) {
    std::string input;
    for (int i = 0; i < 40; ++i) {
        input += std::string(static_cast<std::size_t>(i * 7 % 90), 'a' + i % 26) + "\\x\n\n";
    }
    input += "no line feed";
    const std::string refused = "Word kit not usable here: TOVRANE_WORD_KIT=\"";
    const std::string unknown = "Unknown word kit: TOVRANE_WORD_KIT=\"";
    std::vector<std::pair<std::string, std::string>> names{{"", ""}};  // name, refusal
    for (const WordKit kit :
         {WordKit::plain, WordKit::sse, WordKit::avx2, WordKit::avx512, WordKit::neon}) {
        names.emplace_back(word_kit_name(kit), word_kit_usable(kit) ? "" : refused);
    }
    for (const char* name : {"bogus", "PLAIN", "plain ", "avx"}) {
        names.emplace_back(name, unknown);
    }
    for (const Program& p : programs) {
        SCOPED_TRACE(p.name);
        ScratchDir dir;
        const std::string in = dir.write("in", input);
        const std::string out = dir.path("out");
        for (const auto& [name, refusal] : names) {
            SCOPED_TRACE("TOVRANE_WORD_KIT=" + name);
            RunOptions options;
            options.environment = {"TOVRANE_WORD_KIT=" + name};
            if (!p.filter) {
                const RunResult r = run_tool(p.name, p.plain, options);
                EXPECT_EQ(r.err, "");
                EXPECT_EQ(r.status, 0);
                continue;
            }
            unlink(out.c_str());
            const RunResult r = run_tool(p.name, with(p, {in, out}), options);
            if (refusal.empty()) {
                expect_result(r, "", "", 0);
                EXPECT_TRUE(read_file(out) == p.expect(input));
            } else {
                expect_result(r, "", refusal + name + "\"!\n", 1);
                EXPECT_FALSE(file_exists(out));
            }
        }
    }
}

}  // namespace
