#!/usr/bin/env bash
# write --each ended every way a production run ends, on the simulated USB
# reader and a simulated serial device path: a signal during the second
# reader's transfer, a pipe closed by its reader, a full standard output, a
# log that cannot be written, a refused run. For each, the exit code, one
# valid log line per reader programmed, and no simulated reader's folder left.
# Usage: each_endings.sh TOVASK_CLI
set -uo pipefail
set -m  # background jobs keep SIGINT, as a command typed at a prompt does
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp  # where the simulated serial reader makes its folder
mkdir -p "$TMPDIR"
"$cli" new "$work/a.mtl" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Waits until the trace shows the reader's Nth write command: a transfer is running.
await_write() {
    local n=$1 err=$2 tries=0
    until [ "$(grep -c 'simulated reader: write command over' "$err" 2>/dev/null)" -ge "$n" ]; do
        tries=$((tries + 1))
        [ $tries -lt 1500 ] || return 1
        sleep 0.02
    done
}

# run ENDING PORT: runs the case, leaving the exit code in $code.
run() {
    local ending=$1 port=$2
    local args=(write "$work/a.mtl" --port "$port" --simulate --each --log "$work/run.log" --verbose)
    rm -f "$work/run.log" "$work/out" "$work/err" "$work/pipe"
    case $ending in
    SIGINT|SIGTERM|SIGHUP)
        "$cli" "${args[@]}" > "$work/out" 2> "$work/err" &
        local pid=$!
        await_write 2 "$work/err" || fail "$ending $port: the second reader was never written"
        kill -s "$ending" $pid
        wait $pid; code=$? ;;
    tee)  # Ctrl+C reaches the whole pipeline: tee ends at once, the tool after the reader at hand
        mkfifo "$work/pipe"
        tee "$work/out" < "$work/pipe" > /dev/null &
        local tee=$!
        "$cli" "${args[@]}" > "$work/pipe" 2> "$work/err" &
        local pid=$!
        await_write 2 "$work/err" || fail "tee $port: the second reader was never written"
        kill -s INT $tee $pid
        wait $pid; code=$?
        wait $tee ;;
    head)  # | head -n1 on a run of 3
        mkfifo "$work/pipe"
        head -n1 < "$work/pipe" > "$work/out" &
        "$cli" "${args[@]}" --count 3 > "$work/pipe" 2> "$work/err"; code=$?
        wait ;;
    full)
        "$cli" "${args[@]}" --count 3 > /dev/full 2> "$work/err"; code=$? ;;
    logfull)
        "$cli" write "$work/a.mtl" --port "$port" --simulate --each --count 3 --log /dev/full \
            > "$work/out" 2> "$work/err"; code=$? ;;
    refused)
        "$cli" "${args[@]}" --fault=no-such-fault > "$work/out" 2> "$work/err"; code=$? ;;
    json)
        "$cli" "${args[@]}" --count 2 --json > "$work/out" 2> "$work/err"; code=$? ;;
    esac
}

# ENDING  exit code  log lines (- no log file)  what standard error or output must hold
cases=(
    "SIGINT   130 2 -"
    "SIGTERM  143 2 -"
    "SIGHUP   129 2 -"
    "tee      130 2 -"
    "head       1 1 standard output: Broken pipe"
    "full       1 1 standard output: No space left on device"
    "logfull    1 - /dev/full: No space left on device"
    "refused    2 - unknown fault"
    "json       0 2 -"
)
for port in USB /dev/ttyUSB7; do
    for row in "${cases[@]}"; do
        read -r ending want lines said <<< "$row"
        what="$ending on $port"
        run "$ending" "$port"
        [ "$code" = "$want" ] || { fail "$what: exit $code, not $want"; cat "$work/err"; }
        if [ "$lines" = - ]; then
            [ ! -e "$work/run.log" ] || fail "$what: a log was made"
        else
            [ "$(wc -l < "$work/run.log")" = "$lines" ] || fail "$what: log lines: $(cat "$work/run.log")"
            jq -e -s "length == $lines and all(.result == \"ok\")" "$work/run.log" > /dev/null ||
                fail "$what: the log is not $lines valid lines of readers written: $(cat "$work/run.log")"
        fi
        [ "$said" = - ] || grep -qF "$said" "$work/err" || fail "$what: standard error lacks \"$said\""
        case $ending in
        SIGINT|SIGTERM|SIGHUP)
            grep -q "^2 written and verified, 0 failed$" "$work/out" || fail "$what: no summary: $(cat "$work/out")" ;;
        logfull)  # the reader programmed is said on standard output all the same
            grep -q "^reader 1 .*: written and verified$" "$work/out" || fail "$what: reader 1 not said" ;;
        json)  # one JSON line per reader, then the summary
            jq -e -s 'length == 3 and .[0].n == 1 and .[1].result == "ok" and .[2].written == 2' "$work/out" > /dev/null ||
                fail "$what: $(cat "$work/out")" ;;
        esac
        left=$(ls -A "$TMPDIR")
        [ -z "$left" ] || { fail "$what: left behind: $left"; rm -rf "${TMPDIR:?}"/*; }
    done
done
[ $failures -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all endings as expected"
