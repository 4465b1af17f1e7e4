#!/usr/bin/env bash
# Runs a command as a native Wayland client of its own headless compositor:
#
#     under-weston.sh COMMAND [ARG...]
#
# weston's headless backend (a 1600x1000 output, no display hardware) listens on a socket in a
# runtime folder made for this run (mode 0700, as XDG_RUNTIME_DIR must be); once the socket is
# there, COMMAND runs with WAYLAND_DISPLAY naming it, QT_QPA_PLATFORM=wayland and no DISPLAY,
# so that nothing can fall back to X11. The compositor is stopped afterwards; the exit status is
# COMMAND's, or 1 when the compositor did not come up.
set -uo pipefail
. "$(dirname "$0")/displayserver.sh"

[ $# -ge 1 ] || fail "usage: under-weston.sh COMMAND [ARG...]"
command -v weston >/dev/null || fail "weston is not installed (scripts/setup installs it)"

prepare_server
runtime="$server_dir"
chmod 0700 "$runtime"
socket="wayland-test-$$"

# weston 10 (Debian 12) names its backends by their modules, weston 12 and later (Debian 13)
# by their plain names.
major="$(weston --version 2>/dev/null | sed -nE 's/^weston ([0-9]+).*/\1/p')"
backend=headless
[ -n "$major" ] && [ "$major" -lt 12 ] && backend=headless-backend.so

XDG_RUNTIME_DIR="$runtime" weston --backend="$backend" --socket="$socket" --idle-time=0 \
    --width=1600 --height=1000 >"$runtime/weston.log" 2>&1 </dev/null &
server_pid=$!

# The compositor is ready once its socket is there; it ending first is a failure.
if ! wait_for "$server_pid" test -S "$runtime/$socket"; then
    cat "$runtime/weston.log" >&2
    fail "weston did not come up"
fi

env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland \
    XDG_SESSION_TYPE=wayland "$@"
status=$?
if [ "$status" -ne 0 ]; then
    echo "under-weston: the compositor's log:" >&2
    tail -20 "$runtime/weston.log" >&2
fi
exit "$status"
