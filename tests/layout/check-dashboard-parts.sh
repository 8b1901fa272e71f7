#!/usr/bin/env bash
# The dashboard's parts: the program and its start library load no widget toolkit (the device
# query runs while the window's part loads), and the code the start library holds is in the
# process once: neither the program nor the window's part defines any of its symbols again,
# which would give that code two copies of its state.
set -euo pipefail
program=${1:?usage: check-dashboard-parts.sh PROGRAM START_LIBRARY WINDOW_PART}
start=${2:?} window=${3:?}

failed=0
for file in "$program" "$start"; do
    needed=$(readelf -dW "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    toolkit=$(grep -E '^lib(Qt6(Gui|Widgets)|X11|xcb|EGL|GL)' <<<"$needed" || true)
    if [ -n "$toolkit" ]; then
        echo "$(basename "$file") loads the window's toolkit itself: $toolkit"
        failed=1
    fi
done

# Global definitions only (code, data, read-only data, zeroed data); weak ones (inline
# functions, templates) are merged by the loader.
definitions() { nm -C --defined-only "$1" | awk '$2 ~ /^[TDBR]$/ { $1 = ""; $2 = ""; print substr($0, 3) }' | LC_ALL=C sort -u; }
start_symbols=$(definitions "$start")
for file in "$program" "$window"; do
    twice=$(LC_ALL=C comm -12 <(echo "$start_symbols") <(definitions "$file"))
    if [ -n "$twice" ]; then
        echo "$(basename "$file") holds its own copy of code in $(basename "$start"):"
        head -n 20 <<<"$twice"
        failed=1
    fi
done
# The window's part reaches the start's code through the start library.
readelf -dW "$window" | grep -qF "[$(basename "$start")]" || {
    echo "$(basename "$window") does not use $(basename "$start")"
    failed=1
}
[ "$failed" = 0 ] && echo "dashboard parts: no toolkit before the window, one copy of the start's code"
exit "$failed"
