#!/usr/bin/env bash
# Installs the build into a fresh prefix, and again through DESTDIR, and runs
# every program from where it landed.
# Usage: install_test.sh <cmake> <build dir> <source dir> <program>...
set -uo pipefail
cmake=$1 build=$2 source=$3
shift 3
tools=("$@")
. "$(dirname "$0")/installed_tools.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
docs=share/doc/tovrane-text-tools

if ! "$cmake" --install "$build" --prefix "$prefix" --strip >"$scratch/install.log" 2>&1; then
    cat "$scratch/install.log" >&2
    fail "cmake --install --prefix failed"
fi
for tool in "${tools[@]}"; do
    [[ -x $prefix/bin/$tool ]] || { fail "$tool not installed in bin/"; continue; }
    check_version "$prefix/bin" "$tool"
    check_job "$prefix/bin" "$tool"
    check_lean "$prefix/bin/$tool"
    page=$prefix/share/man/man1/$tool.1.gz
    if [[ ! -f $page ]]; then
        fail "no manual page for $tool in share/man/man1/"
    elif ! zcat "$page" | cmp -s - "$source/man/$tool.1"; then
        fail "installed manual page of $tool differs from man/$tool.1"
    elif command -v man >/dev/null &&
        [[ $(MANPATH=$prefix/share/man man -w "$tool" 2>/dev/null) != "$page" ]]; then
        fail "man does not find $tool's page under the prefix"
    fi
done
cmp -s "$prefix/$docs/README.md" "$source/README.md" || fail "README.md not installed in $docs/"
[[ -s $prefix/$docs/copyright ]] || fail "no copyright file in $docs/"
zcat "$prefix/$docs/changelog.gz" 2>/dev/null | cmp -s - "$source/cmake/debian/changelog" ||
    fail "changelog.gz in $docs/ is not the changelog"
# Nothing else is installed: no library, header, test program or package-only
# file.
installed=$(cd "$prefix" && find . -type f | sort)
installed_count=$(printf '%s\n' "$installed" | grep -c .)
[[ $installed_count -eq $((2 * ${#tools[@]} + 3)) ]] ||
    fail "installed $installed_count files: $installed"

# A staged install for packagers: everything under DESTDIR, nothing outside.
stage=$scratch/stage
staged_prefix=/opt/$(basename "$scratch")
if ! DESTDIR=$stage "$cmake" --install "$build" --prefix "$staged_prefix" >"$scratch/stage.log" 2>&1; then
    cat "$scratch/stage.log" >&2
    fail "cmake --install with DESTDIR failed"
fi
for tool in "${tools[@]}"; do
    [[ -x $stage$staged_prefix/bin/$tool && -f $stage$staged_prefix/share/man/man1/$tool.1.gz ]] ||
        fail "$tool or its manual page missing under DESTDIR"
done
[[ -f $stage$staged_prefix/$docs/copyright ]] || fail "copyright file missing under DESTDIR"
[[ ! -e $staged_prefix ]] || fail "the staged install wrote outside DESTDIR"

echo "install test: ${#tools[@]} programs, $failures failures"
exit $((failures > 0))
