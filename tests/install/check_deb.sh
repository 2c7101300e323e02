#!/usr/bin/env bash
# Builds the Debian package from the build with CPack, as `make deb` does,
# into a private folder, and checks its control data and contents: the
# dependencies dpkg-shlibdeps computed plus the declared ones, and the files
# in their places under the configured prefix.
# usage: check_deb.sh BUILD_DIR PREFIX WITH_HOST
set -uo pipefail
build=$1 prefix=$2 with_host=$3

work=$(mktemp -d /tmp/zelvo-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1
fi
debs=("$work"/zelvo_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { ls "$work"; echo "FAIL: no single zelvo_*.deb"; exit 1; }
deb=${debs[0]}
echo "built $(basename "$deb") ($(du -k "$deb" | cut -f1) kB)"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zelvo ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
# Declared ones, and some that only dpkg-shlibdeps can have found.
for dep in fonts-ipafont-gothic qt6-qpa-plugins libqt6sql6-sqlite libqt6webenginecore6-bin libc6 libqt6widgets6 libqt6webenginewidgets6 libxml2; do
  grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
if [ "$with_host" = 1 ]; then
  grep -Eq "(^|, )libwebkit2gtk-4.1-0( |,|$)" <<<"$depends" || fail "Depends lacks the WebKitGTK library: $depends"
  for dep in bubblewrap xdg-dbus-proxy; do
    grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep (WebKit's sandbox): $depends"
  done
fi
[ -n "$(field Description)" ] || fail "no Description"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in "$prefix/bin/zelvo" "$prefix/share/applications/zelvo.desktop" \
  "$prefix/share/icons/hicolor/48x48/apps/zelvo.png" "$prefix/share/icons/hicolor/scalable/apps/zelvo.svg" \
  "$prefix/share/man/man1/zelvo.1.gz"; do
  grep -qx ".$f" <<<"$contents" || fail "package lacks $f"
done
if [ "$with_host" = 1 ]; then
  grep -qx ".$prefix/libexec/zelvo/zelvo-webkit-host" <<<"$contents" || fail "package lacks the engine host"
fi

dpkg-deb -x "$deb" "$work/root"
file -b "$work/root$prefix/bin/zelvo" | grep -q 'not stripped' && fail "the packaged program is not stripped"

[ "$failures" -eq 0 ] || exit 1
echo "Debian package: ok"
