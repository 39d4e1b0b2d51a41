#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it with dpkg into a scratch root
# (never into the machine's own /usr), and runs what it installed.
#   install_package.sh BUILD_DIR VERSION EDID_FILE
# Exit 77 (skipped) only when a packaging tool is missing on a developer's machine; under CI
# (CI set) a missing tool fails, since ./dev installs them.
set -u
build=$1
version=$2
edid=$3

missing=()
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps file gzip desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ -n "${CI:-}" ]; then
        echo "FAIL: missing tools: ${missing[*]} (./dev installs them)"
        exit 1
    fi
    echo "SKIP: missing tools: ${missing[*]} (./dev test installs them)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

status=0
check() { # description, then a command that must succeed
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; status=1; fi
}

# The package, made in a folder of its own so that the build folder's package stays.
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
    echo "FAIL: cpack"
    cat "$work/cpack.log"
    exit 1
fi
arch=$(dpkg --print-architecture)
deb="$work/pkg/linkvex_${version}_${arch}.deb"
check "the package is named linkvex_${version}_${arch}.deb" test -f "$deb"
[ -f "$deb" ] || { ls -l "$work/pkg"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
check "its version is the build's" [ "$(field Version)" = "$version" ]
depends=$(field Depends)
for lib in libqt6widgets6 libqt6serialport6 libqt6network6 libc6; do
    check "it depends on $lib (from the libraries the programs use)" \
        grep -q "$lib" <<<"$depends"
done

# Into a scratch root: dpkg's own database there, the dependencies taken as given (they
# are the machine's).
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
force=(--force-depends)
[ "$(id -u)" -ne 0 ] && force+=(--force-not-root)
if ! PATH="$PATH:/usr/sbin:/sbin" dpkg --root="$root" --log="$work/dpkg.log" "${force[@]}" \
        -i "$deb" >"$work/dpkg.out" 2>&1; then
    echo "FAIL: dpkg -i"
    cat "$work/dpkg.out"
    exit 1
fi
check "dpkg lists it as installed" \
    grep -q "install ok installed" <(dpkg --root="$root" -s linkvex 2>/dev/null)

usr="$root/usr"
for f in bin/linkvex bin/linkvex-cli bin/linkvex-devsim \
         share/applications/com.linkvex.Linkvex.desktop \
         share/metainfo/com.linkvex.Linkvex.metainfo.xml \
         share/icons/hicolor/scalable/apps/com.linkvex.Linkvex.svg \
         share/man/man1/linkvex.1.gz share/man/man1/linkvex-cli.1.gz \
         share/doc/linkvex/copyright share/doc/linkvex/changelog.gz; do
    check "installed: /usr/$f" test -s "$usr/$f"
done
for size in 32 48 64 128 256; do
    png="$usr/share/icons/hicolor/${size}x${size}/apps/com.linkvex.Linkvex.png"
    check "the ${size}x${size} icon is a PNG of that size" \
        grep -q "PNG image data, $size x $size" <(file -b "$png")
done
check "the desktop entry is valid" \
    desktop-file-validate "$usr/share/applications/com.linkvex.Linkvex.desktop"
check "the AppStream metadata is valid" \
    appstreamcli validate --no-net "$usr/share/metainfo/com.linkvex.Linkvex.metainfo.xml"
check "the desktop entry starts the installed program" \
    grep -qx "Exec=linkvex" "$usr/share/applications/com.linkvex.Linkvex.desktop"
check "the manual pages are whole" gzip -t "$usr/share/man/man1/linkvex.1.gz" \
    "$usr/share/man/man1/linkvex-cli.1.gz" "$usr/share/man/man1/linkvex-devsim.1.gz"

# The installed programs, as a user would run them.
out=$("$usr/bin/linkvex-cli" --version 2>&1)
check "linkvex-cli --version prints \"linkvex-cli $version\"" [ "$out" = "linkvex-cli $version" ]
out=$("$usr/bin/linkvex-cli" validate "$edid" 2>&1)
rc=$?
check "linkvex-cli validate accepts a good EDID (exit $rc: $out)" \
    [ "$rc" -eq 0 -a "$out" = "$edid: OK" ]
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$usr/bin/linkvex" --version 2>&1)
check "linkvex --version without a display prints \"linkvex $version\"" \
    [ "$out" = "linkvex $version" ]

exit $status
