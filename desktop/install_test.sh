#!/bin/sh
# Installs the build into a temporary DESTDIR under /usr and checks the layout: the three
# programs in bin, the editor pages under share/zu/HTMLFiles, the icon and the menu entry. The
# installed programs answer --version / --help without a display, and the installed zuctl edit
# serves its pages from the share folder (nothing of the build folder is beside it).
# usage: install_test.sh BUILD_DIR
set -eu
build=$1
root=$(mktemp -d /tmp/zu-install-test.XXXXXX)
editor=""
cleanup() {
  if [ -n "$editor" ]; then kill "$editor" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/usr"
for f in bin/zu bin/zuctl bin/zu-mainunit share/zu/HTMLFiles/hoshu.html \
         share/zu/HTMLFiles/hoshu_Regulation.html share/zu/HTMLFiles/common \
         share/icons/hicolor/scalable/apps/zu.svg share/applications/zu.desktop; do
  [ -e "$usr/$f" ] || fail "$f is not installed"
done
for p in zu zuctl zu-mainunit; do [ -x "$usr/bin/$p" ] || fail "bin/$p is not executable"; done
grep -q '^Exec=zu$' "$usr/share/applications/zu.desktop" || fail "the menu entry does not start zu"
grep -q '^Icon=zu$' "$usr/share/applications/zu.desktop" || fail "the menu entry has no icon"

# No display is needed for these.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/zu" --version) || fail "zu --version"
case "$version" in "zu "[0-9]*) ;; *) fail "zu --version printed '$version'" ;; esac
env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/zu" --help | grep -q '^usage: zu' || fail "zu --help"
"$usr/bin/zuctl" --help | grep -q '^usage: zuctl' || fail "zuctl --help"
"$usr/bin/zu-mainunit" --help >/dev/null || fail "zu-mainunit --help"

# The installed editor serves the installed pages, whatever the current directory is.
mkfifo "$root/in"
cd /
"$usr/bin/zuctl" edit phonebook "$root/book.zud8" --no-browser --port 0 <"$root/in" >"$root/out" &
editor=$!
exec 3>"$root/in"
url=""
for _ in $(seq 1 100); do
  url=$(head -n 1 "$root/out" 2>/dev/null || true)
  [ -n "$url" ] && break
  sleep 0.1
done
[ -n "$url" ] || fail "the installed zuctl edit printed no URL"
curl -sf "${url}hoshu.html" -o "$root/page" || fail "the installed editor did not serve hoshu.html"
cmp -s "$root/page" "$usr/share/zu/HTMLFiles/hoshu.html" || fail "hoshu.html is not the installed page"
echo >&3
exec 3>&-
wait "$editor" || fail "zuctl edit did not end cleanly"
editor=""
echo "install layout ok"
