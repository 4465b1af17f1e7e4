# Sourced by the scripts that start a display server for a test.
#
#     wait_for PID CHECK [ARG...]
#
# Waits up to 60 s for CHECK to succeed while the process PID runs; status 0 once it has, 1 when
# the time is up or the process ended first.
wait_for() {
    local pid="$1"
    shift
    for _ in $(seq 1 600); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
