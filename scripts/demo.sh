#!/usr/bin/env bash
# The demo: six simulated meters, one of each model, on a pseudo-terminal linked as COM1 in the
# demo folder, and the console running on that folder.
#   scripts/demo.sh [build folder] [demo folder]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib.sh
. "$here/scripts/lib.sh"
build=$(cd "${1:-build}" && pwd)
demo=${2:-$here/demo}
mkdir -p "$demo"
demo=$(cd "$demo" && pwd)

# The program folder holds Picture/ beside the settings file and the record files.
rm -rf "$demo/Picture"
cp -r "$build/bin/Picture" "$demo/Picture"

# The first time: COM1 at 19200 8N2, slots 1 to 6 with the simulator's six meters. Later runs
# keep what the operator changed.
settings="$demo/User Setting.ini"
if [ ! -f "$settings" ]; then
    none=(--- --- --- --- --- --- --- --- --- ---)
    zeros=(0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0)
    {
        settings_record COM1 19200 2 8 None
        settings_record 001 002 003 004 005 006 "${none[@]}"
        settings_record "Furnace T3" "Oven N5" "Dryer Q71" "Room HM15" "Cooler RWN5D8" "Bath ZC37" "${none[@]}"
        settings_record "${zeros[@]}"
        settings_record "${zeros[@]}"
        settings_record "${zeros[@]}"
        settings_record 1 1 0 84 83 1 0 0 0 0 0 0 0 0 0 0
        settings_record T3 N5,N6,N8 Q71 HM15 RWN5D8 ZC37 "${none[@]}"
    } > "$settings"
fi

sim=""
trap '[ -n "$sim" ] && { kill $sim 2>/dev/null; wait $sim 2>/dev/null || true; }' EXIT
start_simulator "$build" "$here/sim/sample-meters.json" "$demo"

echo "Simulator on $demo/COM1 (log $demo/sim.log); console on $demo."
echo "Faults on demand: $build/bin/dalmora-meter-sim --control $demo/sim-control --send '{\"station\":2,\"fault\":\"silent\"}'"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running the console under Xvfb (xvfb-run)."
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/dalmora" "$demo"
else
    "$build/bin/dalmora" "$demo"
fi
