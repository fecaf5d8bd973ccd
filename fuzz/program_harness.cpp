// The in-process program runner of the fuzz targets. The product code has no
// destructors and no heap, so leaving its frames by longjmp loses nothing.
#include "program_harness.h"

#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <sanitizer/common_interface_defs.h>

#include "frame/tool_identity.h"

// The program's main routine, renamed by the build.
int tool_main(int argc, char** argv);

namespace {

std::jmp_buf program_end;
int end_status;

// File descriptors a run may open and leave open; the line tools leave their
// input to the process exit.
constexpr int watched_fds = 64;

struct Harness {
    int saved[3];  // the fuzzer's own standard streams
    int fuzzer_folder;
    int folder_fd;
    std::filesystem::path folder;  // where the program runs, and its files lie

    ~Harness() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

const Harness& harness() {
    static const Harness h = [] {
        Harness made{};
        for (int fd = 0; fd < 3; ++fd) {
            made.saved[fd] = fcntl(fd, F_DUPFD_CLOEXEC, watched_fds);
        }
        // Sanitizer reports must reach the fuzzer's standard error, not the program's.
        __sanitizer_set_report_fd(
            reinterpret_cast<void*>(static_cast<std::intptr_t>(made.saved[2])));
        std::string pattern =
            (std::filesystem::temp_directory_path() / "program_fuzz.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("program harness folder");
            std::abort();
        }
        made.folder = pattern;
        made.fuzzer_folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        made.folder_fd = open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        std::signal(SIGXFSZ, SIG_IGN);  // a write beyond the size limit fails instead
        return made;
    }();
    return h;
}

int memory_file(const std::string& bytes) {
    const int fd = memfd_create("stream", MFD_CLOEXEC);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::perror("memory file");
        std::abort();
    }
    lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string read_all(int fd) {
    std::string bytes;
    char piece[4096];
    ssize_t n;
    lseek(fd, 0, SEEK_SET);
    while ((n = read(fd, piece, sizeof piece)) > 0) {
        bytes.append(piece, static_cast<std::size_t>(n));
    }
    return bytes;
}

int call_main(std::vector<char*>& argv) {
    if (setjmp(program_end) != 0) {
        return end_status;
    }
    return tool_main(static_cast<int>(argv.size()) - 1, argv.data());
}

}  // namespace

void end_program(ExitStatus status) {
    end_status = status;
    std::longjmp(program_end, 1);
}

ProgramRun run_program(const std::uint8_t* data, std::size_t size) {
    const Harness& h = harness();
    ProgramRun run{};
    std::size_t at = 0;
    const std::size_t arg_count = size > 0 ? data[at++] % 8 : 0;
    for (std::size_t i = 0; i < arg_count && at < size; ++i) {
        std::string arg;
        for (; at < size && data[at] != 0; ++at) {
            arg += data[at] == '/' ? '_' : static_cast<char>(data[at]);
        }
        ++at;  // the NUL
        run.args.push_back(arg);
    }
    if (at < size) {
        run.input.assign(reinterpret_cast<const char*>(data) + at, size - at);
    }

    // Whatever a run writes stays small, so that a count of millions stops at
    // a refused write rather than filling memory.
    const rlim_t size_limit = run.input.size() + (1 << 20);
    const rlimit limit{size_limit, size_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::ofstream(h.folder / "in", std::ios::binary) << run.input;
    bool open_before[watched_fds];
    const int streams[3] = {memory_file(run.input), memory_file(""), memory_file("")};
    for (int fd = 0; fd < watched_fds; ++fd) {
        open_before[fd] = fcntl(fd, F_GETFD) != -1;
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("program"));
    for (std::string& arg : run.args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::srand(1);  // the same draws for the same bytes
    std::fflush(nullptr);
    // The fuzzer reads its corpus by relative paths, so the program's folder
    // is the current one only while it runs.
    if (fchdir(h.folder_fd) != 0) {
        std::abort();
    }
    for (int fd = 0; fd < 3; ++fd) {
        dup2(streams[fd], fd);
    }
    run.status = call_main(argv);
    std::fflush(stdout);
    std::clearerr(stdout);
    for (int fd = 0; fd < 3; ++fd) {
        dup2(h.saved[fd], fd);
    }
    if (fchdir(h.fuzzer_folder) != 0) {
        std::abort();
    }
    for (int fd = 3; fd < watched_fds; ++fd) {
        if (!open_before[fd]) {
            close(fd);
        }
    }
    run.out = read_all(streams[1]);
    run.err = read_all(streams[2]);
    for (int fd : streams) {
        close(fd);
    }
    const std::vector<std::filesystem::directory_entry> left(
        std::filesystem::directory_iterator(h.folder), {});
    for (const auto& entry : left) {
        std::ifstream file(entry.path(), std::ios::binary);
        run.files.emplace_back(std::istreambuf_iterator<char>(file),
                               std::istreambuf_iterator<char>());
        std::filesystem::remove(entry.path());
    }
    return run;
}

void require(bool condition, const char* property, const ProgramRun& run) {
    if (condition) {
        return;
    }
    std::fprintf(stderr, "Property broken: %s\nstatus %d, %zu input bytes, arguments:", property,
                 run.status, run.input.size());
    for (const std::string& arg : run.args) {
        std::fprintf(stderr, " '%s'", arg.c_str());
    }
    std::fprintf(stderr, "\nstandard error:\n%s\n", run.err.c_str());
    std::abort();
}

std::size_t count_positionals(const ProgramRun& run) {
    std::size_t count = 0;
    for (const std::string& arg : run.args) {
        count += arg.empty() || arg[0] != '-';
    }
    return count;
}

bool has_arg(const ProgramRun& run, const std::string& arg) {
    for (const std::string& a : run.args) {
        if (a == arg) {
            return true;
        }
    }
    return false;
}
