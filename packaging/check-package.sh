#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree into a scratch folder and checks it:
#
#     check-package.sh CPACK CPACK_CONFIG APPSTREAM_ID
#
# - the files and links it holds, exactly (nothing of localweb, the tests or the benchmarks);
# - its control fields: name, a version that names this Debian release (1.01~deb12 built on
#   Debian 12, 1.01~deb13 on Debian 13), section, dependencies that name the packages holding
#   the libraries the programs really link (Qt WebEngine, Qt Widgets, QWebChannel, Qt Core,
#   libcurl, ICU, RE2, the C++ runtime: whatever this release calls them) and a Chinese font, and
#   qt6-wayland recommended;
# - lintian (Debian's own checks): no error and no warning;
# - its desktop entries: valid, with the programs, icons and versions they name, and lumetta as
#   the handler of ed2k: links; the AppStream metadata valid and naming what the package holds;
# - copyright, changelog and manual pages: the changelog's version is the package's, the manual
#   pages render without warnings and name the same options as the programs' --help;
# - the programs unpacked from it: `--version` and `--help` of both without a display, and
#   `corvale --search` through the link in usr/bin with the web out of reach, which must end with
#   status 1 and print nothing.
# Nothing is installed on the system. Exits non-zero with a reason on the first failure.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: check-package.sh CPACK CPACK_CONFIG APPSTREAM_ID" >&2
    exit 2
fi
cpack="$1"
config="$2"
appstream_id="$3"

expected_name=corvale
upstream_version=1.01
# Built on Debian N, the package is for Debian N.
release="$(. /etc/os-release && [ "${ID:-}" = debian ] && echo "${VERSION_ID:-}" || true)"
expected_version="$upstream_version${release:+~deb$release}"
corvale_version_line="corvale 1.01 (Qarvo)"
lumetta_version_line="lumetta 1.00 (Miravend)"

fail() {
    echo "check-package: $*" >&2
    exit 1
}

