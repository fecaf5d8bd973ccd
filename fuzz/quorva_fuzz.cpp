// quorva's whole run from fuzzer bytes: it writes only bytes of its input,
// its separators and line feeds, and ends with one of its statuses. The same
// bytes, read as an engine run, drive its block engine (through a pipe or a
// file) against the plain line-at-a-time joiner.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "program_harness.h"
#include "reference_line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ProgramRun run = run_program(data, size);
    require(run.status == 0 || run.status == 1 || run.status == 3, "a known status", run);
    bool allowed[256] = {};
    for (const std::string& text : {run.input, std::string("\n")}) {
        for (const char c : text) {
            allowed[static_cast<unsigned char>(c)] = true;
        }
    }
    for (const std::string& arg : run.args) {
        const bool separator = arg.size() > 1 && arg[0] == '-' && arg[1] == 's';
        const std::string text = separator            ? arg.substr(2)
                                 : arg == "--version" ? "1.2.3.6\r\n"
                                                      : "";
        for (const char c : text) {
            allowed[static_cast<unsigned char>(c)] = true;
        }
    }
    for (const std::string& written : run.files) {
        for (const char c : written) {
            require(allowed[static_cast<unsigned char>(c)], "only input and separator bytes", run);
        }
    }
    for (const char c : run.out) {
        require(allowed[static_cast<unsigned char>(c)], "only input and separator bytes", run);
    }
    if (run.status == 3) {
        require(run.err.ends_with(" too long!\n"), "a too-long status says so", run);
    }

    const EngineRun engine = engine_run_from(data, size);
    use_kit_for_input(size);
    const ToolOutcome joined = run_quorva(engine.input, varied_pieces(engine.max_piece),
                                          engine.capacity, engine.group_size, engine.separator);
    if (!(joined ==
          plain_quorva(engine.input, engine.capacity, engine.group_size, engine.separator))) {
        std::fprintf(stderr, "The engine differs from the plain joiner: status %d, %s",
                     joined.status, joined.err.c_str());
        std::abort();
    }
    return 0;
}
