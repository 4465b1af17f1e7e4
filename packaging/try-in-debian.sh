#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 or 13 root and runs it there, as on a
# user's machine:
#
#     try-in-debian.sh RELEASE DEB BINDIR
#
# RELEASE is bookworm (Debian 12) or trixie (Debian 13); DEB is the package built on that
# release (cd build && cpack -G DEB: corvale_1.01~deb12_amd64.deb or corvale_1.01~deb13_amd64.deb);
# BINDIR is the same build's bin/ folder, which holds localweb and its localweb-content/. The
# root is made by mmdebstrap from the Debian archive that this machine's apt uses (the Packages
# indices whose origin is Debian), with the suites of RELEASE. Inside it, in order:
#
#   1. apt-get install ./corvale_*.deb: apt resolves the package's dependencies for real;
#   2. corvale --version and lumetta --version, then --help of both without a display;
#   3. corvale --search against localweb (copied in), as rows and as JSON;
#   4. the portal window under Xvfb, until its start page from localweb has loaded;
#   5. apt-get purge corvale: afterwards the package is unknown to dpkg, none of its files is
#      left, and nothing else in the root changed.
#
# Needs root, mmdebstrap and the network; takes some minutes (the root and Qt WebEngine are
# downloaded). It prints a summary, and exits 0 only when every step passed. The root lives in a
# scratch folder, removed at the end once nothing is mounted inside it.
#
#     try-in-debian.sh --sources RELEASE
#
# prints the sources lines that the root of RELEASE is made from, one a line.
set -euo pipefail

say() { echo "try-in-debian: $*"; }
fail() {
    echo "try-in-debian: FAILED: $*" >&2
    exit 1
}

