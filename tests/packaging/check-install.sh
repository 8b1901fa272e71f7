#!/usr/bin/env bash
# Installs the build tree into a scratch root laid out as on Debian (prefix /usr) and checks what
# a user gets: the programs, their manual pages, the menu entry with its icon and AppStream data,
# and the udev rule for the gateway's port.
# Usage: check-install.sh BUILD_DIR VERSION
# Exits 77 (skipped) only when everything else passed but a validator is not installed.
set -euo pipefail
source "$(dirname "$0")/package-layout.sh"
build=$1 version=$2
export QT_QPA_PLATFORM=offscreen

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=()
fail() { failures+=("$*"); echo "FAIL: $*" >&2; }

if ! log=$(DESTDIR="$root" "${CMAKE:-cmake}" --install "$build" --prefix /usr 2>&1); then
    echo "$log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi

actual=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | layout_of)
while read -r line; do
    [ -n "$line" ] && fail "install tree: $line"
done <<<"$(layout_difference "$(expected_files)" "$actual")"

while read -r file; do
    case $file in
    usr/bin/*) [ -x "$root/$file" ] || fail "$file is not executable" ;;
    *) if [ -x "$root/$file" ]; then fail "$file is executable"; fi ;;
    esac
done <<<"$actual"

# The rule must give the seat's user the port and keep ModemManager off it, for the modem's
# vendor id; one line, so every key applies to the same match.
if [ -f "$root/$udev_rule" ]; then
    rule_lines=$(grep -vE '^[[:space:]]*(#|$)' "$root/$udev_rule" || true)
    [ "$(wc -l <<<"$rule_lines")" = 1 ] || fail "$udev_rule should hold one rule, holds: $rule_lines"
    for key in 'SUBSYSTEM=="tty"' 'ATTRS{idVendor}=="114f"' 'TAG+="uaccess"' 'ENV{ID_MM_DEVICE_IGNORE}="1"'; do
        grep -qF -- "$key" <<<"$rule_lines" || fail "$udev_rule lacks $key"
    done
fi

# The collection installs with ansible-galaxy, offline, and holds every module.
for tarball in "$root"/usr/share/tervane-q7/ansible/tervane-q7-*.tar.gz; do
    [ -f "$tarball" ] && command -v ansible-galaxy >/dev/null || continue
    if ! log=$(ansible-galaxy collection install --offline -p "$root/collections" "$tarball" 2>&1); then
        fail "ansible-galaxy collection install $tarball: $log"
        continue
    fi
    for module in q7_facts q7_profile q7_python_file q7_firmware; do
        [ -f "$root/collections/ansible_collections/tervane/q7/plugins/modules/$module.py" ] ||
            fail "the installed collection lacks $module"
    done
done

for program in "${programs[@]}"; do
    page="$root/usr/share/man/man1/$program.1.gz"
    [ -f "$page" ] || continue
    if ! text=$(gzip -dc "$page"); then
        fail "$page is not gzip data"
        continue
    fi
    if command -v groff >/dev/null; then
        warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z <<<"$text" 2>&1)
        [ -z "$warnings" ] || fail "$program.1 has roff warnings: $warnings"
    fi
    grep -qE '^\.TH [^ ]+ 1 .*'"$version" <<<"$text" || fail "$program.1 does not carry version $version"
    # Every option the program's --help names must be in its manual page.
    plain=$(sed 's/\\-/-/g; s/\\%//g' <<<"$text")
    help=$(timeout 30 "$root/usr/bin/$program" --help 2>&1 || true)
    options=$(awk '$1 ~ /^(-|\/)/ { print $1; if ($1 ~ /,$/) print $2 }' <<<"$help" | sed -E 's/[,=].*//' | sort -u)
    for option in $options; do
        grep -qE -- "(^|[^-a-z])$option([^-a-z]|\$)" <<<"$plain" || fail "$program.1 does not explain $option"
    done
done

