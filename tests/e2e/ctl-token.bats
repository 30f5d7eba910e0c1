#!/usr/bin/env bats
# qb-timerctl against a controller listening off loopback, which asks for its token: run by
# tests/support/with-headless.sh --api-listen in a network namespace of its own.

setup() {
    host=${QB_API#http://}
    host=${host%:*}
}
ctl() { "$QB_BUILD/cli/qb-timerctl" --host "$host" "$@"; }

@test "no token, a wrong one, the right one" {
    QB_TIMER_TOKEN= run ctl displays
    [ "$status" -eq 5 ]
    [[ "$output" =~ "token missing or wrong" ]]
    run ctl --token wrong watch
    [ "$status" -eq 5 ]
    QB_TIMER_TOKEN=$QB_TOKEN run ctl clock --to Gym
    [ "$status" -eq 0 ]
}
