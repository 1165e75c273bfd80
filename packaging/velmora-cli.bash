# bash completion for velmora-cli
_velmora_cli()
{
    local current previous command word
    current=${COMP_WORDS[COMP_CWORD]}
    previous=${COMP_WORDS[COMP_CWORD-1]}
    case $previous in
        --data-dir)
            COMPREPLY=($(compgen -d -- "$current"))
            return
            ;;
        --output|--csv)
            COMPREPLY=($(compgen -f -- "$current"))
            return
            ;;
        --warn-days|--uncertainty|--column)
            return
            ;;
    esac
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in
            list|check|correct|validate|report)
                command=$word
                break
                ;;
        esac
    done
    case $command in
        '')
            COMPREPLY=($(compgen -W "list check correct validate report --data-dir --help --version" -- "$current"))
            ;;
        list)
            COMPREPLY=($(compgen -W "--warn-days --csv --help" -- "$current"))
            ;;
        check)
            COMPREPLY=($(compgen -W "--warn-days --help" -- "$current"))
            ;;
        validate)
            COMPREPLY=($(compgen -f -W "--warn-days --help" -- "$current"))
            ;;
        report)
            if [[ $previous == report ]]; then
                COMPREPLY=($(compgen -W "corrections uncertainty" -- "$current"))
            else
                COMPREPLY=($(compgen -W "--uncertainty --output --help" -- "$current"))
            fi
            ;;
        correct)
            COMPREPLY=($(compgen -W "--csv --column --output --help" -- "$current"))
            ;;
    esac
}
complete -F _velmora_cli velmora-cli
