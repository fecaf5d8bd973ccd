#!/usr/bin/env bash
# Checks the packages that PACKAGE_KINDS names (deb when unset):
#   deb      builds the Debian package, checks its metadata and contents,
#            lints it, unpacks it and runs every program from there;
#   archive  the release archive the package step put in RELEASE_DIR: its
#            layout, owners, dates and SHA256SUMS entry, and its programs,
#            static ones (STATIC_LINK=1) run under the bare emulator;
#   source   the source tarball in RELEASE_DIR: its files, owners, dates and
#            SHA256SUMS entry, and the date it carries;
#   rpm      the RPMs in RELEASE_DIR, which rpmbuild made from the tarball:
#            the binary one's metadata, files and programs, and lint of both
#            and of rpm's recipe in the tarball.
# Then builds them all again in a fresh build folder, from the unpacked source
# tarball where there is one and from a copy of the source otherwise, and
# expects the same bytes.
# Usage: package_test.sh <cmake> <cpack> <source dir> <build dir> <version> <program>...
set -uo pipefail
cmake=$1 cpack=$2 source=$3 build=$4 version=$5
shift 5
tools=("$@")
. "$(dirname "$0")/installed_tools.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The package takes its time stamps from the date an unpacked source tarball
# carries, or from the last commit, by itself; where there is neither, both
# builds are given one.
release_time=$(cat "$source/SOURCE_DATE_EPOCH" 2>/dev/null || git -C "$source" log -1 --format=%ct 2>/dev/null)
[[ -n ${SOURCE_DATE_EPOCH:-} || -n $release_time ]] || export SOURCE_DATE_EPOCH=$(date +%s)
epoch=${SOURCE_DATE_EPOCH:-$release_time}
kinds=" ${PACKAGE_KINDS:-deb} "
generators=()
docs=usr/share/doc/tovrane-text-tools

# A release package is in RELEASE_DIR, with its sum in SHA256SUMS there.
release_package() {
    [[ -f $1 ]] || { fail "no ${1##*/} in ${1%/*}: the package step makes it"; return 1; }
    awk -v name="${1##*/}" '$2 == name' "${1%/*}/SHA256SUMS" 2>/dev/null |
        (cd "${1%/*}" && sha256sum --status -c) || fail "SHA256SUMS has no right sum for ${1##*/}"
}

# A static program needs no loader and no library. Its relocations are made
# read-only and its stack cannot run code; where the C library allows, it is
# position-independent and bound at once like a dynamic one.
check_static() {
    local headers
    headers=$(readelf -lWd "$1")
    [[ $headers != *INTERP* && $headers != *NEEDED* ]] || fail "$1 is not static"
    [[ $headers == *GNU_RELRO* ]] || fail "$1 has no read-only relocations"
    grep -q 'GNU_STACK.* RW ' <<<"$headers" || fail "$1 has no stack or an executable one"
    [[ ${STATIC_PIE:-} != 1 || ($headers == *"DYN (Position-Independent"* && $headers == *BIND_NOW*) ]] ||
        fail "$1 is not a static PIE bound at once"
}

if [[ $kinds == *" deb "* ]]; then
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
    generators+=(DEB)

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
    [[ -f $root/$docs/README.md ]] || fail "README.md not in the package"
    [[ -s $root/$docs/copyright && ! -e $root/$docs/LICENSE ]] || fail "no copyright file, or a LICENSE beside it"
    # The changelog's latest entry is this version.
    zcat "$root/$docs/changelog.gz" >"$scratch/changelog" || fail "changelog.gz is no gzip file"
    logged=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version 2>&1)
    [[ $logged == "$version" ]] || fail "the changelog's latest entry is $logged, not $version"
fi

if [[ $kinds == *" archive "* ]]; then
    archive=$RELEASE_DIR/tovrane-text-tools-$version-linux-$PACKAGE_PROCESSOR.tar.gz
    generators+=(TGZ)
