# bash completion for brivane                                -*- shell-script -*-

_brivane()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    if [[ $COMP_CWORD -eq 1 ]]; then
        mapfile -t COMPREPLY < <(compgen -W "agenda status add delete join zoho --toggle --settings --help --version" -- "$cur")
        return
    fi

    local options=""
    case ${COMP_WORDS[1]} in
        agenda)
            [[ $prev == --at ]] && return
            options="--at --json --all --help"
            ;;
        status)
            [[ $prev == --at ]] && return
            options="--json --follow --at --help"
            ;;
        add)
            [[ $prev == --start || $prev == --end || $prev == --calendar ]] && return
            options="--start --end --all-day --calendar --help"
            ;;
        delete)
            options="--help"
            ;;
        join)
            [[ $prev == --at ]] && return
            options="--at --help"
            ;;
        zoho)
            if [[ $COMP_CWORD -eq 2 ]]; then
                mapfile -t COMPREPLY < <(compgen -W "connect disconnect status sync --help" -- "$cur")
            fi
            return
            ;;
        *)
            return
            ;;
    esac
    [[ $cur == -* ]] || return
    # An option given once is not offered again.
    local word remaining=()
    for word in $options; do
        [[ " ${COMP_WORDS[*]:2:COMP_CWORD-2} " == *" $word "* ]] || remaining+=("$word")
    done
    mapfile -t COMPREPLY < <(compgen -W "${remaining[*]}" -- "$cur")
}
complete -F _brivane brivane
