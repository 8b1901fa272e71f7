# What the package puts on a system, relative to the root. Sourced by the packaging checks.
programs=(tervane-q7-dashboard tervane-q7 tervane-q7-sim)
dashboard=tervane-q7-dashboard
udev_rule=usr/lib/udev/rules.d/70-tervane-q7.rules
desktop_entry=usr/share/applications/$dashboard.desktop
icon=usr/share/icons/hicolor/scalable/apps/$dashboard.svg
metainfo_pattern='usr/share/metainfo/*.metainfo.xml'

# expected_files: every file of the package, sorted. The AppStream file stands as a pattern
# because its name is the component id; see layout_of.
expected_files() {
    local p
    {
        for p in "${programs[@]}"; do
            echo "usr/bin/$p"
            echo "usr/share/man/man1/$p.1.gz"
        done
        echo "$udev_rule"
        echo "usr/share/doc/tervane-q7-dashboard/copyright"
        echo "usr/share/doc/tervane-q7-dashboard/examples/gateway-profile.yaml"
        echo "$desktop_entry"
        echo "$icon"
        echo "$metainfo_pattern"
    } | LC_ALL=C sort
}

# layout_of: reads paths relative to the root, writes them in the form expected_files uses.
layout_of() {
    sed -E "s|^usr/share/metainfo/[^/]+\.metainfo\.xml\$|$metainfo_pattern|" | LC_ALL=C sort
}

# layout_difference EXPECTED ACTUAL: one "missing X" or "unexpected X" line per difference.
layout_difference() {
    LC_ALL=C comm -3 <(echo "$1") <(echo "$2") | sed -E 's/^\t(.*)/unexpected \1/; t; s/^/missing /'
}

# check_version ROOT PROGRAM VERSION: runs the installed program's --version when its --help
# offers one, and wants the version in the answer; otherwise --help must work. Prints a line
# for each failure.
check_version() {
    local root=$1 program=$2 version=$3 help out
    if ! help=$(timeout 30 "$root/usr/bin/$program" --help 2>&1); then
        echo "$program --help failed: $help"
        return
    fi
    grep -qE -- '(^|[ ,])--version([ ,]|$)' <<<"$help" || return 0
    if ! out=$(timeout 30 "$root/usr/bin/$program" --version 2>&1); then
        echo "$program --version failed: $out"
    elif ! grep -qF -- "$version" <<<"$out"; then
        echo "$program --version says '$out', not $version"
    fi
}
