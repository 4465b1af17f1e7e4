# Sourced by the scripts that start a display server for a test (under-openbox.sh,
# under-weston.sh).

# Says what went wrong, under the script's name, and exits with status 1.
fail() {
    echo "$(basename "$0" .sh): $*" >&2
    exit 1
}

# Makes server_dir, a fresh folder for the server's files. When the script exits, the server
# whose process id the script has put in server_pid is stopped and the folder removed.
prepare_server() {
    server_dir="$(mktemp -d)"
    server_pid=""
    trap stop_server EXIT
}

stop_server() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null
        wait "$server_pid" 2>/dev/null
    fi
    rm -rf "$server_dir"
}

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
