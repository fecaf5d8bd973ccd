// The choice of a word kit, once per run.
#include "frame/word_kit.h"

#include <initializer_list>

#if WORD_KIT_X86
#include <cpuid.h>
#endif

#if WORD_KIT_X86_64
// Bit deposit and extract are microcode on AMD's processors before family
// 19h, many times slower than the plain steps they would replace.
static bool has_fast_bit_deposit() {
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d) == 0) {
        return false;
    }
    const bool amd = b == 0x68747541 || b == 0x6f677948;  // "Auth"enticAMD, "Hygo"nGenuine
    if (!amd || __get_cpuid(1, &a, &b, &c, &d) == 0) {
        return !amd;
    }
    unsigned family = a >> 8 & 0xf;
    if (family == 0xf) {
        family += a >> 20 & 0xff;
    }
    return family >= 0x19;
}
#endif

bool word_kit_usable(WordKit kit) {
#if WORD_KIT_X86
    __builtin_cpu_init();
    const bool counts = __builtin_cpu_supports("popcnt");
#endif
    switch (kit) {
        case WordKit::plain:
            return true;
#if WORD_KIT_X86
        case WordKit::sse:
            return counts && __builtin_cpu_supports("ssse3");
#endif
#if WORD_KIT_X86_64
        case WordKit::avx2:
            return counts && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                   __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("pclmul");
        case WordKit::avx512:
            return word_kit_usable(WordKit::avx2) && __builtin_cpu_supports("avx512f") &&
                   __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
                   __builtin_cpu_supports("avx512vbmi2");
#endif
#if WORD_KIT_NEON
        case WordKit::neon:
            return true;
#endif
        default:
            return false;
    }
}

static WordKit best_word_kit() {
    // The kits with bit deposit only where it is fast; elsewhere vectors of
    // 16 bytes without it do better.
#if WORD_KIT_X86_64
    const bool fast_deposit = has_fast_bit_deposit();
    if (fast_deposit && word_kit_usable(WordKit::avx512)) {
        return WordKit::avx512;
    }
    if (fast_deposit && word_kit_usable(WordKit::avx2)) {
        return WordKit::avx2;
    }
#endif
    for (const WordKit kit : {WordKit::neon, WordKit::sse}) {
        if (word_kit_usable(kit)) {
            return kit;
        }
    }
    return WordKit::plain;
}

// The programs have one thread, and a guarded static would bring in the
// whole C++ runtime library for it.
static bool kit_chosen = false;
static WordKit kit_in_use = WordKit::plain;

WordKit chosen_word_kit() {
    if (!kit_chosen) {
        kit_in_use = best_word_kit();
        kit_chosen = true;
    }
    return kit_in_use;
}

void use_word_kit(WordKit kit) {
    kit_in_use = kit;
    kit_chosen = true;
}
