#!/usr/bin/env bash
# Builds the Debian package, checks its metadata and contents, lints it,
# unpacks it into a temporary root and runs every program from there; then
# builds it again from a copy of the source in a fresh build folder and
# expects the same bytes.
# Usage: package_test.sh <cmake> <cpack> <source dir> <build dir> <version> <program>...
set -uo pipefail
cmake=$1 cpack=$2 source=$3 build=$4 version=$5
shift 5
tools=("$@")
. "$(dirname "$0")/installed_tools.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The package takes its time stamps from the last commit by itself; where
# there is no commit to read, both builds are given one.
commit_time=$(git -C "$source" log -1 --format=%ct 2>/dev/null)
[[ -n ${SOURCE_DATE_EPOCH:-} || -n $commit_time ]] || export SOURCE_DATE_EPOCH=$(date +%s)

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack -G DEB failed"
fi
# A cross build's package is for its target (PACKAGE_ARCHITECTURE).
architecture=${PACKAGE_ARCHITECTURE:-$(dpkg --print-architecture)}
package=$scratch/out/tovrane-text-tools_${version}_$architecture.deb
if [[ ! -f $package ]]; then
    fail "no package $package: $(ls "$scratch/out")"
    exit 1
fi

field() { dpkg-deb -f "$package" "$1"; }
[[ $(field Package) == tovrane-text-tools ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Section) == utils ]] || fail "Section: $(field Section)"
[[ $(field Architecture) == "$architecture" ]] || fail "Architecture: $(field Architecture)"
[[ $(field Maintainer) == "Tovrane Software (Pty) Ltd <support@tovrane.com>" ]] ||
    fail "Maintainer: $(field Maintainer)"
[[ $(field Description | wc -l) -ge 2 ]] || fail "Description lacks its long text"
# Only the C and C++ runtime may be needed.
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -Ev '^(libc6|libstdc\+\+6|libgcc-s1)$')
[[ -z $depends ]] || fail "unexpected dependencies: $depends"
# Files belong to root, whoever built the package.
owners=$(dpkg-deb -c "$package" | awk '{print $2}' | sort -u)
[[ $owners == root/root ]] || fail "file owners in the package: $owners"

# Policy: nothing but what the package's own overrides cover.
if command -v lintian >/dev/null; then
    ignored='^running with root privileges'
    # clang cannot fortify the C library's formatted output, and a program
    # that calls nothing else fortifiable then looks unhardened to lintian;
    # the package we ship is built with g++, which must pass in full.
    [[ ${PACKAGE_COMPILER:-GNU} == GNU ]] || ignored+='|: hardening-no-fortify-functions '
    tags=$(lintian -I -E --pedantic "$package" 2>&1 | grep -Ev "$ignored")
    [[ -z $tags ]] || fail "lintian: $tags"
fi

root=$scratch/root
dpkg-deb -x "$package" "$root" || fail "dpkg-deb -x failed"
for tool in "${tools[@]}"; do
    [[ -x $root/usr/bin/$tool ]] || { fail "$tool not in /usr/bin of the package"; continue; }
    [[ -f $root/usr/share/man/man1/$tool.1.gz ]] || fail "no manual page for $tool in the package"
    check_version "$root/usr/bin" "$tool"
    check_job "$root/usr/bin" "$tool"
    check_lean "$root/usr/bin/$tool"
done
docs=$root/usr/share/doc/tovrane-text-tools
[[ -f $docs/README.md ]] || fail "README.md not in the package"
[[ -s $docs/copyright && ! -e $docs/LICENSE ]] || fail "no copyright file, or a LICENSE beside it"
# The changelog's latest entry is this version.
zcat "$docs/changelog.gz" >"$scratch/changelog" || fail "changelog.gz is no gzip file"
logged=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version 2>&1)
[[ $logged == "$version" ]] || fail "the changelog's latest entry is $logged, not $version"

# Reproducible: the same package from another copy of the source, built in
# another folder with the same compiler and flags.
copy=$scratch/source fresh=$scratch/build
mkdir "$copy" && tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf - ||
    fail "could not copy the source"
settings=()
for name in CMAKE_TOOLCHAIN_FILE CMAKE_CXX_COMPILER CMAKE_BUILD_TYPE CMAKE_CXX_FLAGS \
    CMAKE_EXE_LINKER_FLAGS CMAKE_COMPILE_WARNING_AS_ERROR HARDENING; do
    value=$(sed -n "s/^$name:[A-Z]*=//p" "$build/CMakeCache.txt")
    [[ -z $value ]] || settings+=("-D$name=$value")
done
if ! { "$cmake" -S "$copy" -B "$fresh" -DBUILD_TESTING=OFF "${settings[@]}" &&
    "$cmake" --build "$fresh" -j2 &&
    SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$commit_time} "$cpack" -G DEB \
        --config "$fresh/CPackConfig.cmake" -B "$scratch/again"; } >"$scratch/again.log" 2>&1; then
    cat "$scratch/again.log" >&2
    fail "the second package build failed"
elif ! cmp -s "$package" "$scratch/again/${package##*/}"; then
    again=$scratch/again/${package##*/}
    dpkg-deb -x "$again" "$scratch/again/root"
    fail "the second build differs: $(diff <(dpkg-deb -c "$package") <(dpkg-deb -c "$again") | head)" \
        "$(diff -rq "$root" "$scratch/again/root")"
fi

echo "package test: ${#tools[@]} programs, $failures failures"
exit $((failures > 0))
