// Who a program is, and the two ways it says so: the usage block on standard
// error and the version line on standard output.
#pragma once

#include <cstdint>
#include <cstdio>

struct ToolVersion {
    std::int32_t major;
    std::int32_t minor;
    std::int32_t revision;
    std::int32_t build;
};

struct ToolIdentity;

// Writes the program's own lines of the usage block, always to standard error.
using UsageSectionWriter = void (*)(const ToolIdentity& identity, std::FILE* stream);

struct ToolIdentity {
    const char* maker_name;
    const char* tool_title;
    const char* program_name;  // fixed, never taken from argv[0]
    ToolVersion version;
    const char* company_name;
    const char* web_page;
    const char* email_address;
    UsageSectionWriter write_usage_section;
};

// The only statuses a program of the suite ends with.
enum ExitStatus : int {
    exit_success = 0,
    exit_failure = 1,  // usage block, a stream that failed, a refused run
    exit_line_too_long = 3,
};

// The texts every program shares in its identity.
inline constexpr const char* maker_name = "Tovrane Software";
inline constexpr const char* company_name = "Tovrane Software (Pty) Ltd";
inline constexpr const char* web_page = "http://www.tovrane.com/quenby.html";
inline constexpr const char* email_address = "support@tovrane.com";

// Ends the process with status. Every end the frame makes goes through here,
// in a file of its own, so that a build running the programs in-process (the
// fuzz targets) can put its own in place.
[[noreturn]] void end_program(ExitStatus status);

// Writes the usage block to standard error, with an "Error" line when
// error_message is not null. With exit_after non-zero the process then ends
// with exit_failure; otherwise the call returns.
void show_usage(const ToolIdentity& identity, int exit_after, const char* error_message);

// Writes "major.minor.revision.build" and CR LF to standard output; the caller
// returns the result from main at once.
int show_version(const ToolIdentity& identity);
