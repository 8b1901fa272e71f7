# bash completion for tervane-q7: subcommands, their options, and files or ports where the
# command line expects them. Options may stand before or after the subcommand; "--" ends them.

_tervane_q7()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    [ "$COMP_CWORD" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD-1]}
    # The options that take a value, hidden ones included: the next word, or "--port=PATH".
    local valued=" --port --log --record --retries --timeout --speed-up --sim-option "
    # Bash splits "--port=PATH" into "--port", "=" and "PATH" while "=" is in COMP_WORDBREAKS,
    # as it is by default, and completes only what follows the "="; otherwise the word is whole
    # and its candidates keep their "--port=".
    local prefix=
    if [ "$cur" = "=" ] && [[ $valued == *" $prev "* ]]; then
        cur=
    elif [ "$prev" = "=" ] && [ "$COMP_CWORD" -gt 1 ] && [[ $valued == *" ${COMP_WORDS[COMP_CWORD-2]} "* ]]; then
        prev=${COMP_WORDS[COMP_CWORD-2]}
    elif [[ $cur == --*=* && $valued == *" ${cur%%=*} "* ]]; then
        prev=${cur%%=*}
        prefix=$prev=
        cur=${cur#*=}
    fi
    local options="--port --all --simulate --json --yes -y --retries --timeout /debug --log --help -h --version"
    # The options of single subcommands (the tool's table of them); the others refuse them.
    case " ${COMP_WORDS[*]} " in
    *" apply "*) options+=" --check --diff --record" ;;
    *" devices "*) options+=" --probe" ;;
    esac

    # An option's value.
    case $prev in
    --port | --log | --record)
        # A port: the gateways the tool lists and the serial ports by their lasting names;
        # any other path (a simulator's link, a port not recognised) completes as a file.
        if [ "$prev" = --port ]; then
            local ports program=${COMP_WORDS[0]}
            ports=$(command -v "$program" >/dev/null 2>&1 && "$program" devices 2>/dev/null | awk '$1 ~ /^\// { print $1 }')
            ports+=" "$(compgen -G '/dev/serial/by-id/*' 2>/dev/null)
            COMPREPLY=($(compgen -W "$ports" -- "$cur"))
            if [ ${#COMPREPLY[@]} -gt 0 ] || [ -z "$cur" ]; then
                [ -n "$prefix" ] && COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
                return
            fi
        fi
        COMPREPLY=($(compgen -f -- "$cur"))
        [ -n "$prefix" ] && COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
        compopt -o filenames 2>/dev/null
        return
        ;;
    --retries | --timeout | --speed-up | --sim-option)
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
        -* | /debug)
            # The option's value: the next word, or the "=" bash split off and the word after it.
            if [[ $valued == *" $word "* ]]; then
                ((i++))
                [ "${COMP_WORDS[i]-}" = "=" ] && ((i++))
            fi
            ;;
        *) words+=("$word") ;;
        esac
    done

    if [ -z "$ended" ] && [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    local command=${words[0]-}
    local count=${#words[@]}
    local files=
    COMPREPLY=()
    case $command in
    "")
        COMPREPLY=($(compgen -W "info settings backup restore reboot factory-reset firmware
            radio-firmware python apply devices send" -- "$cur"))
        ;;
    settings)
        [ "$count" = 1 ] && COMPREPLY=($(compgen -W "get set" -- "$cur"))
        ;;
    python)
        if [ "$count" = 1 ]; then
            COMPREPLY=($(compgen -W "ls put get rm" -- "$cur"))
        else
            # put FILE, and get NAME DEST: the local side is a file or a folder.
            case ${words[1]}:$count in
            put:2 | get:3) files=1 ;;
            esac
        fi
        ;;
    backup | restore | firmware | radio-firmware | apply)
        [ "$count" = 1 ] && files=1
        ;;
    esac
    if [ -n "$files" ]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        compopt -o filenames 2>/dev/null
    fi
    # /debug is an option too, wherever options go.
    [[ -z "$ended" && $cur == /* ]] && COMPREPLY+=($(compgen -W "/debug" -- "$cur"))
    return 0
}

complete -F _tervane_q7 tervane-q7
