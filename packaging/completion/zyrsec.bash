# bash completion for zyrsec: the commands and options from zyrsec --help,
# and the names of applications and roles from the security server when it
# answers within two seconds.

_zyrsec_names()
{
    # $1: apps or roles. Each record's "name" of the JSON list.
    timeout 2 zyrsec --json "$1" 2>/dev/null </dev/null |
        grep -o '"name": *"[^"]*"' | sed 's/^"name": *"//; s/"$//'
}

# Offers the names of $1 (apps or roles) that start with the current word,
# quoted for the shell, since names hold spaces.
_zyrsec_reply_names()
{
    local name
    COMPREPLY=()
    while IFS= read -r name; do
        [[ "$name" == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
    done < <(_zyrsec_names "$1")
}

_zyrsec()
{
    local cur prev words cword
    _init_completion || return

    local -a commands
    mapfile -t commands < <(zyrsec --help 2>/dev/null |
        sed -n '/^Commands:/,/^$/{s/^  \([a-z-]\+\( [a-z]\+\)\?\)  .*/\1/p}')

    # The command so far: the words after the global options.
    local i command="" first=0
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
            --server | --user | --domain) ((i++)) ;;
            -*) ;;
            *) if [ -z "$command" ]; then command=${words[i]}; first=$i; else
                   local pair="$command ${words[i]}"
                   if printf '%s\n' "${commands[@]}" | grep -qx -- "$pair"; then command=$pair; first=$i; fi
                   break
               fi ;;
        esac
    done

    case "$prev" in
        --server | --user | --domain | --description | --page | --from | --to | --value | --group | --object | --name)
            return ;;
        --app) _zyrsec_reply_names apps; return ;;
    esac

    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "--server --logon-user --user --domain --json --yes --help --version" -- "$cur"))
        return
    fi
    if [ -z "$command" ]; then
        local IFS=$'\n'
        COMPREPLY=($(compgen -W "$(printf '%s\n' "${commands[@]}" | cut -d' ' -f1 | sort -u)" -- "$cur"))
        return
    fi
    local sub
    sub=$(printf '%s\n' "${commands[@]}" | sed -n "s/^$command \([a-z]\+\)\$/\1/p")
    if [ -n "$sub" ] && [ "$first" -eq $((cword - 1)) ] && [[ "$command" != *" "* ]]; then
        COMPREPLY=($(compgen -W "$sub" -- "$cur"))
        return
    fi
    # The first argument names an application or a role.
    if [ "$first" -eq $((cword - 1)) ]; then
        case "$command" in
            "app "* | "perm "* | "acl "* | "group "* | "object "* | export) _zyrsec_reply_names apps ;;
            "role "* | "member "*) _zyrsec_reply_names roles ;;
            import) _filedir ;;
        esac
        return
    fi
    [ "$command" = export ] && _filedir
}
complete -F _zyrsec zyrsec
