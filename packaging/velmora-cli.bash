# bash completion for velmora-cli

# The words of the command line up to the cursor as the shell will pass them, in words and cword: bash
# splits COMP_WORDS also at "=" and ":", which descriptions may hold, so the pieces that no blank
# separates in COMP_LINE are joined again.
_velmora_cli_words()
{
    local line=${COMP_LINE:0:COMP_POINT} index word
    words=()
    for ((index = 0; index <= COMP_CWORD; ++index)); do
        word=${COMP_WORDS[index]}
        if ((index == 0)) || [[ $line =~ ^[[:space:]]+ ]]; then
            line=${line#"${BASH_REMATCH[0]}"}
            words+=("$word")
        else
            words[-1]+=$word
        fi
        line=${line#"$word"}
    done
    cword=$((${#words[@]} - 1))
}

# The thermometer descriptions of the data directory that the command line names (or the window's) that
# start with the word being completed, letter case ignored as velmora-cli ignores it. A word opened with
# a quote gets the descriptions as they are (readline closes the quote); any other word gets them with
# their blanks and specials escaped, less what readline keeps before the word's last "=" or ":".
_velmora_cli_thermometers()
{
    local current=$1 data_dir=$2 prefix quoted='' name kept='' breaks
    local -a names options=()
    case $current in
        \"* | \'*)
            quoted=1
            prefix=${current:1}
            ;;
        *)
            prefix=${current//\\/}
            breaks=${COMP_WORDBREAKS//[[:space:]\"\']/}
            [[ -n $breaks ]] && kept=${current%"${current##*[$breaks]}"}
            ;;
    esac
    if [[ -n $data_dir ]]; then
        [[ $data_dir == "~/"* ]] && data_dir=$HOME/${data_dir:2}
        options=(--data-dir "$data_dir")
    fi
    mapfile -t names < <(velmora-cli "${options[@]}" list --names 2>/dev/null)
    COMPREPLY=()
    for name in "${names[@]}"; do
        if [[ ${name,,} == "${prefix,,}"* ]]; then
            if [[ -n $quoted ]]; then
                COMPREPLY+=("$name")
            else
                name=$(printf '%q' "$name")
                COMPREPLY+=("${name:${#kept}}")
            fi
        fi
    done
}

_velmora_cli()
{
    local current previous command='' word data_dir='' index arguments=0 cword
    local -a words
    _velmora_cli_words
    current=${words[cword]}
    previous=${words[cword-1]}
    case $previous in
        --data-dir)
            COMPREPLY=($(compgen -d -- "$current"))
            return
            ;;
        --output|--csv)
            COMPREPLY=($(compgen -f -- "$current"))
            return
            ;;
        --warn-days|--uncertainty|--column|--delimiter)
            return
            ;;
    esac
    # The command, the data directory, and how many arguments follow the command (options and their
    # values not counted).
    for ((index = 1; index < cword; ++index)); do
        word=${words[index]}
        case $word in
            --data-dir|--csv|--column|--output|--delimiter|--warn-days|--uncertainty)
                [[ $word == --data-dir ]] && data_dir=${words[index+1]}
                ((++index))
                ;;
            -*)
                ;;
            *)
                if [[ -z $command ]]; then
                    command=$word
                else
                    ((++arguments))
                fi
                ;;
        esac
    done
    case $command in
        '')
            COMPREPLY=($(compgen -W "list check findings correct validate report trace --data-dir --help --version" -- "$current"))
            ;;
        list)
            COMPREPLY=($(compgen -W "--warn-days --csv --names --help" -- "$current"))
            ;;
        check)
            COMPREPLY=($(compgen -W "--warn-days --help" -- "$current"))
            ;;
        findings)
            COMPREPLY=($(compgen -W "--all --csv --help" -- "$current"))
            ;;
        validate)
            COMPREPLY=($(compgen -f -W "--warn-days --help" -- "$current"))
            ;;
        trace)
            COMPREPLY=($(compgen -f -W "--csv --help" -- "$current"))
            ;;
        report)
            if [[ $current == -* ]]; then
                COMPREPLY=($(compgen -W "--uncertainty --output --help" -- "$current"))
            elif ((arguments == 0)); then
                COMPREPLY=($(compgen -W "corrections uncertainty" -- "$current"))
            elif ((arguments == 1)); then
                _velmora_cli_thermometers "$current" "$data_dir"
            fi
            ;;
        correct)
            if [[ $current == -* ]]; then
                COMPREPLY=($(compgen -W "--csv --column --delimiter --decimal-comma --output --strict --help" -- "$current"))
            elif ((arguments == 0)); then
                _velmora_cli_thermometers "$current" "$data_dir"
            fi
            ;;
    esac
}
complete -F _velmora_cli velmora-cli
