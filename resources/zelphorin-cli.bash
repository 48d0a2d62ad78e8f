# SPDX-License-Identifier: GPL-3.0-or-later
# Bash completion of zelphorin-cli: options, commands, serial ports and setting names.
# The setting names come from the program itself ("zelphorin-cli keys"), so they never drift.

_zelphorin_cli_names() {
    "${COMP_WORDS[0]}" keys 2>/dev/null
}

_zelphorin_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    case $prev in
    --port)
        local ports
        ports=$(compgen -G '/dev/ttyUSB*'; compgen -G '/dev/ttyACM*'; compgen -G '/dev/rfcomm*')
        mapfile -t COMPREPLY < <(compgen -W "$ports" -- "$cur")
        return
        ;;
    --timeout | =)
        return
        ;;
    --password-file | --tls-ca)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --broker | --id | --base-topic | --discovery-prefix | --username)
        return
        ;;
    esac
    # Nothing to offer for a value being typed after "=" ("=" breaks words in bash).
    [[ $cur == = ]] && return

    # The command is the first word that is neither an option nor an option's value.
    local i command='' at=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --port | --timeout) ((i++)) ;;
        -*) ;;
        *)
            command=${COMP_WORDS[i]}
            at=$i
            break
            ;;
        esac
    done

    local words=''
    case $command in
    '')
        if [[ $cur == -* ]]; then
            words='--port --timeout --json --quiet --debug --english --german --help --version'
        else
            words='info monitor get set schedule keys mode channels set-time save cloud storm
                   export import-config import-schedule flash sunmoon bluetooth acclimate mqtt'
        fi
        ;;
    info | monitor) words='--json' ;;
    mode) ((COMP_CWORD == at + 1)) && words='manual auto geo rgbdemo flash' ;;
    bluetooth) ((COMP_CWORD == at + 1)) && words='install remove' ;;
    mqtt)
        words='--broker --id --base-topic --discovery-prefix --no-discovery --username
               --password-file --tls-ca'
        ;;
    get)
        if [[ $cur =~ ^([0-9]+)\. ]]; then
            words=$(_zelphorin_cli_names | sed -n "s/^N\./${BASH_REMATCH[1]}./p")
        else
            words="--json $(_zelphorin_cli_names | grep -v '^N\.')"
        fi
        ;;
    set)
        words=$(_zelphorin_cli_names | grep -v '^N\.' | sed 's/$/=/')
        compopt -o nospace 2>/dev/null
        ;;
    schedule)
        if ((COMP_CWORD == at + 1)); then
            words='set design --json'
        elif [[ ${COMP_WORDS[at + 1]} == design ]]; then
            words='--lat --lon --date --tz --noon --max --dawn --dusk --rows --json --apply'
        elif [[ ${COMP_WORDS[at + 1]} == set ]] && ((COMP_CWORD > at + 2)); then
            words=$(_zelphorin_cli_names | sed -n 's/^N\.\(.*\)$/\1=/p')
            compopt -o nospace 2>/dev/null
        fi
        ;;
    sunmoon) words='--lat --lon --date --time --tz --json --english --german' ;;
    acclimate)
        if [[ ${COMP_WORDS[COMP_CWORD - 1]} == --baseline ]]; then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return
        fi
        words='--baseline --start --days --from --to --today'
        ;;
    flash | export | import-config | import-schedule)
        if ((COMP_CWORD == at + 1)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        fi
        return
        ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}

complete -F _zelphorin_cli zelphorin-cli
