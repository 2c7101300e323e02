#!/usr/bin/env bash
# Installs the build into a private DESTDIR and checks the installed tree:
# program, engine host and Qt WebEngine library, launcher entry, icons and manual pages in their places,
# and nothing of the build (tests, benchmarks, libraries) beside them.
# usage: check_install_tree.sh BUILD_DIR PREFIX BINDIR LIBEXECDIR DATADIR MANDIR WITH_HOST
set -uo pipefail
build=$1 prefix=$2 bindir=$3 libexecdir=$4 datadir=$5 mandir=$6 with_host=$7

work=$(mktemp -d /tmp/zelvo-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! DESTDIR="$work" cmake --install "$build" >"$work.log" 2>&1; then
  cat "$work.log"; rm -f "$work.log"; echo "FAIL: cmake --install"; exit 1
fi
rm -f "$work.log"
root=$work

prog=$root$bindir/zelvo
[ -x "$prog" ] || fail "no program at $bindir/zelvo"
file -b "$prog" | grep -q '^ELF' || fail "$bindir/zelvo is not an ELF program"
host=$root$libexecdir/zelvo/zelvo-webkit-host
if [ "$with_host" = 1 ]; then
  [ -x "$host" ] || fail "no engine host at $libexecdir/zelvo/zelvo-webkit-host"
else
  echo "note: the build has no engine host target; not checked"
fi
lib=$root$libexecdir/zelvo/zelvo-webengine.so
file -b "$lib" 2>/dev/null | grep -q 'ELF.*shared object' || fail "no Qt WebEngine library at $libexecdir/zelvo/zelvo-webengine.so"

desktop=$root$datadir/applications/zelvo.desktop
if [ -f "$desktop" ]; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate says: $out"
  grep -qx 'Categories=Network;WebBrowser;' "$desktop" || fail "Categories"
  grep -qx 'MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;' "$desktop" || fail "MimeType"
  grep -q '^Name\[ja\]=.' "$desktop" || fail "no Japanese name"
  grep -q '^GenericName\[ja\]=.' "$desktop" || fail "no Japanese generic name"
  # The launcher's command must name the installed program.
  cmd=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  case $cmd in
    /*) [ "$cmd" = "$bindir/zelvo" ] || fail "Exec names $cmd" ;;
    *) [ "$bindir/$cmd" = "$bindir/zelvo" ] || fail "Exec names $cmd" ;;
  esac
  icon=$(sed -n 's/^Icon=//p' "$desktop")
else
  fail "no launcher entry at $datadir/applications/zelvo.desktop"
  icon=zelvo
fi

for size in 16 32 48 64 128 256; do
  png=$root$datadir/icons/hicolor/${size}x${size}/apps/$icon.png
  if [ -f "$png" ]; then
    file -b "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not ${size}x${size}: $(file -b "$png")"
  else
    fail "no ${size}x${size} icon"
  fi
done
svg=$root$datadir/icons/hicolor/scalable/apps/$icon.svg
[ -f "$svg" ] && grep -q '<svg' "$svg" || fail "no scalable icon"

for page in "$mandir/man1/zelvo.1.gz" "$mandir/ja/man1/zelvo.1.gz"; do
  if [ -f "$root$page" ]; then
    gzip -dc "$root$page" | head -1 | grep -q '^\.TH ZELVO 1 ' || fail "$page is no manual page"
    text=$(gzip -dc "$root$page" | groff -k -man -Tutf8 -ww -z 2>&1 | grep -v "cannot adjust\|can't break")
    [ -z "$text" ] || fail "groff on $page: $text"
  else
    fail "no manual page $page"
  fi
done

# Nothing else of the build may come along.
while IFS= read -r f; do
  case ${f#"$root"} in
    "$bindir/zelvo" | "$libexecdir/zelvo/"* | "$datadir/applications/zelvo.desktop" | \
      "$datadir/icons/hicolor/"*"/apps/zelvo."* | "$mandir/man1/zelvo.1.gz" | "$mandir/ja/man1/zelvo.1.gz") ;;
    *) fail "unexpected file installed: ${f#"$root"}" ;;
  esac
done < <(find "$root" -type f -o -type l)

[ "$failures" -eq 0 ] || exit 1
echo "installed tree under $prefix: ok"