for tool in dpkg-deb dpkg dpkg-query objdump desktop-file-validate lintian appstreamcli man col \
    gzip; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup installs it)"
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# --- Build the package ------------------------------------------------------------------------
if ! env -u DESTDIR "$cpack" --config "$config" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack failed"
fi
shopt -s nullglob
debs=("$work"/out/*.deb)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || fail "expected one .deb from cpack, found ${#debs[@]}"
deb="${debs[0]}"
arch="$(dpkg --print-architecture)"
[ "$(basename "$deb")" = "${expected_name}_${expected_version}_${arch}.deb" ] ||
    fail "unexpected package file name $(basename "$deb")"

# --- Control fields ---------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "$expected_name" ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$expected_version" ] || fail "Version is '$(field Version)'"
[ "$(field Section)" = video ] || fail "Section is '$(field Section)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
case "$(field Maintainer)" in
*Qarvo*) ;;
*) fail "Maintainer is '$(field Maintainer)'" ;;
esac
[ -n "$(field Description)" ] || fail "no Description"

depends="$(field Depends)"
[ -n "$depends" ] || fail "no Depends"
# The names alone, one a line: alternatives split, version constraints dropped.
names="$(printf '%s\n' "$depends" | sed -E 's/[,|]/\n/g' | sed -E 's/\(.*\)//; s/^ +//; s/ +$//' |
    sed '/^$/d')"
need_dep() {
    local pattern="$1" what="$2"
    grep -Eqx "$pattern" <<<"$names" || fail "Depends lacks $what: $depends"
}
# The libraries' packages are judged against what the programs link, further down.
need_dep 'fonts-wqy-zenhei' 'a Chinese font'
if grep -Eq -- '-dev$' <<<"$names"; then
    fail "Depends names a development package: $depends"
fi
recommends="$(field Recommends)"
grep -Eq '(^|[ ,|])qt6-wayland($|[ ,|(])' <<<"$recommends" ||
    fail "Recommends lacks qt6-wayland (the Wayland platform plugin): '$recommends'"

# --- Contents ---------------------------------------------------------------------------------
# Every entry that is not a folder, as "path" or "path -> target".
dpkg-deb -c "$deb" >"$work/contents"
grep -v '^d' "$work/contents" | sed -E 's/^([^ ]+ +){5}//' | sort >"$work/entries"
icon_sizes="16 22 24 32 48 64 128 256"
{
    cat <<'EOF'
./usr/bin/corvale -> ../lib/corvale/corvale
./usr/bin/lumetta -> ../lib/corvale/brenlo/lumetta
./usr/lib/corvale/brenlo/lumetta
./usr/lib/corvale/corvale
./usr/lib/corvale/window/corvale-window.so
./usr/share/applications/corvale.desktop
./usr/share/applications/lumetta.desktop
./usr/share/doc/corvale/changelog.gz
./usr/share/doc/corvale/copyright
./usr/share/man/man1/corvale.1.gz
./usr/share/man/man1/lumetta.1.gz
./usr/share/icons/hicolor/scalable/apps/corvale.svg
./usr/share/icons/hicolor/scalable/apps/lumetta.svg
EOF
    echo "./usr/share/metainfo/$appstream_id.metainfo.xml"
    for size in $icon_sizes; do
        for program in corvale lumetta; do
            echo "./usr/share/icons/hicolor/${size}x${size}/apps/$program.png"
        done
    done
} | sort >"$work/expected"
if ! diff -u "$work/expected" "$work/entries" >"$work/contents.diff"; then
    cat "$work/contents.diff" >&2
    fail "the package's files differ from the expected ones (- expected, + found)"
fi
not_root="$(awk '$2 != "root/root"' "$work/contents")"
[ -z "$not_root" ] || fail "entries not owned by root: $not_root"

# --- lintian ----------------------------------------------------------------------------------
# Errors and warnings fail; info tags are allowed.
if ! lintian --fail-on error,warning --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log" >&2
    fail "lintian reports errors or warnings"
fi

# --- Unpack into a scratch root (never the system) ------------------------------------------
root="$work/root"
dpkg-deb -x "$deb" "$root"
for program in usr/lib/corvale/corvale usr/lib/corvale/brenlo/lumetta; do
    if [ ! -f "$root/$program" ] || [ ! -x "$root/$program" ]; then
        fail "$program is not an executable file"
    fi
    [ "$(head -c 4 "$root/$program" | od -An -c | tr -d ' ')" = '177ELF' ] ||
        fail "$program is not an ELF program"
done
for link in usr/bin/corvale usr/bin/lumetta; do
    resolved="$(readlink -f "$root/$link")"
    case "$resolved" in
    "$root"/usr/lib/corvale/*) ;;
    *) fail "$link does not lead into usr/lib/corvale inside the package: $resolved" ;;
    esac
done

# --- Dependencies against what the programs link ----------------------------------------------
# The libraries both programs and the portal's window module load, by soname, as their dynamic
# sections name them.
needed="$(for program in usr/lib/corvale/corvale usr/lib/corvale/window/corvale-window.so \
    usr/lib/corvale/brenlo/lumetta; do
    objdump -p "$root/$program" | awk '$1 == "NEEDED" { print $2 }'
done | sort -u)"
# The installed package that holds a library of that file name on this system.
owner() {
    dpkg-query -S "*/$1" 2>/dev/null | grep -v '^diversion' | head -1 | sed -E 's/[:,].*//'
}
# The names a package answers to: its own and those it provides (Debian 13's libre2-11 is
# depended on as the libre2-11-absl20240722 it provides).
answers_to() {
    echo "$1"
    dpkg-query -W -f='${Provides}\n' "$1" 2>/dev/null | sed -E 's/\([^)]*\)//g; s/,/\n/g' |
        sed -E 's/^ +//; s/ +$//' | sed '/^$/d'
}
# The linked library whose soname matches REGEX must be there, and its package in Depends, under
# whatever name this release gives it (libqt6core6 or libqt6core6t64, libicu72 or libicu76...).
need_linked() {
    local regex="$1" what="$2" lib pkg
    lib="$(grep -Em1 "$regex" <<<"$needed")" || fail "the programs do not link $what ($regex)"
    pkg="$(owner "$lib")"
    [ -n "$pkg" ] || fail "no installed package holds $lib ($what)"
    grep -Fxq -f <(answers_to "$pkg") <<<"$names" ||
        fail "Depends lacks $pkg, which holds $lib ($what), under any of its names: $depends"
}
# The portal program itself starts without the browser engine (--search, --help, --version):
# the window module alone links it.
if objdump -p "$root/usr/lib/corvale/corvale" | grep -Eq 'NEEDED +libQt6(WebEngine|Widgets|Gui)'; then
    fail "usr/lib/corvale/corvale links the window's libraries itself"