fi
if [[ $kinds == *" archive "* ]] && release_package "$archive"; then
    # One folder named after the archive; every entry owned by root and dated
    # like the commit.
    top=$(basename "$archive" .tar.gz)
    expected=$(for tool in "${tools[@]}"; do echo "bin/$tool"; echo "share/man/man1/$tool.1.gz"; done
        printf "${docs#usr/}/%s\n" README.md changelog.gz copyright)
    files=$(tar -tzf "$archive" | grep -v '/$' | sed "s|^$top/||" | sort)
    [[ $files == "$(sort <<<"$expected")" ]] || fail "the archive holds:" $files
    [[ $(tar -tzf "$archive" | grep -cv "^$top/") -eq 0 ]] || fail "the archive has more than $top/"
    stamps=$(TZ=UTC tar --numeric-owner --full-time -tvzf "$archive" | awk '{print $2, $4, $5}' | sort -u)
    [[ $stamps == "0/0 $(date -u -d "@$epoch" '+%F %T')" ]] || fail "owners and dates in the archive: $stamps"

    unpacked=$scratch/archive
    mkdir "$unpacked" && tar -xzf "$archive" -C "$unpacked" --strip-components=1 || fail "could not unpack $archive"
    cmp -s "$unpacked/${docs#usr/}/README.md" "$source/README.md" || fail "the archive's README.md differs"
    [[ ${STATIC_LINK:-} != 1 ]] || read -ra emulator <<<"${BARE_EMULATOR:-}"
    for tool in "${tools[@]}"; do
        [[ ${STATIC_LINK:-} != 1 ]] || check_static "$unpacked/bin/$tool"
        check_version "$unpacked/bin" "$tool"
        check_job "$unpacked/bin" "$tool"
        check_lean "$unpacked/bin/$tool"
    done
    read -ra emulator <<<"${TOOL_EMULATOR:-}"
fi

if [[ $kinds == *" source "* ]]; then
    tarball=$RELEASE_DIR/tovrane-text-tools-$version.tar.gz
    source_top=tovrane-text-tools-$version
    recipe=$source_top/$RPM_RECIPE
fi
if [[ $kinds == *" source "* ]] && release_package "$tarball"; then
    # One folder named after the tarball: the tracked files, the release's
    # date and rpm's recipe; every entry owned by root and dated like the
    # release.
    files=$(tar -tzf "$tarball" | grep -v '/$' | sort)
    [[ $(grep -cv "^$source_top/" <<<"$files") -eq 0 ]] || fail "the source tarball has more than $source_top/"
    if [[ -e $source/.git ]]; then
        expected=$({ git -C "$source" ls-files; echo SOURCE_DATE_EPOCH; echo "${recipe#*/}"; } |
            sed "s|^|$source_top/|" | sort)
        [[ $files == "$expected" ]] ||
            fail "the source tarball's files differ from the tracked ones:" "$(diff <(echo "$expected") - <<<"$files")"
    fi
    stamps=$(TZ=UTC tar --full-time -tvzf "$tarball" | awk '{print $2, $4, $5}' | sort -u)
    ids=$(tar --numeric-owner -tvzf "$tarball" | awk '{print $2}' | sort -u)
    [[ $stamps == "root/root $(date -u -d "@$epoch" '+%F %T')" && $ids == 0/0 ]] ||
        fail "owners and dates in the source tarball: $stamps ($ids)"
    [[ $(tar -xOzf "$tarball" "$source_top/SOURCE_DATE_EPOCH") == "$epoch" ]] || fail "the source tarball does not carry its date"
fi

if [[ $kinds == *" rpm "* ]]; then
    rpm_package=$RELEASE_DIR/tovrane-text-tools-$version-1.$PACKAGE_PROCESSOR.rpm
    source_rpm=$RELEASE_DIR/tovrane-text-tools-$version-1.src.rpm
    release_package "$source_rpm"
