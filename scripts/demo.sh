#!/usr/bin/env bash
# The demo: six simulated meters, one of each model, on a pseudo-terminal linked as COM1 in the
# demo folder, and the console running on that folder.
#   scripts/demo.sh [build folder] [demo folder]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
demo=${2:-$here/demo}
mkdir -p "$demo"
demo=$(cd "$demo" && pwd)

# The program folder holds Picture/ beside the settings file and the record files.
rm -rf "$demo/Picture"
cp -r "$build/bin/Picture" "$demo/Picture"

# A settings record: each text as a little-endian 16-bit length and its bytes, zeros to 128.
record() {
    local out="" text
    for text in "$@"; do
        out+=$(printf '\\x%02x\\x%02x' $(( ${#text} % 256 )) $(( ${#text} / 256 )))
        out+=$text
    done
    local bytes
    bytes=$(printf "$out" | wc -c)
    if (( bytes > 128 )); then echo "settings record too long" >&2; exit 1; fi
    printf "$out"
    head -c $(( 128 - bytes )) /dev/zero
}

# The first time: COM1 at 19200 8N2, slots 1 to 6 with the simulator's six meters. Later runs
# keep what the operator changed.
settings="$demo/User Setting.ini"
if [ ! -f "$settings" ]; then
    none=(--- --- --- --- --- --- --- --- --- ---)
    zeros=(0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0)
    {
        record COM1 19200 2 8 None
        record 001 002 003 004 005 006 "${none[@]}"
        record "Furnace T3" "Oven N5" "Dryer Q71" "Room HM15" "Cooler RWN5D8" "Bath ZC37" "${none[@]}"
        record "${zeros[@]}"
        record "${zeros[@]}"
        record "${zeros[@]}"
        record 1 1 0 84 83 1 0 0 0 0 0 0 0 0 0 0
        record T3 N5,N6,N8 Q71 HM15 RWN5D8 ZC37 "${none[@]}"
    } > "$settings"
fi

"$build/bin/dalmora-meter-sim" --config "$here/sim/sample-meters.json" --link "$demo/COM1" \
    --control "$demo/sim-control" --log "$demo/sim.log" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -e "$demo/COM1" ] && break
    sleep 0.1
done

echo "Simulator on $demo/COM1 (log $demo/sim.log); console on $demo."
echo "Faults on demand: $build/bin/dalmora-meter-sim --control $demo/sim-control --send '{\"station\":2,\"fault\":\"silent\"}'"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running the console under Xvfb (xvfb-run)."
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/dalmora" "$demo"
else
    "$build/bin/dalmora" "$demo"
fi