fi
need_linked '^libQt6WebEngineWidgets\.so\.' 'Qt WebEngine Widgets'
need_linked '^libQt6WebEngineCore\.so\.' 'Qt WebEngine'
need_linked '^libQt6WebChannel\.so\.' 'QWebChannel'
need_linked '^libQt6Widgets\.so\.' 'Qt Widgets'
need_linked '^libQt6Core\.so\.' 'Qt Core'
need_linked '^libcurl(-gnutls|-nss)?\.so\.' 'libcurl'
need_linked '^libicuuc\.so\.' 'ICU'
need_linked '^libre2\.so\.' 'RE2'
need_linked '^libstdc\+\+\.so\.' 'the C++ runtime'
# And no library package of the other Debian release: each of these names is one release's.
other_release=""
case "$release" in
12) other_release='libqt6core6t64|libcurl4t64|libicu76|libre2-11' ;;
13) other_release='libcurl4|libicu72|libre2-9' ;;
esac
if [ -n "$other_release" ] && grep -Eqx "$other_release" <<<"$names"; then
    fail "Depends names a library package of another Debian release: $depends"
fi

# The portal starts its player as its own folder followed by /brenlo/lumetta.
portal_dir="$(dirname "$(readlink -f "$root/usr/bin/corvale")")"
[ -x "$portal_dir/brenlo/lumetta" ] || fail "no brenlo/lumetta beside the installed portal"

# --- Desktop entries --------------------------------------------------------------------------
# The value of a key in the [Desktop Entry] group.
entry() {
    awk -v key="$2" '
        /^\[/ { group = $0; next }
        group == "[Desktop Entry]" && index($0, key "=") == 1 {
            print substr($0, length(key) + 2); exit
        }' "$1"
}
apps="$root/usr/share/applications"
for f in "$apps/corvale.desktop" "$apps/lumetta.desktop"; do
    desktop-file-validate "$f" >"$work/validate.log" 2>&1 || {
        cat "$work/validate.log" >&2
        fail "$(basename "$f") does not validate"
    }
    # Warnings and hints count too: the entries are ours and should be clean.
    if [ -s "$work/validate.log" ]; then
        cat "$work/validate.log" >&2
        fail "$(basename "$f") validates with remarks"
    fi
    [ "$(entry "$f" Type)" = Application ] || fail "$(basename "$f"): Type is not Application"
    for category in AudioVideo Video Player; do
        case ";$(entry "$f" Categories)" in
        *";$category;"*) ;;
        *) fail "$(basename "$f"): Categories lacks $category: '$(entry "$f" Categories)'" ;;
        esac
    done
done
[ "$(entry "$apps/corvale.desktop" Exec)" = corvale ] ||
    fail "corvale.desktop: Exec is '$(entry "$apps/corvale.desktop" Exec)'"
[ "$(entry "$apps/lumetta.desktop" Exec)" = 'lumetta %u' ] ||
    fail "lumetta.desktop: Exec is '$(entry "$apps/lumetta.desktop" Exec)' (a link comes as %u)"
case ";$(entry "$apps/lumetta.desktop" MimeType)" in
*";x-scheme-handler/ed2k;"*) ;;
*) fail "lumetta.desktop does not handle ed2k: links" ;;
esac
case ";$(entry "$apps/corvale.desktop" MimeType)" in
*ed2k*) fail "corvale.desktop claims ed2k: links, which are the player's" ;;
esac
for program in corvale lumetta; do
    icon="$(entry "$apps/$program.desktop" Icon)"
    [ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] ||
        fail "$program.desktop names icon '$icon', which the package does not hold"
    [ "$(head -c 8 "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" | od -An -tx1 | tr -d ' ')" = \
        89504e470d0a1a0a ] || fail "$icon.png is not a PNG image"
done
for program in corvale lumetta; do
    grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/$program.svg" ||
        fail "$program.svg is no SVG drawing"
    for size in $icon_sizes; do
        png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$program.png"
        # Width and height stand in the PNG header at bytes 16 to 23, big-endian.
        [ "$(od -An -tu1 -j16 -N8 "$png" | tr -s ' ' | sed 's/^ //; s/ $//')" = \
            "0 0 $((size / 256)) $((size % 256)) 0 0 $((size / 256)) $((size % 256))" ] ||
            fail "$program.png in ${size}x${size} is not $size pixels square"
    done
done