for program in "${programs[@]}"; do
    [ -x "$root/usr/bin/$program" ] || continue
    problem=$(check_version "$root" "$program" "$version")
    [ -z "$problem" ] || fail "$problem"
done

# The installed dashboard loads its window's part: without a display it gets as far as the
# toolkit's connection, and says so (a missing part would say it cannot load it).
if [ -x "$root/usr/bin/$dashboard" ]; then
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        timeout 30 "$root/usr/bin/$dashboard" --port "$root/no-such-port" 2>&1) && status=0 || status=$?
    [ "$status" = 1 ] && grep -qF "cannot open a display" <<<"$out" ||
        fail "the installed $dashboard did not reach its window (status $status): $out"
fi

# Each package's changelog names this version first.
for package in "${packages[@]}"; do
    changelog="$root/usr/share/doc/$package/changelog.gz"
    [ -f "$changelog" ] || continue
    first=$(gzip -dc "$changelog" | head -n 1)
    grep -qF "($version)" <<<"$first" || fail "$package's changelog starts '$first', not version $version"
done

# The menu entry, its icon and the AppStream data must name each other and what is installed.
missing_validators=()
if [ -f "$root/$desktop_entry" ]; then
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/$desktop_entry")
    [ -x "$root/usr/bin/$exec_program" ] || fail "desktop entry starts '$exec_program', which is not installed"
    icon_name=$(sed -n 's/^Icon=//p' "$root/$desktop_entry")
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] || fail "desktop entry's icon '$icon_name' is not installed"
    if command -v desktop-file-validate >/dev/null; then
        # Hints are suggestions; errors and warnings are faults.
        if ! out=$(desktop-file-validate "$root/$desktop_entry" 2>&1) || grep -qE '(error|warning):' <<<"$out"; then
            fail "desktop-file-validate: $out"
        fi
    else
        missing_validators+=("desktop-file-validate (Debian package desktop-file-utils)")
    fi
fi
for metainfo in "$root"/usr/share/metainfo/*.metainfo.xml; do
    [ -f "$metainfo" ] || continue
    id=$(basename "$metainfo" .metainfo.xml)
    grep -qF "<id>$id</id>" "$metainfo" || fail "$(basename "$metainfo") is not named after its component id"
    grep -qF "<launchable type=\"desktop-id\">$(basename "$desktop_entry")</launchable>" "$metainfo" \
        || fail "AppStream data does not launch $(basename "$desktop_entry")"
    release=$(grep -oE '<release [^>]*version="[^"]*"' "$metainfo" | head -n 1 | sed -E 's/.*version="([^"]*)"/\1/')
    [ "$release" = "$version" ] || fail "AppStream data's newest release is '$release', not $version"
    if command -v appstreamcli >/dev/null; then
        # Pedantic: every hint counts, except that the component id's top-level domain is the
        # reserved .example of the maker's placeholder address, which no TLD list holds.
        if ! out=$(appstreamcli validate --pedantic --no-net --no-color "$metainfo" 2>&1) \
            || grep -E '^[EWIP]: ' <<<"$out" | grep -qv ' cid-maybe-not-rdns '; then
            fail "appstreamcli validate --pedantic: $out"
        fi
    else
        missing_validators+=("appstreamcli (Debian package appstream)")
    fi
done
if [ -f "$root/$icon" ] && command -v file >/dev/null; then
    type=$(file -b --mime-type "$root/$icon")
    [ "$type" = image/svg+xml ] || fail "$(basename "$icon") is $type, not SVG"
fi

if [ ${#failures[@]} -gt 0 ]; then
    echo "${#failures[@]} packaging check(s) failed" >&2
    exit 1
fi
if [ ${#missing_validators[@]} -gt 0 ]; then
    echo "SKIPPED: the install tree is right, but not validated: ${missing_validators[*]} not installed"
    exit 77
fi
echo "install tree of ${programs[*]} checked"
