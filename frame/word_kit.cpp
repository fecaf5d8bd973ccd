// The choice of a word kit, once per run: the best one for the processor, or
// the one TOVRANE_WORD_KIT names.
#include "frame/word_kit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#if WORD_KIT_X86
#include <cpuid.h>
#endif

static constexpr const char* word_kit_names[] = {"plain", "sse", "avx2", "avx512", "neon"};
static constexpr WordKit every_word_kit[] = {WordKit::plain, WordKit::sse, WordKit::avx2,
                                             WordKit::avx512, WordKit::neon};

const char* word_kit_name(WordKit kit) {
    return word_kit_names[static_cast<int>(kit)];
}

#if WORD_KIT_X86
// The maker, and for AMD's processors the family.
static void read_maker(ProcessorFeatures& features) {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d) == 0) {
        return;
    }
    features.amd = b == 0x68747541 || b == 0x6f677948;  // "Auth"enticAMD, "Hygo"nGenuine
    if (features.amd && __get_cpuid(1, &a, &b, &c, &d) != 0) {
        features.amd_family = a >> 8 & 0xf;
        if (features.amd_family == 0xf) {
            features.amd_family += a >> 20 & 0xff;
        }
    }
}
#endif

ProcessorFeatures processor_features() {
    ProcessorFeatures features{};
#if WORD_KIT_X86
    __builtin_cpu_init();
    features.popcnt = __builtin_cpu_supports("popcnt");
    features.ssse3 = __builtin_cpu_supports("ssse3");
    features.avx2 = __builtin_cpu_supports("avx2");
    features.bmi = __builtin_cpu_supports("bmi");
    features.bmi2 = __builtin_cpu_supports("bmi2");
    features.pclmul = __builtin_cpu_supports("pclmul");
    features.avx512f = __builtin_cpu_supports("avx512f");
    features.avx512bw = __builtin_cpu_supports("avx512bw");
    features.avx512vbmi = __builtin_cpu_supports("avx512vbmi");
    features.avx512vbmi2 = __builtin_cpu_supports("avx512vbmi2");
    read_maker(features);
#endif
    return features;
}

bool word_kit_runs_on(WordKit kit, [[maybe_unused]] const ProcessorFeatures& f) {
    switch (kit) {
        case WordKit::plain:
            return true;
#if WORD_KIT_X86
        case WordKit::sse:
            return f.popcnt && f.ssse3;
#endif
#if WORD_KIT_X86_64
        case WordKit::avx2:
            return f.popcnt && f.avx2 && f.bmi && f.bmi2 && f.pclmul;
        case WordKit::avx512:
            return word_kit_runs_on(WordKit::avx2, f) && f.avx512f && f.avx512bw && f.avx512vbmi &&
                   f.avx512vbmi2;
#endif
#if WORD_KIT_NEON
        case WordKit::neon:
            return true;  // every arm64 processor has it
#endif
        default:
            return false;
    }
}

WordKit best_word_kit_for(const ProcessorFeatures& features) {
    // The kits with bit deposit only where it is fast: it is microcode on
    // AMD's processors before family 19h, many times slower than the plain
    // steps it would replace, and there vectors of 16 bytes without it do
    // better.
    const bool fast_bit_deposit = !features.amd || features.amd_family >= 0x19;
    for (const WordKit kit : {WordKit::avx512, WordKit::avx2}) {
        if (fast_bit_deposit && word_kit_runs_on(kit, features)) {
            return kit;
        }
    }
    for (const WordKit kit : {WordKit::neon, WordKit::sse}) {
        if (word_kit_runs_on(kit, features)) {
            return kit;
        }
    }
    return WordKit::plain;
}

bool word_kit_usable(WordKit kit) {
    return word_kit_runs_on(kit, processor_features());
}

// The programs have one thread, and a guarded static would bring in the
// whole C++ runtime library for it.
static bool kit_chosen = false;
static WordKit kit_in_use = WordKit::plain;

WordKit chosen_word_kit() {
    if (!kit_chosen) {
        kit_in_use = best_word_kit_for(processor_features());
        kit_chosen = true;
    }
    return kit_in_use;
}

void use_word_kit(WordKit kit) {
    kit_in_use = kit;
    kit_chosen = true;
}

bool use_word_kit_from_environment() {
    const char* name = std::getenv("TOVRANE_WORD_KIT");
    if (name == nullptr || name[0] == '\0') {
        return true;
    }
    for (const WordKit kit : every_word_kit) {
        if (std::strcmp(name, word_kit_name(kit)) == 0) {
            if (!word_kit_usable(kit)) {
                std::fprintf(stderr, "Word kit not usable here: TOVRANE_WORD_KIT=\"%s\"!\n", name);
                return false;
            }
            use_word_kit(kit);
            return true;
        }
    }
    std::fprintf(stderr, "Unknown word kit: TOVRANE_WORD_KIT=\"%s\"!\n", name);
    return false;
}
