# Shell pieces shared by the demo and the measurement scripts; sourced, not run.

# One record of "User Setting.ini": each text as a little-endian 16-bit length and its bytes,
# zeros to 128.
settings_record() {
    local out="" text
    for text in "$@"; do
        out+=$(printf '\\x%02x\\x%02x' $(( ${#text} % 256 )) $(( ${#text} / 256 )))
        out+=${text//%/%%}
    done
    local bytes
    bytes=$(printf "$out" | wc -c)
    if (( bytes > 128 )); then echo "settings record too long: $*" >&2; exit 1; fi
    printf "$out"
    head -c $(( 128 - bytes )) /dev/zero
}

# start_simulator BUILD CONFIG FOLDER: the meters on a pseudo-terminal linked as FOLDER/COM1, with
# the control socket FOLDER/sim-control and the log FOLDER/sim.log. Sets $sim to its process.
start_simulator() {
    local build=$1 config=$2 folder=$3
    "$build/bin/dalmora-meter-sim" --config "$config" --link "$folder/COM1" \
        --control "$folder/sim-control" --log "$folder/sim.log" &
    sim=$!
    for _ in $(seq 100); do
        [ -e "$folder/COM1" ] && return 0
        sleep 0.1
    done
    echo "the simulator did not come up" >&2
    return 1
}
