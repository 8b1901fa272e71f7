# bash completion for tervane-q7: subcommands, their options, and files or ports where the
# command line expects them. Options may stand before or after the subcommand; "--" ends them.

_tervane_q7()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    [ "$COMP_CWORD" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD-1]}
    local options="--port --simulate --json --yes -y --retries --timeout /debug --log --help -h --version"

    # An option's value.
    case $prev in
    --port)
        # Serial ports live in /dev; a path elsewhere (a simulator's link) completes as a file.
        [ -z "$cur" ] && cur=/dev/tty
        COMPREPLY=($(compgen -f -- "$cur"))
        compopt -o filenames 2>/dev/null
        return
        ;;
    --log)
        COMPREPLY=($(compgen -f -- "$cur"))
        compopt -o filenames 2>/dev/null
        return
        ;;
    --retries | --timeout)
        COMPREPLY=()
        return
        ;;
    esac

    # The words so far that are neither options nor their values.
    local -a words=()
    local i word ended=
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [ -n "$ended" ]; then
            words+=("$word")
            continue
        fi
        case $word in
        --) ended=1 ;;
        --port | --log | --retries | --timeout) ((i++)) ;;
        -* | /debug) ;;
        *) words+=("$word") ;;
        esac
    done

    if [ -z "$ended" ] && [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    local command=${words[0]-}
    local count=${#words[@]}
    case $command in
    "")
        COMPREPLY=($(compgen -W "info settings backup restore reboot factory-reset firmware
            radio-firmware python send" -- "$cur"))
        [[ -z "$ended" && $cur == /* ]] && COMPREPLY+=($(compgen -W "/debug" -- "$cur"))
        return
        ;;
    settings)
        [ "$count" = 1 ] && COMPREPLY=($(compgen -W "get set" -- "$cur"))
        return
        ;;
    python)
        if [ "$count" = 1 ]; then
            COMPREPLY=($(compgen -W "ls put get rm" -- "$cur"))
            return
        fi
        # put FILE, and get NAME DEST: the local side is a file or a folder.
        case ${words[1]}:$count in
        put:2 | get:3) ;;
        *) return ;;
        esac
        ;;
    backup | restore | firmware | radio-firmware)
        [ "$count" = 1 ] || return
        ;;
    *)
        return
        ;;
    esac
    COMPREPLY=($(compgen -f -- "$cur"))
    compopt -o filenames 2>/dev/null
}

complete -F _tervane_q7 tervane-q7
