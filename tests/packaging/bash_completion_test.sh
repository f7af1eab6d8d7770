#!/usr/bin/env bash
# Runs the bash completion of ombrivault-cli the way bash-completion runs it, in a folder of
# sample files, and compares what it offers with what each command takes and with the commands
# and options the tool's own usage text lists.
# usage: bash_completion_test.sh COMPLETION_FILE OMBRIVAULT_CLI
# (exit 77: skipped, bash-completion is not installed)
set -u
completion=$(realpath "$1")
cli=$(realpath "$2")
library=/usr/share/bash-completion/bash_completion
if [ ! -r "$library" ]; then
    echo "skipped: bash-completion is not installed ($library)"
    exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
touch notes.ovt old.ETX accounts.ovd legacy.ovf archive.ovs Mixed.OvS readme.txt photo.jpg pw
mkdir folder

# shellcheck source=/dev/null
source "$library"
# shellcheck source=/dev/null
source "$completion"

# What completing LINE (the cursor at its end) offers, sorted, on one line.
offers() {
    local line=$1
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    # compopt only works inside a real completion; its complaint is of no interest here.
    _ombrivault_cli ombrivault-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' '
}

all_files="Mixed.OvS accounts.ovd archive.ovs folder legacy.ovf notes.ovt old.ETX photo.jpg pw readme.txt"
cases=(
    # line | what it offers
    "ombrivault-cli l|list ls"
    "ombrivault-cli -|--help --password-file --password-stdin --version"
    "ombrivault-cli --password-file |$all_files"
    # The password file's name is not taken for the command.
    "ombrivault-cli --password-file pw ls |Mixed.OvS archive.ovs folder"
    "ombrivault-cli --password-stdin decrypt |accounts.ovd folder legacy.ovf notes.ovt old.ETX"
    "ombrivault-cli decrypt notes.ovt -o |$all_files"
    "ombrivault-cli decrypt notes.ovt -|--password-file --password-stdin -o"
    "ombrivault-cli encrypt |$all_files"
    "ombrivault-cli encrypt readme.txt -o |accounts.ovd folder legacy.ovf notes.ovt old.ETX"
    "ombrivault-cli list |accounts.ovd folder legacy.ovf"
    "ombrivault-cli list accounts.ovd --|--password-file --password-stdin --show-passwords"
    # Account names and item paths would need the password.
    "ombrivault-cli show accounts.ovd |"
    "ombrivault-cli export archive.ovs |"
    "ombrivault-cli export archive.ovs Letters -o |$all_files"
    "ombrivault-cli export archive.ovs Letters --f|--force"
    "ombrivault-cli add |Mixed.OvS archive.ovs folder"
    "ombrivault-cli add archive.ovs --folder |"
    "ombrivault-cli add archive.ovs --folder Letters |$all_files"
    "ombrivault-cli add archive.ovs photo.jpg |$all_files"
    "ombrivault-cli check |Mixed.OvS accounts.ovd archive.ovs folder legacy.ovf notes.ovt old.ETX"
    "ombrivault-cli harden |Mixed.OvS accounts.ovd archive.ovs folder legacy.ovf notes.ovt old.ETX"
    "ombrivault-cli weaken notes.ovt -o |Mixed.OvS accounts.ovd archive.ovs folder legacy.ovf notes.ovt old.ETX"
    "ombrivault-cli info |Mixed.OvS accounts.ovd archive.ovs folder legacy.ovf notes.ovt old.ETX"
    "ombrivault-cli frobnicate |"
)

# Every command of the usage text, with its own options and the password options, so a command
# or option added to the tool cannot be forgotten here. A usage line reads
# "  ombrivault-cli [--password-file F | --password-stdin] NAME ARGS...", or without the
# password options for a command that needs no password ("  ombrivault-cli info FILE").
usage=$("$cli" --help) || exit 1
commands=()
while read -r name args; do
    commands+=("$name")
    options=$(printf '%s\n' $args --password-file --password-stdin | tr -d '[]' | grep -- '^-' |
        LC_ALL=C sort | paste -sd ' ')
    cases+=("ombrivault-cli $name -|$options")
done < <(printf '%s\n' "$usage" | sed -n 's/^  ombrivault-cli \(\[[^]]*\] \)\{0,1\}\([a-z]\)/\2/p')
if [ ${#commands[@]} -eq 0 ]; then
    echo "FAIL: no commands found in the usage text of $cli"
    exit 1
fi
cases+=("ombrivault-cli |$(printf '%s\n' "${commands[@]}" | LC_ALL=C sort | paste -sd ' ')")

passed=0
failed=0
for c in "${cases[@]}"; do
    line=${c%%|*}
    want=${c#*|}
    got=$(offers "$line")
    if [ "$got" = "$want" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: "%s"\n  offers: %s\n  wanted: %s\n' "$line" "$got" "$want"
    fi
done
echo "bash completion: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
