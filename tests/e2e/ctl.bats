#!/usr/bin/env bats
# qb-timerctl end to end: the real command line against `qb-timer --headless` and three simulated
# displays (Hall, Gym, Pool), run by tests/support/with-headless.sh in a network namespace of its
# own. The tests build on each other, in file order, as an operator's session would.

load simlog

bats_require_minimum_version 1.5.0

ctl() { "$QB_BUILD/cli/qb-timerctl" "$@"; }
# Run in the background, where the shell of a function would take Ctrl+C in its place.
ctl_in_background() { "$QB_BUILD/cli/qb-timerctl" "$@" & }
selected() { ctl --json displays | jq -c '[.result.displays[] | select(.selected) | .name]'; }
listed() { ctl --json displays | jq -r '.result.displays[].name' | sort | paste -sd,; }
# Waits up to 5 s for the listed displays to be $1.
await_listed() {
    for _ in $(seq 100); do
        [ "$(listed)" = "$1" ] && return 0
        sleep 0.05
    done
    listed
    return 1
}
# The commands display $1 received after log line $2, once there are $3.
sent() { await_received "$1" "$2" "$3" && received "$1" "$2"; }

@test "displays selected and deselected by name and address" {
    ctl select Hall Pool
    ctl select --only Hall Gym
    [ "$(selected)" = '["Hall","Gym"]' ]
    ctl deselect 127.0.0.3
    run ctl displays
    [[ "${lines[0]}" =~ ^"[x] Hall  127.0.0.2        "[0-9:.]+$ ]]
    [[ "${lines[1]}" =~ ^"[ ] Gym   127.0.0.3        " ]]
    [[ "${lines[2]}" =~ ^"[ ] Pool  127.0.0.4        " ]]
    [ "${#lines[@]}" -eq 3 ]
    ctl select Gym
    [ "$(selected)" = '["Hall","Gym"]' ]
}

@test "a display taken off the list comes back by discovery and by its address" {
    ctl remove Pool
    [ "$(listed)" = Gym,Hall ]
    ctl discover
    await_listed Gym,Hall,Pool
    ctl remove 127.0.0.4
    ctl add 127.0.0.4
    await_listed Gym,Hall,Pool
}

@test "a program to a file and into the open program, and program text from standard input" {
    dir="$BATS_TEST_TMPDIR"
    ctl --json program export 2 "$dir/p2.json" >"$dir/answer.json"
    # The file is what the answer says the controller writes.
    jq -j .result.fileText "$dir/answer.json" | cmp - "$dir/p2.json"
    # Program 1 is the open one: it takes an import while nothing is armed.
    run ctl program import "$dir/p2.json" 1
    [ "$output" = "Program 1 is now $(jq .result.file.name "$dir/answer.json")" ]
    ctl program export 1 "$dir/p1.json"
    cmp "$dir/p1.json" "$dir/p2.json"
    # The stored program text is taken too; the place keeps its name.
    name5=$(ctl --json program list | jq -c '.result.programs[4].name')
    jq -r .result.text "$dir/answer.json" | ctl program import - 5
    run ctl --json program export 5 -
    [ "$(jq -c .result.text <<<"${lines[0]}")" = "$(jq -c .result.text "$dir/answer.json")" ]
    [ "$(jq -c .result.file.name <<<"${lines[0]}")" = "$name5" ]
}

@test "a count-down set from durations, started, a minute taken off and paused" {
    ctl select --only Hall Gym
    since=$(mark)
    ctl countdown set 2d 04:00:00 --alarm 3
    ctl countdown set 1:30 --format hh:mm:ss
    ctl countdown start
    ctl countdown adjust -1m
    ctl countdown pause
    [[ "$(ctl --json state | jq -r .result.mirror.text)" =~ ^0-00:00:[0-3][0-9]$ ]]
    # Set twice, started, adjusted (paused, set to what is left, started) and paused.
    adjusted="A7 01 00 00 [0-9A-F]{2} 00 00 00 00 00"
    for display in 1 2; do
        run sent $display "$since" 7
        [[ "${lines[*]}" =~ ^"A7 00 04 00 00 00 01 03 02 00 A7 01 00 01 1E 00 00 00 00 00 A6 01 00 A6 00 00 "$adjusted" A6 01 00 A6 00 00"$ ]]
    done
    [ -z "$(received 3 "$since")" ]
}

@test "a preset, the count-up and the clock" {
    since=$(mark)
    ctl preset 3
    ctl countup reset --format mm:ss.t
    ctl countup start
    ctl countup pause
    ctl clock --to Pool
    run sent 1 "$since" 4
    [ "${lines[*]}" = "A7 00 00 01 00 00 00 00 00 00 A4 00 00 A3 01 00 A3 00 00" ]
    [ "$(sent 3 "$since" 1)" = "A8 01 00" ]
    [ "$(selected)" = '["Pool"]' ]
}

