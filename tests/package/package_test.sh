#!/usr/bin/env bash
# Builds the Debian package from a finished build folder and checks what a person installing it
# gets: the control data (name, version, architecture, the libraries found by dpkg-shlibdeps, the
# font), the files and where they go, the icon pictures at their sizes, a stripped program, a launcher
# entry and an AppStream description that the desktop's own validators accept and that point at what
# the package holds, and a manual page that renders without a warning.
#
#   package_test.sh BUILD_DIR VERSION
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR VERSION" >&2
    exit 2
fi
BUILD=$(realpath "$1")
VERSION=$2
# The fixed sizes desktops look for besides the drawing.
SIZES=(16 24 32 48 64 128 256)

for tool in cpack dpkg-deb dpkg-shlibdeps objdump desktop-file-validate appstreamcli groff file zcat; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/deps.sh installs it)"; exit 1; }
done

W=$(mktemp -d /tmp/varnel-package.XXXXXX)
trap 'rm -rf "$W"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$W/out" >"$W/cpack.log" 2>&1; then
    cat "$W/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
debs=("$W"/out/varnel_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: expected one varnel_*.deb, found: ${debs[*]}"
    exit 1
fi
DEB=${debs[0]}
ARCH=$(dpkg --print-architecture)
[ "$(basename "$DEB")" = "varnel_${VERSION}_${ARCH}.deb" ] || fail "package file named $(basename "$DEB")"
echo "package: $(basename "$DEB"), $(stat -c %s "$DEB") bytes"

# Control data.
dpkg-deb -I "$DEB" >"$W/info" || fail "dpkg-deb -I cannot read the package"
field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = varnel ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$VERSION" ] || fail "Version is '$(field Version)', the project is $VERSION"
[ "$(field Architecture)" = "$ARCH" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
# Every library the program loads directly must be a dependency: find it as the dynamic linker does
# and ask dpkg which package owns it (under /usr/lib or, merged into it, /lib).
owner() {
    local real
    real=$(realpath "$1") || return
    { dpkg -S "$real" || dpkg -S "/${real#/usr/}"; } 2>/dev/null | head -n 1 | cut -d: -f1
}
for lib in $(objdump -p "$BUILD/src/varnel" | awk '$1 == "NEEDED" { print $2 }'); do
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l && $NF ~ /^\// { print $NF; exit }')
    pkg=$(owner "$path")
    [ -n "$pkg" ] || { fail "no package owns $lib"; continue; }
    tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }' | grep -qxF "$pkg" ||
        fail "$lib comes from $pkg, which Depends does not name"
done
grep -q 'fonts-ipafont-gothic | fonts-noto-cjk' <<<"$depends" || fail "Depends names no Japanese font"

# Contents: root-owned, in place, nothing outside /usr/bin and /usr/share.
dpkg-deb -c "$DEB" >"$W/contents" || fail "dpkg-deb -c cannot list the package"
awk '$2 != "root/root" { print "FAIL: not owned by root: " $NF }' "$W/contents" | grep . && failures=$((failures + 1))
awk '$1 !~ /^d/ { print substr($NF, 2) }' "$W/contents" | sort >"$W/files"
expected=(/usr/bin/varnel /usr/share/applications/varnel.desktop
    /usr/share/metainfo/io.github.kobu.varnel.metainfo.xml /usr/share/man/man1/varnel.1.gz
    /usr/share/icons/hicolor/scalable/apps/varnel.svg)
for size in "${SIZES[@]}"; do expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/varnel.png"); done
for path in "${expected[@]}"; do
    grep -qx "$path" "$W/files" || fail "the package lacks $path"
done
grep -Ev '^/usr/(bin|share)/' "$W/files" | sed 's/^/FAIL: out of place: /' | grep . && failures=$((failures + 1))
grep -q '^-rwxr-xr-x .* ./usr/bin/varnel$' "$W/contents" || fail "/usr/bin/varnel is not mode 0755"

dpkg-deb -x "$DEB" "$W/root" || { echo "FAIL: dpkg-deb -x cannot unpack the package"; exit 1; }
R=$W/root
file -b "$R/usr/bin/varnel" | grep -q ', stripped' || fail "the program is not stripped: $(file -b "$R/usr/bin/varnel")"
for size in "${SIZES[@]}"; do
    png=$R/usr/share/icons/hicolor/${size}x${size}/apps/varnel.png
    [ -f "$png" ] || continue
    file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "$png is $(file -b "$png")"
done

# The launcher entry: valid, starting the packaged program with a packaged icon.
desktop=$R/usr/share/applications/varnel.desktop
if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
    fail "desktop-file-validate: $out"
fi
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$R/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not a program of the package"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$R/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon is not an icon of the package"

# The AppStream description: valid, launching this entry, its newest release this version.
metainfo=$R/usr/share/metainfo/io.github.kobu.varnel.metainfo.xml
appstreamcli validate --no-net --explain "$metainfo" >"$W/appstream" 2>&1 || {
    cat "$W/appstream"
    fail "appstreamcli validate"
}
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -f "$R/usr/share/applications/$launchable" ] || fail "launchable $launchable is not in the package"
grep -q '<screenshot type="default">' "$metainfo" || fail "no default screenshot"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
[ "$newest" = "$VERSION" ] || fail "the newest release is '$newest', the package is $VERSION"

# The manual page: renders without a single warning.
if ! zcat "$R/usr/share/man/man1/varnel.1.gz" >"$W/varnel.1"; then
    fail "the manual page is not gzip"
elif ! out=$(groff -k -man -Tutf8 -ww -z "$W/varnel.1" 2>&1) || [ -n "$out" ]; then
    fail "groff: $out"
elif ! grep -q "^\.TH VARNEL 1 .*Varnel $VERSION" "$W/varnel.1"; then
    fail "the manual page's title does not carry version $VERSION"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "the package is whole"