# ---------------------------------------------------------------------------------------------
# Inside: run by mmdebstrap's customize hook with the finished root, its mounts in place.
# ---------------------------------------------------------------------------------------------
inside() {
    local root="$1" deb="$2" bindir="$3" summary="$4"
    local pkg
    pkg="$(basename "$deb")"
    note() { echo "$*" | tee -a "$summary"; }
    in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

    cp "$deb" "$root/tmp/$pkg"
    mkdir -p "$root/tmp/localweb"
    cp -a "$bindir/localweb" "$bindir/localweb-content" "$root/tmp/localweb/"

    # Waits up to a minute or two for a line matching REGEX in FILE, written by the process PID,
    # and prints the first; prints nothing when the process ended or the time ran out.
    wait_for_line() {
        local file="$1" regex="$2" pid="$3" line=""
        for _ in $(seq 1 1200); do
            line="$(grep -m1 -E "$regex" "$file" 2>/dev/null || true)"
            [ -n "$line" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        echo "$line"
    }

    # The root's paths, but for those that change as any system runs.
    snapshot() {
        (cd "$root" && find . -xdev \( -path ./proc -o -path ./sys -o -path ./dev -o \
            -path ./run -o -path ./tmp -o -path ./root -o -path ./var/log -o -path ./var/cache -o \
            -path ./var/lib/apt -o -path ./var/lib/dpkg \) -prune -o -print | sort)
    }

    # 1. Install: dependencies come from the archive, resolved by apt.
    local before_count after_count
    before_count="$(in_root dpkg-query -W -f='${Status}\n' | grep -c ' installed$')"
    if ! in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        "/tmp/$pkg" >"$root/tmp/install.log" 2>&1; then
        tail -30 "$root/tmp/install.log" >&2
        fail "apt-get install ./$pkg"
    fi
    after_count="$(in_root dpkg-query -W -f='${Status}\n' | grep -c ' installed$')"
    note "install: apt-get install ./$pkg: ok, $((after_count - before_count)) packages newly installed" \
        "($(grep -E '^Need to get' "$root/tmp/install.log" | head -1 | sed 's/^Need to get //; s/ of archives.*//') downloaded)"
    [ "$(in_root dpkg-query -W -f='${Status}' corvale)" = "install ok installed" ] ||
        fail "corvale is not installed after apt-get install"

    # The tools of the checks below, which are no dependency of the package; localweb's library
    # is the release's cpp-httplib.
    local httplib
    case "$(. "$root/etc/os-release" && echo "${VERSION_CODENAME:-}")" in
    bookworm) httplib=libcpp-httplib0.11 ;;
    trixie) httplib=libcpp-httplib0.18 ;;
    *) fail "the root is no Debian release this script knows" ;;
    esac
    in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        xvfb xauth "$httplib" >"$root/tmp/tools.log" 2>&1 || {
        tail -30 "$root/tmp/tools.log" >&2
        fail "installing xvfb and localweb's library"
    }
    local with_package
    with_package="$(snapshot)"

    # 2. Versions and help, without a display.
    local v
    v="$(in_root corvale --version)"
    [ "$v" = "corvale 1.01 (Qarvo)" ] || fail "corvale --version printed '$v'"
    note "run: corvale --version: $v"
    v="$(in_root lumetta --version)"
    [ "$v" = "lumetta 1.00 (Miravend)" ] || fail "lumetta --version printed '$v'"
    note "run: lumetta --version: $v"
    for program in corvale lumetta; do
        in_root "$program" --help | grep -q "^usage: $program" || fail "$program --help"
        in_root man -P cat "$program" 2>/dev/null | grep -q "EXIT STATUS" || fail "man $program"
    done
    note "run: corvale --help, lumetta --help: ok without a display; man corvale, man lumetta: ok"
    local status=0
    in_root corvale >/dev/null 2>"$root/tmp/nodisplay.log" || status=$?
    [ "$status" -eq 1 ] && [ "$(wc -l <"$root/tmp/nodisplay.log")" -eq 1 ] ||
        fail "corvale without a display ended with $status: $(cat "$root/tmp/nodisplay.log")"
    note "run: corvale without a display: status 1, '$(cat "$root/tmp/nodisplay.log")'"

    # 3. The search against localweb, started inside the root on a free loopback port.
    setsid chroot "$root" env -i PATH=/usr/bin:/bin /tmp/localweb/localweb \
        >"$root/tmp/localweb.out" 2>&1 &
    local localweb_pid=$!
    local port
    port="$(wait_for_line "$root/tmp/localweb.out" 'listening on 127\.0\.0\.1:[0-9]+' "$localweb_pid" |
        sed -nE 's/.*:([0-9]+).*/\1/p')"
    [ -n "$port" ] || fail "localweb did not start: $(cat "$root/tmp/localweb.out")"
    local proxy="http://127.0.0.1:$port"
    local rows json_rows
    rows="$(in_root env http_proxy="$proxy" corvale --search matrix)" || fail "corvale --search matrix"
    json_rows="$(in_root env http_proxy="$proxy" corvale --search matrix --json --unique)" ||
        fail "corvale --search matrix --json --unique"
    [ "$(printf '%s\n' "$rows" | awk -F'\t' 'NF != 5' | wc -l)" -eq 0 ] ||
        fail "rows without five cells: $rows"
    printf '%s\n' "$json_rows" | grep -q '"source":"http://zhidao.baidu.com/' ||
        fail "JSON rows without their source: $json_rows"
    note "search: corvale --search matrix: $(printf '%s\n' "$rows" | wc -l) rows;" \
        "--json --unique: $(printf '%s\n' "$json_rows" | wc -l) rows, first: $(printf '%s\n' "$json_rows" | head -1 | cut -c1-160)"

    # 4. The portal window under Xvfb, until the start page has loaded.
    setsid chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
        QTWEBENGINE_DISABLE_SANDBOX=1 CORVALE_TRACE=1 http_proxy="$proxy" \
        xvfb-run -a -s "-screen 0 1600x1000x24" corvale >"$root/tmp/window.log" 2>&1 &
    local window_pid=$!
    local loaded
    loaded="$(wait_for_line "$root/tmp/window.log" '^loaded [0-9]+ ' "$window_pid")"
    local shown
    shown="$(grep -E '^shown [0-9]+' "$root/tmp/window.log" || true)"
    kill -- -"$window_pid" 2>/dev/null || true
    wait "$window_pid" 2>/dev/null || true
    case "$loaded" in
    *" ok") note "window: corvale under Xvfb: ${shown:-not shown}, start page ${loaded}" ;;
    *)
        tail -20 "$root/tmp/window.log" >&2
        fail "the portal window did not load its start page (${loaded:-no load reported})"
        ;;
    esac
    kill -- -"$localweb_pid" 2>/dev/null || true
    wait "$localweb_pid" 2>/dev/null || true

    # What running the programs changed in the root (outside the home folder and /tmp) is no
    # file of the package; it is reported, and the purge is judged against the root as it is now.
    local after_runs run_added
    after_runs="$(snapshot)"
    run_added="$(comm -13 <(echo "$with_package") <(echo "$after_runs") | sed 's|^\.||' | tr '\n' ' ')"
    note "run: paths the runs added outside /root and /tmp: ${run_added:-none}"

    # 5. Purge: the package goes, with everything it brought, and nothing else changes.
    local files
    files="$(in_root dpkg-query -L corvale | sort)"
    in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y corvale >"$root/tmp/purge.log" 2>&1 ||
        fail "apt-get purge corvale: $(tail -5 "$root/tmp/purge.log")"
    local state
    state="$(in_root dpkg-query -W -f='${Status}' corvale 2>/dev/null || true)"
    case "$state" in
    "" | "unknown ok not-installed" | "purge ok not-installed") ;;
    *) fail "after the purge dpkg still knows corvale as '$state'" ;;
    esac
    local left=""
    while IFS= read -r f; do
        [ -n "$f" ] || continue
        # Folders that other packages share stay; every file and link of ours must be gone.
        if [ -e "$root$f" ] || [ -L "$root$f" ]; then
            [ -d "$root$f" ] && [ ! -L "$root$f" ] && continue
            left+="$f "
        fi
    done <<<"$files"
    [ -z "$left" ] || fail "left behind after the purge: $left"
    [ ! -e "$root/usr/lib/corvale" ] || fail "usr/lib/corvale is still there after the purge"
    local after_purge added removed
    after_purge="$(snapshot)"
    added="$(comm -13 <(echo "$after_runs") <(echo "$after_purge"))"
    removed="$(comm -23 <(echo "$after_runs") <(echo "$after_purge"))"
    [ -z "$added" ] || fail "the purge added: $added"
    # Whatever the purge removed must have been the package's.
    local foreign
    foreign="$(comm -23 <(echo "$removed" | sed 's|^\.||' | sort) <(echo "$files"))"
    [ -z "$foreign" ] || fail "the purge removed what was not the package's: $foreign"
    note "purge: apt-get purge corvale: ok, $(echo "$removed" | grep -c .) paths removed, none left," \
        "nothing else changed; dpkg: '${state:-no such package}'"
}

