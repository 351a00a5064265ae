# bash completion for ondrel

_ondrel()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local commands="toggle list get select paste delete pin unpin add clear pause resume status detect transform highlight"
    local transformations="camelCase snakeCase kebabCase pascalCase uppercase lowercase titleCase base64Encode base64Decode urlEncode urlDecode jsonPrettify jsonMinify jsonEscape jsonUnescape trimWhitespace removeNewlines sortLines reverseLines uniqueLines"
    local languages="swift javascript typescript python ruby json html css shell sql go rust plain"

    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
        return
    fi
    local options=""
    case ${COMP_WORDS[1]} in
    transform | highlight)
        if ((COMP_CWORD == 2)); then
            local names=$transformations
            [[ ${COMP_WORDS[1]} == highlight ]] && names=$languages
            mapfile -t COMPREPLY < <(compgen -W "$names --help" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        fi
        return
        ;;
    detect | add)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    list) options="--json --null --limit --search" ;;
    get) options="--type" ;;
    clear) options="--all" ;;
    pause) options="--for" ;;
    status) options="--json" ;;
    esac
    case $prev in
    --limit | --search | --for) return ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$options --help" -- "$cur")
}
complete -F _ondrel ondrel
