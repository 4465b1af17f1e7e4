#!/usr/bin/env bash
# Checks that programs built for other hosts hold none of the default hosts:
#
#     check-no-hosts.sh OWN_HOST "DEFAULT_HOST ..." PROGRAM...
#
# A PROGRAM is one file, or several joined by "+" (a program and the modules it loads), whose
# text is read together. Text is read as `strings` reads it, both as single bytes (UTF-8
# literals) and as 16-bit little-endian characters (QStringLiteral). Each program must hold
# OWN_HOST, the host it was built with, and no default host. Exits non-zero with a reason on the
# first failure.
set -euo pipefail

if [ $# -lt 3 ]; then
    echo "usage: check-no-hosts.sh OWN_HOST \"DEFAULT_HOST ...\" PROGRAM..." >&2
    exit 2
fi
own="$1"
read -r -a defaults <<<"$2"
shift 2

text() {
    local file
    IFS=+ read -r -a files <<<"$1"
    for file in "${files[@]}"; do
        [ -f "$file" ] || { echo "check-no-hosts: no file $file" >&2; return 1; }
        strings -a -e s "$file"
        strings -a -e l "$file"
    done
}

for program in "$@"; do
    found="$(text "$program")" || exit 1
    if ! grep -qF -- "$own" <<<"$found"; then
        echo "check-no-hosts: $program does not hold its own host $own" >&2
        exit 1
    fi
    for host in "${defaults[@]}"; do
        if grep -F -- "$host" <<<"$found" >&2; then
            echo "check-no-hosts: $program holds the default host $host" >&2
            exit 1
        fi
    done
    echo "$program: holds $own, none of ${defaults[*]}"
done
