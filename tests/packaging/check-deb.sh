#!/usr/bin/env bash
# Builds the two .debs from the already-built tree into a scratch folder and checks them as
# dpkg and lintian see them: control fields with computed dependencies (no Qt for the tool,
# the tool for the window), the files of each with their owners and modes, the maintainer
# script, lintian's errors and warnings, and the unpacked programs still running after
# stripping and hardened as Debian builds them.
# Usage: check-deb.sh BUILD_DIR VERSION BUILD_TYPE
# Exits 77 (skipped) only when everything else passed but lintian is not installed.
set -euo pipefail
source "$(dirname "$0")/package-layout.sh"
build=$1 version=$2 build_type=${3:-}
export QT_QPA_PLATFORM=offscreen

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=()
fail() { failures+=("$*"); echo "FAIL: $*" >&2; }

if ! log=$("${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$out/package" 2>&1); then
    echo "$log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
shopt -s nullglob
debs=("$out"/package/*.deb)
shopt -u nullglob
declare -A deb_of=()
for deb in "${debs[@]}"; do
    deb_of[$(dpkg-deb -f "$deb" Package)]=$deb
done
for package in "${packages[@]}"; do
    [ -n "${deb_of[$package]-}" ] || fail "cpack made no $package package (made: ${debs[*]##*/})"
done
[ ${#debs[@]} = ${#packages[@]} ] || fail "cpack made ${#debs[@]} packages: ${debs[*]##*/}"
[ ${#failures[@]} = 0 ] || exit 1

for package in "${packages[@]}"; do
    deb=${deb_of[$package]}
    echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Version)" = "$version" ] || fail "$package: Version is '$(field Version)', not $version"
    [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "$package: Architecture is '$(field Architecture)'"
    for name in Maintainer Section Description; do
        [ -n "$(field "$name")" ] || fail "$package: $name is empty"
    done
    # Computed by dpkg-shlibdeps from the programs' libraries.
    depends=$(field Depends)
    echo "$package Depends: $depends"
    has() { grep -qE "(^|, )$1( |,|$)" <<<"$depends"; }
    for library in libc6 libxml2; do
        has "$library" || fail "$package: Depends lacks $library: '$depends'"
    done
    case $package in
    "$tool")
        # A server without a desktop installs the tool: nothing of Qt or of a display.
        if grep -qE '(^|, )(libqt|libx11|libxcb|libxkb|libgl|libegl|libopengl|libfontconfig|libwayland)' <<<"$depends"; then
            fail "$tool depends on desktop libraries: '$depends'"
        fi
        # Its Ansible collection needs Ansible, which a plain install does not.
        grep -qE "(^|, )ansible-core( |,|$)" <<<"$(field Suggests)" || fail "$tool does not suggest ansible-core: '$(field Suggests)'"
        ;;
    "$dashboard")
        has libqt6widgets6 || fail "$dashboard: Depends lacks libqt6widgets6: '$depends'"
        grep -qF "$tool (= $version)" <<<"$depends" || fail "$dashboard does not depend on $tool (= $version): '$depends'"
        ;;
    esac

    # dpkg-deb -c: "mode owner/group size date time ./path"
    listing=$(dpkg-deb -c "$deb")
    files=$(awk '$1 !~ /^d/ { print $6 }' <<<"$listing" | sed 's|^\./||' | layout_of)
    while read -r line; do
        [ -n "$line" ] && fail "$package: $line"
    done <<<"$(layout_difference "$(package_files "$package")" "$files")"
    while read -r mode owner _ _ _ path; do
        [ "$owner" = root/root ] || fail "$path belongs to $owner"
        case $mode in d*) continue ;; esac
        case $path in
        ./usr/bin/*) [ "$mode" = -rwxr-xr-x ] || fail "$path has mode $mode" ;;
        *) [ "$mode" = -rw-r--r-- ] || fail "$path has mode $mode" ;;
        esac
    done <<<"$listing"

    dpkg-deb -e "$deb" "$out/control-$package"
    postinst="$out/control-$package/postinst"
    if [ "$package" = "$tool" ]; then
        # The udev rule is the tool's, and so is applying it to a gateway already plugged in.
        if [ ! -x "$postinst" ]; then
            fail "$package: postinst missing or not executable"
        elif ! sh -n "$postinst"; then
            fail "$package: postinst is not valid sh"
        fi
    elif [ -e "$postinst" ]; then
        fail "$package has a postinst"
    fi
    dpkg-deb -x "$deb" "$out/root"
done

for program in "${programs[@]}"; do
    binary="$out/root/usr/bin/$program"
    [ -x "$binary" ] || continue
    # The program's code: the program, and for the dashboard its libraries.
    parts=("$binary")
    if [ "$program" = "$dashboard" ]; then
        for library in "${dashboard_libraries[@]}"; do
            [ -f "$out/root/$library" ] && parts+=("$out/root/$library")
        done
    fi
    symbols=
    for part in "${parts[@]}"; do
        name=${part#"$out/root/"}
        if command -v file >/dev/null && file -b "$part" | grep -q 'not stripped'; then
            fail "$name is not stripped"
        fi
        # Read-only relocations, bound at start-up.
        if command -v readelf >/dev/null; then
            # Read whole first: grep -q stopping early would fail the pipe under pipefail.
            segments=$(readelf -lW "$part") dynamic=$(readelf -dW "$part")
            symbols+=$(readelf --dyn-syms -W "$part")
            grep -q GNU_RELRO <<<"$segments" || fail "$name has no read-only relocations"
            grep -qE 'BIND_NOW|FLAGS.*NOW' <<<"$dynamic" || fail "$name is not bound at start-up"
        fi
    done
    # Fortified functions and the stack protector in release builds, somewhere in its code.
    if command -v readelf >/dev/null && [ -n "$build_type" ] && [ "$build_type" != Debug ]; then
        grep -q '__[a-z_]*_chk@' <<<"$symbols" || fail "$program calls no fortified function: not built with _FORTIFY_SOURCE"
        grep -q '__stack_chk_fail@' <<<"$symbols" || fail "$program has no stack protector"
    fi
    problem=$(check_version "$out/root" "$program" "$version")
    [ -z "$problem" ] || fail "$problem"
done

skipped=
if command -v lintian >/dev/null; then
    # Errors and warnings are faults; infos and pedantic hints are not shown.
    if ! report=$(lintian --fail-on error,warning --tag-display-limit 0 "${debs[@]}" 2>&1); then
        fail "lintian: $report"
    elif grep -qE '^[EW]: ' <<<"$report"; then
        fail "lintian: $report"
    fi
else
    skipped="lintian (Debian package lintian) not installed"
fi

if [ ${#failures[@]} -gt 0 ]; then
    echo "${#failures[@]} package check(s) failed" >&2
    exit 1
fi
if [ -n "$skipped" ]; then
    echo "SKIPPED: the packages are right, but not checked by lintian: $skipped"
    exit 77
fi
echo "packages ${packages[*]} of ${programs[*]} checked"
