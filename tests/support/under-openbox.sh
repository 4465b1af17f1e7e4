#!/usr/bin/env bash
# Runs a command on the X display in DISPLAY with a real window manager, openbox, managing its
# windows (bare Xvfb has none):
#
#     under-openbox.sh COMMAND [ARG...]
#
# openbox runs with its default configuration; once it has taken the screen (its --startup
# command has run), COMMAND runs with WINDOW_MANAGER=openbox in its environment. openbox is
# stopped afterwards; the exit status is COMMAND's, or 1 when openbox did not come up.
set -uo pipefail
. "$(dirname "$0")/displayserver.sh"

[ $# -ge 1 ] || fail "usage: under-openbox.sh COMMAND [ARG...]"
[ -n "${DISPLAY:-}" ] || fail "no X display (DISPLAY is empty); run it under Xvfb"
command -v openbox >/dev/null || fail "openbox is not installed (scripts/setup installs it)"

prepare_server
work="$server_dir"

# A home of its own: openbox keeps its session files there.
HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    openbox --sm-disable --startup "touch '$work/ready'" >"$work/openbox.log" 2>&1 </dev/null &
server_pid=$!

if ! wait_for "$server_pid" test -e "$work/ready"; then
    cat "$work/openbox.log" >&2
    fail "openbox did not take the screen"
fi

WINDOW_MANAGER=openbox "$@"
