#!/usr/bin/env bash
# Builds the Debian package, checks its metadata and contents, unpacks it into
# a temporary root and runs every program from there.
# Usage: package_test.sh <cpack> <build dir> <version> <program>...
set -uo pipefail
cpack=$1 build=$2 version=$3
shift 3
tools=("$@")
. "$(dirname "$0")/installed_tools.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

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

root=$scratch/root
dpkg-deb -x "$package" "$root" || fail "dpkg-deb -x failed"
for tool in "${tools[@]}"; do
    [[ -x $root/usr/bin/$tool ]] || { fail "$tool not in /usr/bin of the package"; continue; }
    [[ -f $root/usr/share/man/man1/$tool.1.gz ]] || fail "no manual page for $tool in the package"
    check_version "$root/usr/bin" "$tool"
    check_job "$root/usr/bin" "$tool"
    check_lean "$root/usr/bin/$tool"
done
for doc in README.md LICENSE; do
    [[ -f $root/usr/share/doc/tovrane-text-tools/$doc ]] || fail "$doc not in the package"
done

echo "package test: ${#tools[@]} programs, $failures failures"
exit $((failures > 0))
