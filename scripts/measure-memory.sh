#!/usr/bin/env bash
# The console's memory with a full line: sixteen simulated meters, sixteen configured slots,
# polling for a minute. Prints the resident memory (VmRSS) and its peak (VmHWM) of the running
# program, and how many requests the meters heard meanwhile.
#   scripts/measure-memory.sh [build folder] [seconds]
# Runs the console offscreen (QT_QPA_PLATFORM=offscreen) unless QT_QPA_PLATFORM is set already;
# with a real window on a virtual screen:
#   QT_QPA_PLATFORM=xcb xvfb-run -a scripts/measure-memory.sh build
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib.sh
. "$here/scripts/lib.sh"
build=$(cd "${1:-$here/build}" && pwd)
seconds=${2:-60}
for program in dalmora dalmora-meter-sim; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "no $build/bin/$program: build the targets dalmora and dalmora-meter-sim first" >&2
        exit 1
    fi
done

folder=$(mktemp -d "${TMPDIR:-/tmp}/dalmora-memory-XXXXXX")
sim=""
console=""
finish() {
    if [ -n "$console" ]; then kill "$console" 2>/dev/null || true; wait "$console" 2>/dev/null || true; fi
    if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
    rm -rf "$folder"
}
trap finish EXIT

cp -r "$build/bin/Picture" "$folder/Picture"

# Sixteen meters at 19200 baud, stations 1 to 16, the five models a slot can be set to in turn.
models=(T3 N5,N6,N8 HM15 RWN5D8 ZC37)
{
    echo '{"turnaround_ms": 3, "meters": ['
    for station in $(seq 1 16); do
        model=${models[$(( (station - 1) % 5 ))]}
        separator=$([ "$station" -lt 16 ] && echo , || true)
        echo "  {\"station\": $station, \"model\": \"$model\", \"baud\": 19200, \"pv\": $(( 20 + station * 5 ))}$separator"
    done
    echo ']}'
} > "$folder/meters.json"

ids=() descriptions=() slotModels=() zeros=()
for station in $(seq 1 16); do
    ids+=("$(printf '%03d' "$station")")
    descriptions+=("M$station")
    slotModels+=("${models[$(( (station - 1) % 5 ))]}")
    zeros+=(0)
done
{
    settings_record COM1 19200 2 8 None
    settings_record "${ids[@]}"
    settings_record "${descriptions[@]}"
    settings_record "${zeros[@]}"
    settings_record "${zeros[@]}"
    settings_record "${zeros[@]}"
    settings_record "${zeros[@]}"
    settings_record "${slotModels[@]}"
} > "$folder/User Setting.ini"

start_simulator "$build" "$folder/meters.json" "$folder" 2>/dev/null

QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/dalmora" "$folder" >"$folder/console.log" 2>&1 &
console=$!
echo "console $console on $folder, 16 slots at 19200 baud; waiting $seconds s"
sleep "$seconds"
if ! kill -0 "$console" 2>/dev/null; then
    echo "the console ended early:" >&2
    cat "$folder/console.log" >&2
    exit 1
fi

status=/proc/$console/status
rss=$(awk '/^VmRSS:/ {print $2}' "$status")
peak=$(awk '/^VmHWM:/ {print $2}' "$status")
requests=$(grep -c ' RX ' "$folder/sim.log" || true)
replies=$(grep -c ' TX ' "$folder/sim.log" || true)
stations=$(awk '$2 == "RX" {print $3}' "$folder/sim.log" | sort -u | wc -l)
awk -v rss="$rss" -v peak="$peak" \
    'BEGIN { printf "VmRSS %d kB (%.1f MiB), VmHWM %d kB (%.1f MiB)\n", rss, rss / 1024, peak, peak / 1024 }'
echo "line: $requests requests to $stations stations, $replies replies"
