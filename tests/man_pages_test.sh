#!/usr/bin/env bash
# Keeps each manual page in step with its program: the synopsis holds the
# program's own USAGE lines, the OPTIONS section lists exactly the labels of
# its usage block (plus -? and --version), the version is the one it prints,
# and the page renders without a single warning.
# Usage: man_pages_test.sh <bin dir> <man dir> <program>...
set -uo pipefail
set -f  # labels such as -? are data, never patterns
bin=$1 man_dir=$2
shift 2
tools=("$@")

failures=0
# A cross build's programs run under its emulator, named word by word.
read -ra emulator <<<"${TOOL_EMULATOR:-}"
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Collapses runs of blanks and trims them, line by line.
squeeze() { sed -E 's/[[:space:]]+/ /g; s/^ //; s/ $//'; }

# The body of one section of a rendered page, without its heading.
section() { awk -v name="$1" '/^[^ ]/ { inside = ($0 == name); next } inside'; }

for tool in "${tools[@]}"; do
    page=$man_dir/$tool.1
    [[ -f $page ]] || { fail "no manual page man/$tool.1"; continue; }
    [[ -x $bin/$tool ]] || { fail "no program $bin/$tool"; continue; }

    lint=$(groff -ww -man -z "$page" 2>&1)
    [[ -z $lint ]] || fail "groff warns about $tool.1: $lint"
    if command -v mandoc >/dev/null; then
        lint=$(mandoc -T lint "$page" 2>&1)
        [[ -z $lint ]] || fail "mandoc warns about $tool.1: $lint"
    fi

    # Plain text, no overstriking, lines long enough never to wrap.
    text=$(groff -man -Tascii -P-c -P-b -P-u -P-o -rLL=300n "$page" 2>/dev/null)
    usage=$("${emulator[@]}" "$bin/$tool" -? 2>&1 >/dev/null)

    synopsis=$(section SYNOPSIS <<<"$text" | squeeze)
    usage_lines=$(sed -n 's/^  USAGE [0-9]*: //p' <<<"$usage" | squeeze)
    [[ -n $usage_lines ]] || fail "$tool -? shows no USAGE line"
    while IFS= read -r line; do
        grep -qxF -- "$line" <<<"$synopsis" || fail "synopsis of $tool.1 lacks '$line'"
    done <<<"$usage_lines"$'\n'"$tool --version"

    # Labels of the usage section: "    <label>   -   text" between the
    # USAGE 1 and USAGE 2 lines.
    labels=$(awk '/^  USAGE 1:/ { f = 1; next } /^  USAGE 2:/ { f = 0 }
                  f && /^    [^ ]+ +- / { print $1 }' <<<"$usage")
    expected=$(printf '%s\n' $labels -? --version | sort -u)
    # Tags of the OPTIONS section stand at the first indent.
    tags=$(section OPTIONS <<<"$text" | awk '/^       [^ ]/ { print $1 }' | sort -u)
    [[ $tags == "$expected" ]] ||
        fail "options of $tool.1 are" $tags "but its usage block has" $expected

    version=$("${emulator[@]}" "$bin/$tool" --version | tr -d '\r')
    grep -qF "version, $version," <<<"$text" || fail "$tool.1 does not give the version $version"

    [[ $(section NAME <<<"$text" | squeeze) == "$tool - "* ]] || fail "NAME of $tool.1"
    for name in 'EXIT STATUS' EXAMPLES; do
        [[ -n $(section "$name" <<<"$text") ]] || fail "$tool.1 has no $name section"
    done
    see_also=$(section 'SEE ALSO' <<<"$text" | squeeze)
    for other in "${tools[@]}"; do
        [[ $other == "$tool" ]] && continue
        [[ $see_also == *"$other(1)"* ]] || fail "SEE ALSO of $tool.1 does not name $other"
    done
done

echo "manual pages: ${#tools[@]} programs, $failures failures"
exit $((failures > 0))