@test "a program listed, shown, armed, started and paused" {
    run ctl program list
    [[ "${lines[1]}" =~ ^' 2  "'[^\"]+'"'$ ]]
    [ "${#lines[@]}" -eq 10 ]
    name=${lines[1]:4}
    run ctl program show 2
    [ "${lines[0]}" = "Program 2 $name" ]
    since=$(mark)
    ctl program arm 2 --to Hall
    ctl program start
    [ "$(ctl --json state | jq -r .result.captions.program)" = Pause ]
    ctl program pause
    run sent 1 "$since" 3
    [ "${lines[0]:0:8} ${lines[*]:1:2}" = "AC D7 01 AE 01 00 AE 00 00" ]
}

@test "a program renamed and the link values set" {
    ctl program rename 3 "Warm-up"
    [ "$(ctl --json program list | jq -r '.result.programs[2].name')" = Warm-up ]
    run ctl setup --retries 2 --delay 150
    [ "$output" = "Discovery to 127.255.255.255; 2 retries 150 ms apart; status polled every 60 s" ]
}

@test "programs saved to a display and read back from one" {
    since=$(mark)
    ctl program save 3 --to Gym
    ctl program get --all
    ctl program active
    [ "$(sent 2 "$since" 1 | head -n 1 | cut -c1-5)" = "B3 02" ]
    # Each of the ten programs asked for, and the active one, resends or not.
    asked() { received 2 "$since" | grep -E '^(B2 0[0-9]|AF)$' | sort -u | wc -l; }
    for _ in $(seq 100); do
        [ "$(asked)" -eq 11 ] && break
        sleep 0.05
    done
    [ "$(asked)" -eq 11 ]
}

@test "Tabata and a presentation timer from their numbers" {
    since=$(mark)
    ctl tabata 0:20 10 8 --alarm --to Pool
    [ "$(ctl --json state | jq -r .result.program.name)" = "Tab 20/10" ]
    run ctl program show 10
    # Each line after its step's first column, where ">" marks the running step.
    [ "${lines[0]}" = 'Program 10 "Tab 20/10"' ]
    [ "${lines[1]:1}" = "  1  colour                hours-colour Blue, min-sec-colour Green" ]
    [ "${lines[2]:1}" = "  2  interval-down         alarm 2, increment-interval true, start-time 0:20, stop-time 0:00" ]
    [ "${lines[5]:1}" = "  5  repeat                goto 1, increment-interval false, repeats 7" ]
    [ "${lines[6]:1}" = "  6  end                   alarm 2, reset false, stop false" ]
    ctl present 5:00 1:00 --countup
    [ "$(ctl --json state | jq -r .result.program.name)" = "Pres:300-60" ]
    run sent 3 "$since" 2
    [ "${lines[0]:0:8} ${lines[1]:0:8}" = "AC D7 09 AC D7 08" ]
}

@test "the state, readable" {
    run ctl state
    [ "${lines[0]}" = "Mirror:   0-00:05:00  program  |  count-up Start, count-down Start, program Start" ]
    [[ "${lines[1]}" =~ ^'Program:  9 "Pres:300-60", armed'( at step [0-9])?$ ]]
    [ "${lines[2]}" = "Displays:" ]
    [ "${#lines[@]}" -eq 6 ]
}

@test "watch shows the mirror and the buttons as they change, until Ctrl+C" {
    ctl countup reset
    ctl_in_background watch >"$BATS_TEST_TMPDIR/watch.txt"
    watcher=$!
    ctl_in_background --json watch >"$BATS_TEST_TMPDIR/watch.json"
    json_watcher=$!
    sleep 0.5
    ctl countup start
    sleep 1.2
    ctl countup pause
    sleep 0.5
    kill -INT "$watcher" "$json_watcher"
    wait "$watcher"
    wait "$json_watcher"
    run cat "$BATS_TEST_TMPDIR/watch.txt"
    [[ "${lines[0]}" =~ ^"00:00:00.0  countup  |  count-up Start, count-down Start, program" ]]
    printf '%s\n' "${lines[@]}" | grep -q "^00:00:01.*countup, counting up  |  count-up Pause,"
    [[ "${lines[-1]}" =~ "count-up Start" ]]
    [ "$(head -n1 "$BATS_TEST_TMPDIR/watch.json" | jq -r .event)" = state ]
    jq -e 'select(.event == "captions") | .data.countUp' "$BATS_TEST_TMPDIR/watch.json" | grep -q Pause
    # On a terminal the line is written over in place.
    timeout 2 script -qfec "$QB_BUILD/cli/qb-timerctl watch" /dev/null </dev/null \
        >"$BATS_TEST_TMPDIR/tty.txt" || true
    [[ "$(cat "$BATS_TEST_TMPDIR/tty.txt")" == $'\r\e[K00:00:01.'*"countup  |  count-up Start"* ]]
}

@test "usage errors exit 2 and send nothing" {
    since=$(mark)
    for words in "countdown set 1:75" "program save" "countdown launch" \
        "program export 3 /nonexistent/p.json"; do
        run ctl $words
        [ "$status" -eq 2 ]
    done
    sleep 0.3
    [ -z "$(received 1 "$since")$(received 2 "$since")$(received 3 "$since")" ]
}

@test "bash completion" {
    source "$QB_BUILD/cli/qb-timerctl.bash"
    complete_words() {
        COMP_WORDS=(qb-timerctl "$@")
        COMP_CWORD=$#
        _qb_timerctl
        echo "${COMPREPLY[*]}"
    }
    [ "$(complete_words countdown s)" = "set start" ]
    [ "$(complete_words --to Hall program export --)" = "--help --host --port --token --json --confirm --to" ]
    [ "$(cd "$BATS_TEST_TMPDIR" && touch p3.json && complete_words program import p)" = p3.json ]
    [ -z "$(complete_words countdown set --alarm "")" ]
}
