#!/usr/bin/env bats
# What the controller says about each display, end to end: curl against
# `qb-timer --headless`, three simulated displays (Hall, Gym, Pool) and a fourth, Lost, on
# 127.0.0.5, run by a simulator of its own that the tests stop and start again with a loss of
# 100 % and of 0 %. Run by tests/support/with-headless.sh in a network namespace of its own; the
# tests build on each other, in file order.

setup_file() {
    export EVENTS="$BATS_FILE_TMPDIR/events.txt"
    curl -sN "$QB_API/api/v1/events" >"$EVENTS" &
    echo $! >"$BATS_FILE_TMPDIR/events.pid"
}

teardown_file() {
    kill "$(cat "$BATS_FILE_TMPDIR/events.pid")" 2>/dev/null || true
    lost_stop
}

state() { curl -sf "$QB_API/api/v1/state" | jq -c "$1"; }
# POSTs a command; prints the answer.
post() {
    curl -s -XPOST -H 'Content-Type: application/json' -d "$2" "$QB_API/api/v1/commands/$1"
}
lost() { state '.displays[] | select(.address == "127.0.0.5")' | jq -c "$1"; }

# The fourth display, dropping $1 % of its replies.
lost_start() {
    "$QB_BUILD/sim/qb-timer-sim" --count 1 --first-address 127.0.0.5 --names Lost \
        --no-broadcast --loss "$1" --log "$BATS_FILE_TMPDIR/lost.jsonl" >/dev/null 2>&1 &
    echo $! >"$BATS_FILE_TMPDIR/lost.pid"
    for _ in $(seq 100); do
        grep -q '"start"' "$BATS_FILE_TMPDIR/lost.jsonl" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}
lost_stop() {
    [ -f "$BATS_FILE_TMPDIR/lost.pid" ] || return 0
    kill "$(cat "$BATS_FILE_TMPDIR/lost.pid")" 2>/dev/null || true
    while kill -0 "$(cat "$BATS_FILE_TMPDIR/lost.pid")" 2>/dev/null; do sleep 0.05; done
    rm -f "$BATS_FILE_TMPDIR/lost.pid" "$BATS_FILE_TMPDIR/lost.jsonl"
}
# Waits up to 5 s for the jq filter $1 on the state to give $2.
await_state() {
    for _ in $(seq 100); do
        [ "$(state "$1")" = "$2" ] && return 0
        sleep 0.05
    done
    state "$1"
    return 1
}

@test "a display that drops everything misses the start, and the answer says so" {
    lost_start 0
    post displays.add '{"address": "127.0.0.5"}'
    await_state '[.displays[].name] | length' 4
    post countdown.set '{"minutes": 1, "to": ["Hall", "Lost"]}' | jq -e .ok
    await_state '.displays[] | select(.name == "Lost") | .lastAnswer != null' true
    lost_stop
    lost_start 100

    answer=$(post countdown.start '{"confirm": true}')
    [ "$(jq -c .result.acknowledged <<<"$answer")" = '[{"address":"127.0.0.2","name":"Hall"}]' ]
    [ "$(jq -c .result.missed <<<"$answer")" = \
        '[{"address":"127.0.0.5","command":"count-down start","name":"Lost"}]' ]
    # The row, the state and the stream say so too; Hall counts on, confirmed.
    [ "$(lost .missed.command)" = '"count-down start"' ]
    [ "$(state '.displays[] | select(.name == "Hall") | .missed')" = null ]
    grep -q '^event: delivery$' "$EVENTS"
    grep -q '^data: {"address":"127.0.0.5","at":"[0-9T:.-]*Z","command":"count-down start","name":"Lost","outcome":"missed"}$' "$EVENTS"
    grep -q '^data: {"address":"127.0.0.5".*"missed":{"at":"[0-9T:.-]*Z","command":"count-down start"}' "$EVENTS"
}

@test "the display answers again: the mark clears" {
    lost_stop
    lost_start 0
    post displays.discover '{}' | jq -e .ok
    await_state '.displays[] | select(.name == "Lost") | .missed' null
    answer=$(post countdown.pause '{"confirm": true, "to": ["Hall", "Lost"]}')
    [ "$(jq -c '[.result.acknowledged[].name]' <<<"$answer")" = '["Hall","Lost"]' ]
    [ "$(jq -c .result.missed <<<"$answer")" = '[]' ]
}
