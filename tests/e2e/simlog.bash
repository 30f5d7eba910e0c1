# What the simulated displays received, from the simulator's log (QB_SIM_LOG): for the bats
# files that run against tests/support/with-headless.sh. `load simlog` brings it in.

mark() { wc -l <"$QB_SIM_LOG"; }

# The commands display $1 received after log line $2, as hex, one per line; a resend of a
# command whose answer was late counts once.
received() {
    tail -n +"$(($2 + 1))" "$QB_SIM_LOG" |
        jq -r "select(.display == $1 and .dir == \"rx\" and .event != \"status-query\") | .hex" |
        uniq
}

# Waits up to 5 s for display $1 to have received $3 commands after line $2.
await_received() {
    for _ in $(seq 100); do
        [ "$(received "$1" "$2" | wc -l)" -ge "$3" ] && return 0
        sleep 0.05
    done
    received "$1" "$2"
    return 1
}
