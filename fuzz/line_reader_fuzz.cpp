// The block line reader over arbitrary bytes, with the line limits of both
// line tools, against the plain reader, with each word kit the processor
// runs. The first byte picks the limit and how many bytes each write into the
// pipe may carry, so lines also arrive split across reads.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frame/line_filter.h"
#include "reference_line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t capacity = data[0] % 2 == 0 ? 512 : 2048;
    const std::size_t max_piece = std::size_t{1} << (data[0] / 2 % 14);
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

    use_kit_for_input(size);
    const Outcome actual = read_through_pipe(input, capacity, varied_pieces(max_piece));
    const Outcome expected = reference_read(input, capacity);
    if (actual.lines != expected.lines || actual.last != expected.last) {
        std::fprintf(stderr, "Kit %d: lines differ from the plain reader's: %zu against %zu\n",
                     static_cast<int>(chosen_word_kit()), actual.lines.size(),
                     expected.lines.size());
        std::abort();
    }
    return 0;
}
