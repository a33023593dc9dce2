#!/usr/bin/env bash
# The bash completion of tovask-cli: verbs, a verb's options (from its own
# help), ports, --layout names (also after a comma), and template files.
# Usage: bash_completion.sh COMPLETION_SCRIPT TOVASK_CLI
set -uo pipefail
source "$1"
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/shop.mtl" "$work/notes.txt"
failures=0

# complete LINE: the completions of the last word of LINE (a trailing space starts a new word).
complete_line() {
    read -r -a COMP_WORDS <<< "$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$tool
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$1
    COMPREPLY=()
    _tovask_cli
    printf '%s\n' "${COMPREPLY[@]}"
}

# LINE | a completion it must offer | one it must not (either may be empty)
while IFS='|' read -r line want unwanted; do
    got=$(complete_line "$line")
    if [ -n "$want" ] && ! grep -qxF -- "$want" <<< "$got"; then
        echo "FAIL: '$line' lacks '$want': $got"; failures=$((failures + 1))
    fi
    if [ -n "$unwanted" ] && grep -qxF -- "$unwanted" <<< "$got"; then
        echo "FAIL: '$line' offers '$unwanted'"; failures=$((failures + 1))
    fi
done <<EOF2
tovask-cli wr|write|read
tovask-cli help che|check-layout|
tovask-cli write shop.mtl --ver|--verify|--json
tovask-cli check-layout shop.mtl --j|--json|
tovask-cli read --port U|USB|PS2
tovask-cli write shop.mtl --port CO|COM3|USB
tovask-cli preview shop.mtl --layout d|de|us
tovask-cli check-layout shop.mtl --layout us,fr(a|us,fr(azerty)|fr(azerty)
tovask-cli dump $work/sh|$work/shop.mtl|
tovask-cli dump $work/no||$work/notes.txt
EOF2
[ $failures -eq 0 ] || exit 1
echo "completions as expected"
