# What the packages put on a system, relative to the root. Sourced by the packaging checks.
programs=(tervane-q7-dashboard tervane-q7 tervane-q7-sim)
dashboard=tervane-q7-dashboard
# The dashboard's start library and its window's part, in its private folder.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
dashboard_libraries=(usr/lib/$multiarch/$dashboard/libtervane-q7-dashboard.so usr/lib/$multiarch/$dashboard/tervane-q7-window.so)
tool=tervane-q7
packages=("$tool" "$dashboard")
udev_rule=usr/lib/udev/rules.d/70-tervane-q7.rules
completion=usr/share/bash-completion/completions/tervane-q7
desktop_entry=usr/share/applications/$dashboard.desktop
icon=usr/share/icons/hicolor/scalable/apps/$dashboard.svg
metainfo_pattern='usr/share/metainfo/*.metainfo.xml'
ansible_collection_pattern='usr/share/tervane-q7/ansible/tervane-q7-*.tar.gz'
# The JSON Schemas of the tool's documents, one per subcommand and one for a run on several.
schema_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../packaging/schema" && pwd)

# package_files PACKAGE: every file of that package, sorted. The AppStream file stands as a
# pattern because its name is the component id, the Ansible collection because its name
# carries the version; see layout_of.
package_files() {
    local p
    {
        case $1 in
        "$tool")
            for p in tervane-q7 tervane-q7-sim; do
                echo "usr/bin/$p"
                echo "usr/share/man/man1/$p.1.gz"
            done
            echo "$udev_rule"
            echo "$completion"
            echo "usr/share/doc/$tool/examples/gateway-profile.yaml"
            echo "usr/share/doc/$tool/examples/ser2net-bench.yaml"
            echo "$ansible_collection_pattern"
            for p in "$schema_dir"/*.schema.json; do
                echo "usr/share/tervane-q7/schema/${p##*/}"
            done
            ;;
        "$dashboard")
            echo "usr/bin/$dashboard"
            printf '%s\n' "${dashboard_libraries[@]}"
            echo "usr/share/man/man1/$dashboard.1.gz"
            echo "$desktop_entry"
            echo "$icon"
            echo "$metainfo_pattern"
            ;;
        esac
        echo "usr/share/doc/$1/copyright"
        echo "usr/share/doc/$1/changelog.gz"
    } | LC_ALL=C sort
}

# expected_files: every file of both packages, as one install lays them out, sorted.
expected_files() {
    local p
    for p in "${packages[@]}"; do package_files "$p"; done | LC_ALL=C sort
}

# layout_of: reads paths relative to the root, writes them in the form expected_files uses.
layout_of() {
    sed -E -e "s|^usr/share/metainfo/[^/]+\.metainfo\.xml\$|$metainfo_pattern|" \
        -e "s|^usr/share/tervane-q7/ansible/tervane-q7-[0-9.]+\.tar\.gz\$|$ansible_collection_pattern|" | LC_ALL=C sort
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
