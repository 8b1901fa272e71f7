#!/usr/bin/env bash
# Drives the bash completion of tervane-q7 the way bash does and checks what it offers: every
# subcommand and option the program's --help names, the second words of the groups, and files
# or ports where a file or a port is expected.
# Usage: check-completion.sh COMPLETION_FILE PROGRAM
set -uo pipefail
completion=$1 program=$2
failures=()
fail() { failures+=("$*"); echo "FAIL: $*" >&2; }

# shellcheck source=/dev/null
source "$completion" || { echo "FAIL: $completion does not load" >&2; exit 1; }
# Outside readline, compopt refuses to run; what it would set does not matter here.
compopt() { :; }

# offers "COMMAND LINE": the candidates for its last word (empty after a trailing blank).
# With SPLIT_AT_EQUALS set, each "=" is a word of its own, as bash splits the line while "="
# is in COMP_WORDBREAKS.
offers() {
    local line=$1
    [ -n "${SPLIT_AT_EQUALS-}" ] && line=${line//=/ = }
    read -r -a COMP_WORDS <<<"$line"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tervane_q7
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}
# expect "COMMAND LINE" WORD...: each WORD is among the candidates.
expect() {
    local line=$1 got word
    shift
    got=$(offers "$line")
    for word in "$@"; do
        grep -qxF -- "$word" <<<"$got" || fail "'$line' does not offer '$word' (offers: $(tr '\n' ' ' <<<"$got"))"
    done
}
# expect_none "COMMAND LINE": nothing is offered.
expect_none() {
    local got
    got=$(offers "$1")
    [ -z "$got" ] || fail "'$1' offers $(tr '\n' ' ' <<<"$got")"
}

help=$("$program" --help) || { echo "FAIL: $program --help" >&2; exit 1; }
subcommands=$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" | awk 'NR > 1 && NF { print $1 }' | sort -u)
# Option lines start with two blanks and the option; others continue the line before.
options_of() {
    awk '/^  [-\/]/ { print $1; if ($1 ~ /,$/) print $2 }' | sed 's/,$//' | sort -u
}
options=$(sed -n '/^Options:/,/^$/p' <<<"$help" | options_of)
[ -n "$subcommands" ] && [ -n "$options" ] || fail "cannot read the subcommands and options from --help"
for subcommand in $subcommands; do
    expect "tervane-q7 " "$subcommand"
done
for option in $options; do
    case $option in
    /*) expect "tervane-q7 /" "$option" ;;
    *) expect "tervane-q7 -" "$option"; expect "tervane-q7 python get -" "$option" ;;
    esac
done
# A subcommand's own options, from its --help.
while read -r subcommand; do
    [ -n "$subcommand" ] || continue
    for option in $("$program" $subcommand --help | options_of); do
        case $option in
        /*) expect "tervane-q7 $subcommand /" "$option" ;;
        *) expect "tervane-q7 $subcommand -" "$option" ;;
        esac
    done
done <<<"$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" \
    | awk 'NR > 1 && NF { first[NR] = $1; second[NR] = $2; count[$1]++ }
           END { for (n in first) print (count[first[n]] > 1 ? first[n] " " second[n] : first[n]) }')"
# The second words of the groups come from their lines in --help.
for group in $(awk '$1 == prev { print $1 } { prev = $1 }' <<<"$(sed -n '/^Subcommands:/,/^$/p' <<<"$help")" | sort -u); do
    for second in $(awk -v g="$group" '$1 == g { print $2 }' <<<"$help"); do
        expect "tervane-q7 $group " "$second"
    done
done
expect "tervane-q7 settings g" get
# The options only some subcommands take are offered after those alone (the tool refuses
# them elsewhere).
for line in "tervane-q7 settings set -" "tervane-q7 info -" "tervane-q7 python rm -" "tervane-q7 factory-reset -"; do
    got=$(offers "$line")
    for option in --check --diff --record --probe; do
        ! grep -qxF -- "$option" <<<"$got" || fail "'$line' offers $option, which it does not take"
    done
done
expect "tervane-q7 --json python r" rm

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/q7-2.5.0.3.bin" "$scratch/main.py"
# The ports --port offers are the gateways the tool lists, not every terminal in /dev: a
# tervane-q7 on the PATH that lists two.
mkdir "$scratch/bin"
printf '#!/bin/sh\n[ "$1" = devices ] || exit 2\necho "/dev/ttyACM3         Q7-0001              Skellin"\necho "/dev/ttyUSB7         1-1.2:1.0            Skellin"\n' \
    >"$scratch/bin/tervane-q7"
chmod +x "$scratch/bin/tervane-q7"
PATH=$scratch/bin:$PATH
[ "$(offers "tervane-q7 --port " | grep -c .)" = 2 ] || fail "--port offers $(offers "tervane-q7 --port " | tr '\n' ' ')"
expect "tervane-q7 --port " /dev/ttyACM3 /dev/ttyUSB7
expect "tervane-q7 --port /dev/ttyA" /dev/ttyACM3
expect "tervane-q7 python --port " /dev/ttyACM3
expect "tervane-q7 firmware $scratch/q7" "$scratch/q7-2.5.0.3.bin"
expect "tervane-q7 --port /dev/ttyACM0 python put $scratch/ma" "$scratch/main.py"
expect "tervane-q7 python get main.py $scratch/m" "$scratch/main.py"
expect "tervane-q7 --log $scratch/m" "$scratch/main.py"
expect "tervane-q7 apply --record $scratch/m" "$scratch/main.py"
expect "tervane-q7 --all apply $scratch/m" "$scratch/main.py"
expect "tervane-q7 --port $scratch/" "$scratch/main.py"
expect "tervane-q7 backup -- $scratch/ma" "$scratch/main.py"
# Where a device name or a number goes, no local file is offered.
expect_none "tervane-q7 python get $scratch/ma"
expect_none "tervane-q7 python rm $scratch/ma"
expect_none "tervane-q7 --retries "
expect_none "tervane-q7 info $scratch/ma"
expect_none "tervane-q7 firmware $scratch/main.py $scratch/ma"
# The hidden options that take a value: their value is no subcommand.
expect_none "tervane-q7 --speed-up "
expect_none "tervane-q7 --sim-option "
expect "tervane-q7 --speed-up 100 settings " get
expect "tervane-q7 --simulate --sim-option --model --sim-option Q7R python " ls

# "--option=VALUE", as bash splits it (the default) and as one word; the value is completed
# as after a blank, and is no subcommand.
for SPLIT_AT_EQUALS in 1 ""; do
    prefix=
    [ -z "$SPLIT_AT_EQUALS" ] && prefix=--port=
    expect "tervane-q7 --port=$scratch/m" "$prefix$scratch/main.py"
    expect "tervane-q7 --port=" "$prefix/dev/ttyACM3"
    prefix=${prefix:+--log=}
    expect "tervane-q7 --log=$scratch/m" "$prefix$scratch/main.py"
    prefix=${prefix:+--record=}
    expect "tervane-q7 apply --record=$scratch/m" "$prefix$scratch/main.py"
    expect "tervane-q7 --port=$scratch/main.py " info settings
    expect "tervane-q7 --log=$scratch/x.log python " ls put
    expect "tervane-q7 --timeout=5000 settings " get
    expect "tervane-q7 --speed-up=100 --retries=2 apply $scratch/m" "$scratch/main.py"
    expect_none "tervane-q7 --retries="
    expect_none "tervane-q7 --timeout=5"
    expect_none "tervane-q7 --sim-option="
done
SPLIT_AT_EQUALS=

if [ ${#failures[@]} -gt 0 ]; then
    echo "${#failures[@]} completion check(s) failed" >&2
    exit 1
fi
echo "completion of $(wc -w <<<"$subcommands") subcommands and $(wc -w <<<"$options") options checked"
