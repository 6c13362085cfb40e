# bash completion for velmora                                -*- shell-script -*-
#
# The lists that change with the installation (subcommands, settings keys,
# values, sounds, ignored entries) are asked of the velmora being completed,
# so they never drift from the program; asking writes nothing.

# Runs velmora with a deadline and untranslated messages, whose wording the
# parsing below depends on; prints its standard output and error.
_velmora_ask()
{
    local program=$1
    shift
    # The lookups that list keys and sounds fail by design.
    LC_ALL=C LANGUAGE='' timeout 3 "$program" "$@" 2>&1 || true
}

# The subcommands listed in `velmora [COMMAND] --help`.
_velmora_subcommands()
{
    _velmora_ask "$@" --help | sed -n '/^Subcommands:/,/^$/{s/^  \([a-z][a-z-]*\) .*/\1/p}'
}

# Words velmora offers for completion, one a line (`velmora __complete`):
# keys, settable-keys, values KEY, sounds, ignored.
_velmora_words()
{
    local program=$1
    shift
    LC_ALL=C LANGUAGE='' timeout 3 "$program" __complete "$@" 2>/dev/null || true
}

# Desktop-file IDs of the installed applications, for `ignore add`.
_velmora_desktop_ids()
{
    local dir file
    local IFS=:
    for dir in "${XDG_DATA_HOME:-$HOME/.local/share}" ${XDG_DATA_DIRS:-/usr/local/share:/usr/share}; do
        for file in "$dir"/applications/*.desktop; do
            [[ -e $file ]] || continue
            file=${file##*/}
            printf '%s\n' "${file%.desktop}"
        done
    done
}

_velmora()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local program=${COMP_WORDS[0]}
    local words=() i
    COMPREPLY=()
    # The words typed before the current one, options left out.
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -* ]] || words+=("${COMP_WORDS[i]}")
    done
    # `velmora` on PATH or a path to one; a bare name not on PATH has nothing to ask.
    [[ $program == */* ]] || program=$(type -P "$program") || return 0

    local candidates=""
    if [[ $cur == -* ]]; then
        candidates=--help
    else
        case "${words[0]-}" in
            "") candidates=$(_velmora_subcommands "$program") ;;
            get) ((${#words[@]} == 1)) && candidates=$(_velmora_words "$program" keys) ;;
            set)
                if ((${#words[@]} == 1)); then
                    candidates=$(_velmora_words "$program" settable-keys)
                elif ((${#words[@]} == 2)); then
                    candidates=$(_velmora_words "$program" values "${words[1]}")
                fi
                ;;
            ignore)
                case "${words[1]-}" in
                    "") candidates=$(_velmora_subcommands "$program" ignore) ;;
                    remove) ((${#words[@]} == 2)) && candidates=$(_velmora_words "$program" ignored) ;;
                    add) ((${#words[@]} == 2)) && candidates=$(_velmora_desktop_ids | sort -u) ;;
                esac
                ;;
        esac
    fi
    local IFS=$'\n'
    mapfile -t COMPREPLY < <(compgen -W "$candidates" -- "$cur")
} && complete -F _velmora velmora