fi
if [[ $kinds == *" rpm "* ]] && release_package "$rpm_package"; then
    query() { rpm -qp --queryformat "$1" "$rpm_package"; }
    metadata=$(query '%{NAME} %{VERSION}-%{RELEASE} %{ARCH} %{LICENSE} %{URL}')
    [[ $metadata == "tovrane-text-tools $version-1 $PACKAGE_PROCESSOR MIT http"* ]] ||
        fail "RPM name, version, architecture, licence or URL: $metadata"
    [[ -n $(query '%{SUMMARY}') && $(query '%{DESCRIPTION}' | wc -l) -ge 2 ]] ||
        fail "the RPM lacks a summary or its long description"
    [[ $(query '%{CHANGELOGNAME}') == *" - $version-1" ]] || fail "the RPM's changelog is not for $version"
    # The files, with rpm's flags: d for documentation, l for the licence.
    expected=$(for tool in "${tools[@]}"; do echo " /usr/bin/$tool"; echo "d /usr/share/man/man1/$tool.1.gz"; done
        echo " /$docs"; echo "d /$docs/README.md"; echo "d /$docs/changelog.gz"; echo "dl /$docs/copyright")
    files=$(query '[%{FILEFLAGS:fflags} %{FILENAMES}\n]' | sort)
    [[ $files == "$(sort <<<"$expected")" ]] || fail "the RPM holds (rpm -qlp):"$'\n'"$files"
    if command -v rpmlint >/dev/null; then
        tar -xzf "$tarball" -C "$scratch" "$recipe"
        lint=$(rpmlint -c "$source/cmake/rpm/rpmlint.toml" "$scratch/$recipe" "$source_rpm" "$rpm_package" 2>&1)
        [[ $lint == *" 0 errors, 0 warnings"* ]] || fail "rpmlint: $(grep -E ': [EW]: ' <<<"$lint")"
    fi
    mkdir "$scratch/rpm" && rpm2archive - <"$rpm_package" | tar -xzf - -C "$scratch/rpm" ||
        fail "could not unpack the RPM"
    for tool in "${tools[@]}"; do
        check_version "$scratch/rpm/usr/bin" "$tool"
        check_job "$scratch/rpm/usr/bin" "$tool"
    done
fi

# Reproducible: the same packages from another copy of the source, built in
# another folder with the same compiler and flags. The source tarball carries
# its date; a plain copy is given it.
copy=$scratch/source fresh=$scratch/build
dated=(SOURCE_DATE_EPOCH="$epoch")
if [[ -n ${tarball:-} ]]; then
    mkdir "$copy" && tar -xzf "$tarball" -C "$copy" --strip-components=1 || fail "could not unpack the source tarball"
    dated=()
else
    mkdir "$copy" && tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf - ||
        fail "could not copy the source"
fi
settings=()
for name in CMAKE_TOOLCHAIN_FILE CMAKE_CXX_COMPILER CMAKE_BUILD_TYPE CMAKE_CXX_FLAGS \
    CMAKE_EXE_LINKER_FLAGS CMAKE_COMPILE_WARNING_AS_ERROR HARDENING STATIC_LINK; do
    value=$(sed -n "s/^$name:[A-Z]*=//p" "$build/CMakeCache.txt")
    [[ -z $value ]] || settings+=("-D$name=$value")
done
if ! { "$cmake" -S "$copy" -B "$fresh" -DBUILD_TESTING=OFF "${settings[@]}" &&
    "$cmake" --build "$fresh" -j2 &&
    env -u SOURCE_DATE_EPOCH "${dated[@]}" "$cpack" -G "$(IFS=';'; echo "${generators[*]}")" \
        --config "$fresh/CPackConfig.cmake" -B "$scratch/again"; } >"$scratch/again.log" 2>&1; then
    cat "$scratch/again.log" >&2
    fail "the second package build failed"
else
    if [[ -n ${package:-} ]] && ! cmp -s "$package" "$scratch/again/${package##*/}"; then
        again=$scratch/again/${package##*/}
        dpkg-deb -x "$again" "$scratch/again/root"
        fail "the second build differs: $(diff <(dpkg-deb -c "$package") <(dpkg-deb -c "$again") | head)" \
            "$(diff -rq "$root" "$scratch/again/root")"
    fi
    for first in ${archive:-}; do
        cmp -s "$first" "$scratch/again/${first##*/}" || fail "the second build's ${first##*/} differs"
    done
fi
# rpmbuild -ta again, in another folder, without the tests the first run ran,
# and with the umask the first had.
if [[ -n ${rpm_package:-} ]]; then
    if ! (umask 022 && rpmbuild -ta --nodeps --nocheck --define "_topdir $scratch/rpmbuild" --define "_smp_ncpus_max 2" \
        "$tarball") >"$scratch/rpmbuild.log" 2>&1; then
        cat "$scratch/rpmbuild.log" >&2
        fail "rpmbuild -ta failed"
    fi
    for first in "$rpm_package" "$source_rpm"; do
        cmp -s "$first" "$(find "$scratch/rpmbuild" -name "${first##*/}")" ||
            fail "the second rpmbuild's ${first##*/} differs"
    done
fi

echo "package test ($(echo $kinds)): ${#tools[@]} programs, $failures failures"
exit $((failures > 0))
