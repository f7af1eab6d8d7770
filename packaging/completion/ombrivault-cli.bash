# bash completion for ombrivault-cli                       -*- shell-script -*-
#
# Completes the commands, their options, and file names filtered by the extensions each
# command reads. Account names and the item paths inside a storage are not completed: listing
# them would need the password.

# File names whose extension is one of the pattern $1 ("ovt|etx"), in any case as the tool
# takes them, and folders to go into.
_ombrivault_cli_files()
{
    _filedir
    local name kept=()
    for name in "${COMPREPLY[@]}"; do
        if [[ -d $name || ${name,,} == *.@($1) ]]; then
            kept+=("$name")
        fi
    done
    COMPREPLY=("${kept[@]}")
}

_ombrivault_cli()
{
    local cur prev words cword
    _init_completion || return

    local password_options="--password-file --password-stdin"

    # The command is the first word that is neither an option nor an option's value;
    # `positional` counts the command's own arguments before the cursor.
    local i command="" positional=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --password-file | -o | --folder | --kdf-passes | --kdf-memory | --length | --words | \
                --separator | --count) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                else
                    ((positional++))
                fi
                ;;
        esac
    done

    case $prev in
        --password-file)
            _filedir
            return
            ;;
        --folder | --kdf-passes | --kdf-memory | --length | --words | --separator | --count)
            # A folder inside the storage (not known without the password), a number or a
            # separator.
            return
            ;;
        -o)
            # encrypt writes the form its output's extension names; the others write plain
            # files (export also a new folder for a folder's items).
            if [[ $command == encrypt ]]; then
                _ombrivault_cli_files 'ovt|etx|ovd|ovf'
            elif [[ $command == harden || $command == weaken ]]; then
                _ombrivault_cli_files 'ovs|ovt|etx|ovd|ovf'
            else
                _filedir
            fi
            return
            ;;
    esac

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$password_options --help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "decrypt encrypt list show ls export add check harden weaken info generate" -- "$cur"))
        fi
        return
    fi

    # The command's options, and the extensions of its first argument ("" for any file).
    local options="" extensions=""
    case $command in
        decrypt) options="-o" extensions='ovt|etx|ovd|ovf' ;;
        encrypt) options="-o --strong --kdf-passes --kdf-memory" ;;
        list) options="--show-passwords" extensions='ovd|ovf' ;;
        show) extensions='ovd|ovf' ;;
        ls) extensions='ovs' ;;
        export) options="-o --force" extensions='ovs' ;;
        add) options="--folder" extensions='ovs' ;;
        check) extensions='ovs|ovt|etx|ovd|ovf' ;;
        harden) options="-o --kdf-passes --kdf-memory" extensions='ovs|ovt|etx|ovd|ovf' ;;
        weaken) options="-o" extensions='ovs|ovt|etx|ovd|ovf' ;;
        info) extensions='ovs|ovt|etx|ovd|ovf' ;;
        generate) options="--length --no-lower --no-upper --no-digits --no-symbols --avoid-look-alikes
                           --words --separator --count --entropy" ;;
        *) return ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $password_options" -- "$cur"))
        return
    fi
    if [[ $command == generate ]]; then
        return # generate takes options only
    elif ((positional == 0)); then
        if [[ -n $extensions ]]; then
            _ombrivault_cli_files "$extensions"
        else
            _filedir # the text to encrypt ("-" for standard input)
        fi
    elif [[ $command == add ]]; then
        _filedir # the files and folders to add
    fi
    # Otherwise an account name (show) or an item path (export): not completed.
} &&
    complete -F _ombrivault_cli ombrivault-cli

# ex: filetype=sh