# The sources lines of RELEASE: each Debian repository this machine's apt reads, with the suite
# names of this machine's release (bookworm, bookworm-updates, bookworm-security...) turned into
# those of RELEASE.
sources_of() {
    local release="$1" host
    host="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
    [ -n "$host" ] || fail "this machine's /etc/os-release names no release"
    apt-get indextargets --format '$(ORIGIN)|$(REPO_URI)|$(RELEASE)|$(COMPONENT)|$(IDENTIFIER)' |
        awk -F'|' -v host="$host" -v release="$release" '
            $1 == "Debian" && $5 == "Packages" && index($3, host) == 1 {
                suite = release substr($3, length(host) + 1)
                c[$2 " " suite] = c[$2 " " suite] " " $4
            }
            END { for (k in c) print "deb " k c[k] }' | sort -u
}

check_release() {
    case "$1" in
    bookworm | trixie) ;;
    *) fail "unknown release '$1': bookworm (Debian 12) or trixie (Debian 13)" ;;
    esac
}

if [ "${1:-}" = --inside ]; then
    shift
    inside "$@"
    exit 0
fi
if [ "${1:-}" = --sources ]; then
    check_release "${2:-}"
    sources_of "$2"
    exit 0
fi

# ---------------------------------------------------------------------------------------------
# Outside: make the root with mmdebstrap and run the steps in its customize hook.
# ---------------------------------------------------------------------------------------------
if [ $# -ne 3 ]; then
    echo "usage: try-in-debian.sh bookworm|trixie DEB BINDIR" >&2
    exit 2
fi
suite="$1"
check_release "$suite"
deb="$(readlink -f "$2")"
bindir="$(readlink -f "$3")"
[ -f "$deb" ] || fail "no package at $2"
[ -x "$bindir/localweb" ] && [ -d "$bindir/localweb-content" ] || fail "no localweb in $3"
[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap makes the root and chroots into it)"
command -v mmdebstrap >/dev/null || fail "mmdebstrap is not installed (apt-get install mmdebstrap)"
# A package is built for one release: its version says which.
case "$suite:$(dpkg-deb -f "$deb" Version)" in
bookworm:*~deb12 | trixie:*~deb13) ;;
*) fail "$(basename "$deb") (version $(dpkg-deb -f "$deb" Version)) is not a package for $suite" ;;
esac

mapfile -t sources < <(sources_of "$suite")
[ ${#sources[@]} -gt 0 ] || fail "this machine's apt reads no Debian archive"

# The root is made in a scratch folder and removed at the end, but only once nothing is
# mounted inside it any more (mmdebstrap unmounts what it mounted for the hooks): with the
# machine's /dev still bound in, removing it would remove the machine's device files.
work="$(mktemp -d)"
root="$work/root"
mounted_inside() {
    awk -v root="$root" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/mounts
}
remove_work() {
    local left
    left="$(mounted_inside)"
    if [ -n "$left" ]; then
        echo "$(basename "$0"): still mounted inside $root, so it is left in place:" $left >&2
        return
    fi
    rm -rf --one-file-system "$work"
}
trap remove_work EXIT
summary="$work/summary"
: >"$summary"
self="$(readlink -f "$0")"
say "making a clean $suite root from:"
printf '    %s\n' "${sources[@]}"
start=$(date +%s)
status=0
mmdebstrap --mode=root --variant=apt --include=man-db \
    --customize-hook="'$self' --inside \"\$1\" '$deb' '$bindir' '$summary'" \
    "$suite" "$root" "${sources[@]}" >"$work/mmdebstrap.log" 2>&1 || status=$?
elapsed=$(($(date +%s) - start))
echo
say "summary ($(basename "$deb"), ${elapsed}s):"
sed 's/^/    /' "$summary"
if [ "$status" -ne 0 ]; then
    grep -E 'try-in-debian|^E:|error' "$work/mmdebstrap.log" | tail -20 >&2 || true
    fail "mmdebstrap ended with status $status"
fi
say "all steps passed"
