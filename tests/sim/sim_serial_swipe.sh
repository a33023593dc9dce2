#!/usr/bin/env bash
# tovask-sim-serial applies the template written into it: tovask-cli writes a
# template with a card prefix over the reader's pseudo-terminal, then a
# "swipe" line makes the reader send the sample card with that prefix.
# Usage: sim_serial_swipe.sh SIM_SERIAL CLI
set -euo pipefail
sim=$1 cli=$2
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/in"
"$sim" < "$work/in" > "$work/line" &
pids+=($!)
exec 3> "$work/in"
for _ in $(seq 100); do [ -s "$work/line" ] && break; sleep 0.05; done
pty=$(head -n1 "$work/line")
[ -n "$pty" ] || { echo "the simulated reader gave no line"; exit 1; }

"$cli" new "$work/t.mtl"
"$cli" set "$work/t.mtl" 'CardPrefix=<S>' 'T2Suffix=[CR]' outputDelay=1
"$cli" write "$work/t.mtl" --port "$pty" > /dev/null

# Reads that wait for a byte (the tool leaves the line returning at once).
stty -F "$pty" raw -echo min 1 time 0
cat "$pty" > "$work/out" &
pids+=($!)
sleep 0.2
echo swipe >&3
expected='<S>%B4000123456789010^SAMPLE/CARD^29121010000000000000?;4000123456789010=29121010000000000000?'
for _ in $(seq 60); do
    [ "$(tr -d '\r' < "$work/out")" = "$expected" ] && exit 0
    sleep 0.05
done
echo "expected: $expected"
echo "got:      $(tr -d '\r' < "$work/out" | od -c | head)"
exit 1
