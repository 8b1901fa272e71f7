#!/usr/bin/env bash
# Builds the .deb from the already-built tree into a scratch folder and checks it as dpkg would
# see it: control fields with computed dependencies, the files with their owners and modes,
# the maintainer script, and the unpacked programs still running after stripping.
# Usage: check-deb.sh BUILD_DIR VERSION
set -euo pipefail
source "$(dirname "$0")/package-layout.sh"
build=$1 version=$2
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
debs=("$out"/package/*.deb)
if [ ${#debs[@]} != 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: cpack made ${debs[*]}, not one .deb" >&2
    exit 1
fi
deb=${debs[0]}
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tervane-q7-dashboard ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
for name in Maintainer Section Description; do
    [ -n "$(field "$name")" ] || fail "$name is empty"
done
# Computed by dpkg-shlibdeps from the programs' libraries, so the window's Qt is among them.
depends=$(field Depends)
echo "Depends: $depends"
for package in libc6 libxml2 libqt6widgets6; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: '$depends'"
done

# dpkg-deb -c: "mode owner/group size date time ./path"
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ { print $6 }' <<<"$listing" | sed 's|^\./||' | layout_of)
while read -r line; do
    [ -n "$line" ] && fail "package: $line"
done <<<"$(layout_difference "$(expected_files)" "$files")"
while read -r mode owner _ _ _ path; do
    [ "$owner" = root/root ] || fail "$path belongs to $owner"
    case $mode in d*) continue ;; esac
    case $path in
    ./usr/bin/*) [ "$mode" = -rwxr-xr-x ] || fail "$path has mode $mode" ;;
    *) [ "$mode" = -rw-r--r-- ] || fail "$path has mode $mode" ;;
    esac
done <<<"$listing"

dpkg-deb -e "$deb" "$out/control"
postinst="$out/control/postinst"
if [ ! -x "$postinst" ]; then
    fail "postinst missing or not executable"
elif ! sh -n "$postinst"; then
    fail "postinst is not valid sh"
fi

dpkg-deb -x "$deb" "$out/root"
for program in "${programs[@]}"; do
    [ -x "$out/root/usr/bin/$program" ] || continue
    if command -v file >/dev/null && file -b "$out/root/usr/bin/$program" | grep -q 'not stripped'; then
        fail "$program is not stripped"
    fi
    problem=$(check_version "$out/root" "$program" "$version")
    [ -z "$problem" ] || fail "$problem"
done

if [ ${#failures[@]} -gt 0 ]; then
    echo "${#failures[@]} package check(s) failed" >&2
    exit 1
fi
echo "package of ${programs[*]} checked"
