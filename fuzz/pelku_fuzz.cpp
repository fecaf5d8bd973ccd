// pelku's whole run from fuzzer bytes: every file it writes holds only input
// bytes, and a successful run to standard output is the input without its
// blank lines. The same bytes, read as an engine run, drive its block engine
// (through a pipe or a file) against the plain line-at-a-time stripper.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "program_harness.h"
#include "reference_line_reader.h"

namespace {

std::string without_blank_lines(const std::string& input) {
    std::string kept;
    std::size_t begin = 0;
    while (begin < input.size()) {
        std::size_t end = input.find('\n', begin);
        end = end == std::string::npos ? input.size() : end + 1;
        const std::string line = input.substr(begin, end - begin);
        if (line.find_first_not_of(" \t\r\n") != std::string::npos) {
            kept += line;
        }
        begin = end;
    }
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ProgramRun run = run_program(data, size);
    require(run.status == 0 || run.status == 1 || run.status == 3, "a known status", run);
    const bool version = has_arg(run, "--version");
    if (run.status == 0 && !version && count_positionals(run) <= 1) {
        require(run.out == without_blank_lines(run.input), "the input without blank lines", run);
    }
    bool allowed[256] = {};
    for (const char c : run.input + (version ? "1.1.1.3\r\n" : "")) {
        allowed[static_cast<unsigned char>(c)] = true;
    }
    for (const std::string& written : run.files) {
        for (const char c : written) {
            require(allowed[static_cast<unsigned char>(c)], "only input bytes in files", run);
        }
    }
    for (const char c : run.out) {
        require(allowed[static_cast<unsigned char>(c)], "only input bytes", run);
    }
    if (run.status == 3) {
        require(run.err.ends_with(" too long!\n"), "a too-long status says so", run);
    }

    const EngineRun engine = engine_run_from(data, size);
    use_kit_for_input(size);
    const ToolOutcome stripped =
        run_pelku(engine.input, varied_pieces(engine.max_piece), engine.capacity);
    if (!(stripped == plain_pelku(engine.input, engine.capacity))) {
        std::fprintf(stderr, "The engine differs from the plain stripper: status %d, %s",
                     stripped.status, stripped.err.c_str());
        std::abort();
    }
    return 0;
}
