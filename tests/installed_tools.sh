# Checks shared by the install and package tests, sourced by both: each takes
# the folder the programs were installed into and the name of one program.

failures=0
# A cross build's programs run under its emulator, named word by word.
read -ra emulator <<<"${TOOL_EMULATOR:-}"
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --version writes four dot-separated numbers and CR LF, with status 0.
check_version() {
    local bin=$1 tool=$2 out status
    out=$("${emulator[@]}" "$bin/$tool" --version | od -An -c | tr -s ' \n' ' ')
    status=${PIPESTATUS[0]}
    [[ $status -eq 0 && $out =~ ^\ ([0-9]\ )+\.\ ([0-9]\ )+\.\ ([0-9]\ )+\.\ ([0-9]\ )+\\r\ \\n\ $ ]] ||
        fail "$tool --version from $bin: status $status, output '$out'"
}

# One real job per program; a program without one here fails, so that a new
# name in the list of programs cannot go unchecked.
check_job() {
    local bin=$1 tool=$2 actual expected
    case $tool in
    quorva)
        actual=$(printf 'a\nb\nc\n' | "${emulator[@]}" "$bin/quorva" 2 -s,; echo "|$?")
        expected=$'a,b\nc,|0' ;;
    pelku)
        actual=$(printf 'a\n\n \t\r\nb\n' | "${emulator[@]}" "$bin/pelku"; echo "|$?")
        expected=$'a\nb\n|0' ;;
    tazmir)
        # Never seeded without -r: the C library's default sequence.
        actual=$("${emulator[@]}" "$bin/tazmir" -s, 3; echo "|$?")
        expected='1804289383,846930886,1681692777,|0' ;;
    zelk)
        actual=$(printf 'C:\\dir\\a/b.txt\r\n' | "${emulator[@]}" "$bin/zelk"; echo "|$?")
        expected=$'C:/dir/a/b.txt\r\n|0' ;;
    *)
        fail "no job to run for $tool"
        return ;;
    esac
    [[ $actual == "$expected" ]] ||
        fail "$tool job from $bin: got $(printf %q "$actual"), expected $(printf %q "$expected")"
}

# A lean program: stripped (of the compiler's .comment note too), and linked
# to nothing beyond the C and C++ runtime. readelf reads the program whatever
# its architecture.
check_lean() {
    local program=$1 needed unexpected
    if readelf -S "$program" | grep -q -e '\.symtab' -e '\.comment'; then
        fail "$program is not stripped"
    fi
    needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
    unexpected=$(printf '%s\n' "$needed" | grep -Ev \
        '^((libc|libm|libstdc\+\+|libgcc_s)\.so\.[0-9]+|ld-linux.*\.so\.[0-9]+)?$' || true)
    [[ -z $unexpected ]] || fail "$program needs more than the C and C++ runtime: $unexpected"
}
