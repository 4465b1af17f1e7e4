#!/usr/bin/env bash
# Builds the Debian package from a configured and built tree into a scratch folder and checks it:
#
#     check-package.sh CPACK CPACK_CONFIG
#
# - the files and links it holds, exactly (nothing of localweb, the tests or the benchmarks);
# - its control fields: name, version, section, and dependencies that name the runtime packages
#   of Qt WebEngine, Qt Widgets, QWebChannel, libcurl, ICU, RE2 and a Chinese font;
# - its desktop entries: valid, with the programs, icons and versions they name, and lumetta as
#   the handler of ed2k: links;
# - the programs unpacked from it: `--version` of both, and `corvale --search` through the link in
#   usr/bin with the web out of reach, which must end with status 1 and print nothing.
# Nothing is installed on the system. Exits non-zero with a reason on the first failure.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: check-package.sh CPACK CPACK_CONFIG" >&2
    exit 2
fi
cpack="$1"
config="$2"

expected_name=corvale
expected_version=1.01
corvale_version_line="corvale 1.01 (Qarvo)"
lumetta_version_line="lumetta 1.00 (Miravend)"

fail() {
    echo "check-package: $*" >&2
    exit 1
}

for tool in dpkg-deb dpkg desktop-file-validate; do
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
need_dep 'libqt6webenginewidgets6' 'Qt WebEngine Widgets'
need_dep 'libqt6webenginecore6' 'Qt WebEngine'
need_dep 'libqt6webchannel6' 'QWebChannel'
need_dep 'libqt6widgets6' 'Qt Widgets'
need_dep 'libqt6core6' 'Qt Core'
need_dep 'libcurl4|libcurl3-gnutls|libcurl3-nss' 'libcurl'
need_dep 'libicu[0-9]+' 'ICU'
need_dep 'libre2-[0-9]+' 'RE2'
need_dep 'libstdc\+\+6' 'the C++ runtime'
need_dep 'fonts-wqy-zenhei' 'a Chinese font'
if grep -Eq -- '-dev$' <<<"$names"; then
    fail "Depends names a development package: $depends"
fi

# --- Contents ---------------------------------------------------------------------------------
# Every entry that is not a folder, as "path" or "path -> target".
dpkg-deb -c "$deb" >"$work/contents"
grep -v '^d' "$work/contents" | sed -E 's/^([^ ]+ +){5}//' | sort >"$work/entries"
sort >"$work/expected" <<'EOF'
./usr/bin/corvale -> ../lib/corvale/corvale
./usr/bin/lumetta -> ../lib/corvale/brenlo/lumetta
./usr/lib/corvale/brenlo/lumetta
./usr/lib/corvale/corvale
./usr/share/applications/corvale.desktop
./usr/share/applications/lumetta.desktop
./usr/share/icons/hicolor/48x48/apps/corvale.png
./usr/share/icons/hicolor/48x48/apps/lumetta.png
./usr/share/icons/hicolor/scalable/apps/lumetta.svg
EOF
if ! diff -u "$work/expected" "$work/entries" >"$work/contents.diff"; then
    cat "$work/contents.diff" >&2
    fail "the package's files differ from the expected ones (- expected, + found)"
fi
not_root="$(awk '$2 != "root/root"' "$work/contents")"
[ -z "$not_root" ] || fail "entries not owned by root: $not_root"

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
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/lumetta.svg" ||
    fail "lumetta.svg is no SVG drawing"

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
    env -i PATH=/usr/bin:/bin HOME="$work/home" http_proxy="http://127.0.0.1:$closed_port" \
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

status=0
run "$root/usr/bin/corvale" --search x >"$work/stdout" 2>"$work/stderr" || status=$?
[ "$status" -eq 1 ] ||
    fail "corvale --search with the web out of reach ended with status $status, not 1: $(cat "$work/stderr")"
[ ! -s "$work/stdout" ] || fail "corvale --search printed: $(head -3 "$work/stdout")"
[ ! -s "$work/stderr" ] || fail "corvale --search complained: $(head -3 "$work/stderr")"

echo "check-package: $(basename "$deb") holds $(wc -l <"$work/entries") files and links; all checks passed"
