#!/usr/bin/env bash
# tovask-cli.exe, under Wine, writes a template into a serial reader on COM1
# and reads it back, then does the same on COM12 (reached only by its device
# name \\.\COM12). Both are the pseudo-terminal served by the simulated
# reader, so the Windows serial code runs byte for byte against a reader.
# Usage: com1_end_to_end.sh SIM_SERIAL CLI_EXE WINE
set -euo pipefail
sim=$1 cli=$2 wine=$3
wineserver=$(dirname "$wine")/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
work=$(mktemp -d)
reader=
cleanup() {
    [ -n "$reader" ] && kill "$reader" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$sim" > "$work/line" &
reader=$!
for _ in $(seq 100); do [ -s "$work/line" ] && break; sleep 0.05; done
pty=$(head -n1 "$work/line")
[ -n "$pty" ] || { echo "the simulated reader gave no line"; exit 1; }

# Wine's mount manager maps COM ports from this key when it starts; the
# link alone would be replaced by one to /dev/ttyS0.
for com in COM1 COM12; do
    "$wine" reg add 'HKLM\Software\Wine\Ports' /v $com /d "$pty" /f > /dev/null 2>&1
done
"$wineserver" -k > /dev/null 2>&1 || true
"$wineserver" -w > /dev/null 2>&1 || true
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com1"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com12"

run() { "$wine" "$cli" "$@" 2> "$work/err" | tr -d '\r'; }
expect() {
    if [ "$1" != "$2" ]; then
        echo "expected: $2"
        echo "got:      $1"
        cat "$work/err"
        exit 1
    fi
}

run new "Z:$work/a.mtl" > /dev/null
run set "Z:$work/a.mtl" T1Prefix=WINE 'CardSuffix=[CR]' outputDelay=42 oposMode=1 > /dev/null
expect "$(run write "Z:$work/a.mtl" --port COM1)" "programmable MR writing OK, Check MR data please !"
expect "$(run read --port COM1 -o "Z:$work/b.mtl")" "programmable MR reading OK!"
cmp "$work/a.mtl" "$work/b.mtl"
expect "$(run get "Z:$work/b.mtl" T1Prefix)" "WINE"

run set "Z:$work/a.mtl" T1Prefix=TWELVE > /dev/null
expect "$(run write "Z:$work/a.mtl" --port COM12)" "programmable MR writing OK, Check MR data please !"
expect "$(run read --port COM12 -o "Z:$work/c.mtl")" "programmable MR reading OK!"
cmp "$work/a.mtl" "$work/c.mtl"
expect "$(run get "Z:$work/c.mtl" T1Prefix)" "TWELVE"
echo "COM1 and COM12 under Wine: written and read back over $pty"
