# bash completion for velmora                                -*- shell-script -*-
#
# The lists that change with the installation (subcommands, settings keys,
# sounds, ignored entries) are asked of the velmora being completed, so they
# never drift from the program. The keys and sounds come from the refusals
# of a lookup that cannot succeed, which write nothing; they need the session
# bus, as velmora itself does, and are simply not offered without one.

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

# The words after "PREFIX" in a message that ends in a comma-separated list.
_velmora_listed_after()
{
    local prefix=$1
    shift
    _velmora_ask "$@" | sed -n "s/.*; ${prefix} //p" | head -n1 | sed 's/, /\n/g'
}

_velmora_keys()
{
    _velmora_listed_after "the keys are" "$1" get " "
}

_velmora_sounds()
{
    _velmora_listed_after "the sounds are" "$1" set feedbackSoundName ""
}

# The second column of `velmora ignore list`: the entry as it is kept.
_velmora_ignored()
{
    { LC_ALL=C LANGUAGE='' timeout 3 "$1" ignore list 2>/dev/null || true; } | cut -f2
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
            get) ((${#words[@]} == 1)) && candidates=$(_velmora_keys "$program") ;;
            set)
                if ((${#words[@]} == 1)); then
                    candidates=$(_velmora_keys "$program")
                elif ((${#words[@]} == 2)) && [[ ${words[1]} == feedbackSoundName ]]; then
                    candidates=$(_velmora_sounds "$program")
                fi
                ;;
            ignore)
                case "${words[1]-}" in
                    "") candidates=$(_velmora_subcommands "$program" ignore) ;;
                    remove) ((${#words[@]} == 2)) && candidates=$(_velmora_ignored "$program") ;;
                    add) ((${#words[@]} == 2)) && candidates=$(_velmora_desktop_ids | sort -u) ;;
                esac
                ;;
        esac
    fi
    local IFS=$'\n'
    mapfile -t COMPREPLY < <(compgen -W "$candidates" -- "$cur")
} && complete -F _velmora velmora
