#!/usr/bin/env bats
# The HTTP API end to end: curl against `qb-timer --headless` and three simulated displays
# (Hall, Gym, Pool), run by tests/support/with-headless.sh in a network namespace of its own.
# The tests build on each other, in file order, as an operator's session would.

load simlog

setup_file() {
    export EVENTS="$BATS_FILE_TMPDIR/events.txt"
    curl -sN "$QB_API/api/v1/events" >"$EVENTS" &
    echo $! >"$BATS_FILE_TMPDIR/events.pid"
}

teardown_file() {
    kill "$(cat "$BATS_FILE_TMPDIR/events.pid")" 2>/dev/null || true
}

# POSTs a command; prints the answer and fails unless it is done.
send() {
    local answer
    answer=$(curl -s -XPOST -H 'Content-Type: application/json' -d "${2:-{\}}" \
        "$QB_API/api/v1/commands/$1")
    echo "$answer"
    [ "$(jq -r .ok <<<"$answer")" = true ]
}

state() { curl -sf "$QB_API/api/v1/state" | jq -c "$1"; }

@test "two displays selected by name" {
    send displays.selectOnly '{"displays": ["Gym", "Hall"]}'
    [ "$(state '[.displays[] | select(.selected) | .name]')" = '["Hall","Gym"]' ]
}

@test "a count-down set, started, adjusted by a minute and paused" {
    since=$(mark) reset="A7 00 00 05 00 00 01 02 00 00" run="A6 01 00" pause="A6 00 00"
    send countdown.set '{"minutes": 5, "alarm": 2}'
    send countdown.start
    [ "$(state .mirror.counting)" = '"down"' ]
    sleep 1.2
    send countdown.adjust '{"seconds": 60}'
    send countdown.pause
    [ "$(state .captions.countDown)" = '"Start"' ]
    # 5:00 less the second or so it ran (up to ten on a busy machine), plus 60 s.
    [[ "$(state .mirror.text)" =~ ^\"00:05:5[0-9] ]]
    for display in 1 2; do
        await_received $display "$since" 6
        [[ "$(received $display "$since" | tr '\n' ,)" =~ ^"$reset,$run,$pause,A7 00 00 05 3"[2-9AB]" 00 01 02 00 00,$run,$pause,"$ ]]
    done
    [ -z "$(received 3 "$since")" ]
}

@test "the event stream told the captions and the mirror" {
    run grep -c '^event: state$' "$EVENTS"
    [ "$output" -eq 1 ]
    grep -q '^data: {"countDown":"Pause"' "$EVENTS"
    grep -q '^data: {"countDown":"Start"' "$EVENTS"
    grep -q '^data: {"counting":"down","format":0,"mode":"countdown","text":"00:04:5' "$EVENTS"
}

@test "a program armed and started runs on the displays" {
    since=$(mark)
    send program.arm '{"program": 2}'
    send program.start
    [ "$(state .captions.program)" = '"Pause"' ]
    [ "$(state .program.name)" = '"Pres:300-60"' ]
    await_received 1 "$since" 2
    [[ "$(received 1 "$since" | tr '\n' ,)" =~ ^"AC D7 01 "[^,]*",AE 01 00," ]]
    # The display runs it: its first steps are logged, and the mirror shows the running step.
    await_logged program-step "$since"
    [ "$(state .program.runningStep)" -ge 1 ]
    send program.pause
}

@test "a Tabata session from its numbers" {
    since=$(mark)
    send tabata '{"work": 1, "rest": 1, "rounds": 2, "to": "Pool"}'
    send program.start
    [ "$(state .program.open)" = 10 ]
    [ "$(state .program.name)" = '"Tab 1/1"' ]
    await_received 3 "$since" 2
    [[ "$(received 3 "$since" | tr '\n' ,)" =~ ^"AC D7 09 "[^,]*",AE 01 00," ]]
    [ -z "$(received 1 "$since")" ]
    # Two rounds of a second of work and a second of rest, then the end.
    await_logged program-end "$since"
}

@test "SIGTERM stops the headless controller cleanly" {
    kill -TERM "$QB_APP_PID"
    timeout 5 tail --pid="$QB_APP_PID" -f /dev/null
    grep -q 'Stopping on signal 15' "$QB_APP_LOG"
    grep -q 'Headless controller stopped' "$QB_APP_LOG"
}