# --- AppStream metadata -----------------------------------------------------------------------
metainfo="$root/usr/share/metainfo/$appstream_id.metainfo.xml"
# Infos may stay (the .test host is no reverse domain the validator knows, and is no https
# address); warnings and errors may not.
if ! appstreamcli validate --no-net --no-color "$metainfo" >"$work/appstream.log" 2>&1 ||
    grep -Eq '^[EW]:' "$work/appstream.log"; then
    cat "$work/appstream.log" >&2
    fail "the AppStream metadata does not validate cleanly"
fi
grep -q '<launchable type="desktop-id">corvale.desktop</launchable>' "$metainfo" ||
    fail "the AppStream metadata does not launch corvale.desktop"
for program in corvale lumetta; do
    grep -q "<binary>$program</binary>" "$metainfo" ||
        fail "the AppStream metadata does not name the program $program"
done

# --- Copyright and changelog ------------------------------------------------------------------
doc="$root/usr/share/doc/corvale"
head -1 "$doc/copyright" |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright is not in the machine-readable format"
gzip -t "$doc/changelog.gz" || fail "changelog.gz is no gzip file"
changelog_version="$(gzip -dc "$doc/changelog.gz" | head -1 | sed -nE 's/^corvale \(([^)]*)\).*/\1/p')"
[ "$changelog_version" = "$expected_version" ] ||
    fail "the changelog's latest version is '$changelog_version', not $expected_version"

# --- The unpacked programs run ------------------------------------------------------------------
# A loopback port that nothing listens on.
closed_port=""
for p in 1 9 47 79 111 2; do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
        closed_port=$p
        break
    fi
done
[ -n "$closed_port" ] || fail "found no closed loopback port"
mkdir -p "$work/home"
run() {
    env -i PATH=/usr/bin:/bin HOME="$work/home" LANG=C.UTF-8 http_proxy="http://127.0.0.1:$closed_port" \
        timeout 60 "$@"
}

for program in corvale lumetta; do
    want="$corvale_version_line"
    [ "$program" = lumetta ] && want="$lumetta_version_line"
    status=0
    got="$(run "$root/usr/bin/$program" --version 2>"$work/stderr")" || status=$?
    [ "$status" -eq 0 ] || fail "$program --version ended with status $status: $(cat "$work/stderr")"
    [ "$got" = "$want" ] || fail "$program --version printed '$got', not '$want'"
    version="${want#* }"
    version="${version%% *}"
    [ "$(entry "$apps/$program.desktop" X-AppVersion)" = "$version" ] ||
        fail "$program.desktop carries version '$(entry "$apps/$program.desktop" X-AppVersion)'"
done

# --- Manual pages and --help say the same -----------------------------------------------------
# The long options a text names, one a line.
options() { grep -oE -- '--[a-z][a-z-]*' | sort -u; }
for program in corvale lumetta; do
    page="$root/usr/share/man/man1/$program.1.gz"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" >/dev/null \
        2>"$work/man.log" || fail "man cannot render $program.1"
    [ ! -s "$work/man.log" ] || fail "$program.1 renders with warnings: $(head -3 "$work/man.log")"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | col -b >"$work/man.txt"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT 'EXIT STATUS'; do
        grep -qx "$section" "$work/man.txt" || fail "$program.1 has no $section section"
    done
    for topic in http_proxy 'ed2k:' 'ed2k://|file|'; do
        grep -qF -- "$topic" "$work/man.txt" || fail "$program.1 does not mention $topic"
    done
    status=0
    run "$root/usr/bin/$program" --help >"$work/help.txt" 2>"$work/stderr" || status=$?
    [ "$status" -eq 0 ] || fail "$program --help ended with status $status: $(cat "$work/stderr")"
    grep -q "^usage: $program" "$work/help.txt" || fail "$program --help printed no usage"
    if ! diff <(options <"$work/help.txt") <(options <"$work/man.txt") >"$work/options.diff"; then
        cat "$work/options.diff" >&2
        fail "$program --help and $program.1 name different options (< --help, > manual)"
    fi
done

status=0
run "$root/usr/bin/corvale" --search x >"$work/stdout" 2>"$work/stderr" || status=$?
[ "$status" -eq 1 ] ||
    fail "corvale --search with the web out of reach ended with status $status, not 1: $(cat "$work/stderr")"
[ ! -s "$work/stdout" ] || fail "corvale --search printed: $(head -3 "$work/stdout")"
[ ! -s "$work/stderr" ] || fail "corvale --search complained: $(head -3 "$work/stderr")"

echo "check-package: $(basename "$deb") holds $(wc -l <"$work/entries") files and links; all checks passed"
