#!/bin/sh
# install_test.sh tree|package BUILD_DIR VERSION
#   tree:    installs into a DESTDIR and checks the file list, the desktop entry and AppStream
#            data with their validators, the manual pages for groff warnings, and the installed
#            magazine's arguments (an argument it does not know must never open a window).
#            Both: the manual pages and --help name the same options and render lengths, and
#            every program and page carries the project's version.
#   package: makes the Debian package and checks its file list and dependencies, and that lintian
#            finds no error and no warning in it; under CI as
#            root it also installs it with apt-get, runs the installed programs, finds the
#            magazine's window under Xvfb with a window manager, checks its class, and removes
#            the package again.
set -u
mode="$1"
build="$2"
version="$3"
# checked_by VALIDATOR ARGS...: runs a validator over a file, or says that it is not installed.
checked_by() {
  command -v "$1" >/dev/null || { echo "$1 not installed: not checked by it"; return; }
  "$@" || fail "$*"
}
. "$(dirname "$0")/../support/real_program.sh"

# Every file the installation holds, relative to its prefix.
{ for size in 16 32 48 64 128 256; do echo "share/icons/hicolor/${size}x$size/apps/quellmark.png"; done
  printf '%s\n' bin/quellmark bin/quellmark-export bin/quellmark-render share/doc/quellmark/changelog.gz \
    share/doc/quellmark/copyright share/man/man1/quellmark-export.1.gz share/man/man1/quellmark-render.1.gz \
    share/man/man6/quellmark.6.gz share/applications/org.quellmark.quellmark.desktop \
    share/metainfo/org.quellmark.quellmark.metainfo.xml
} | LC_ALL=C sort >"$work/expected"

# check_arguments BINDIR: the magazine's own arguments. SDL's dummy video driver would let a
# started magazine run on unseen until the timeout, so status 2 proves it never started.
check_arguments() {
  out=$("$1/quellmark" --version) || fail "quellmark --version failed"
  [ "$out" = "quellmark $version" ] || fail "quellmark --version printed '$out'"
  "$1/quellmark" --help >"$work/help" || fail "quellmark --help failed"
  grep -q '^usage: quellmark \[--help | --version\]$' "$work/help" || fail "--help has no usage line"
  grep -q 'Page Up' "$work/help" || fail "--help does not list the controls"
  for args in "--bogus" "--help --version" "-h" "file"; do
    # shellcheck disable=SC2086
    SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 20 "$1/quellmark" $args \
      >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" = 2 ] || fail "quellmark $args: status $status, not 2"
    [ ! -s "$work/out" ] || fail "quellmark $args wrote to standard output"
    [ "$(wc -l <"$work/err")" = 1 ] || fail "quellmark $args: usage is not one line"
  done
  [ -w /dev/full ] && "$1/quellmark" --help >/dev/full 2>/dev/null &&
    fail "--help into a full disk reported success"
}

# check_documents BINDIR MANDIR: every option a program's --help names, and every longest length
# it offers ("0.02 to 48695"), is in its manual page; the tools print the project's version, and
# every page and the change log's latest entry carry it.
check_documents() {
  zcat "$2/../doc/quellmark/changelog.gz" | head -n 1 | grep -qF "quellmark ($version)" ||
    fail "the change log's latest entry is not version $version"
  for tool in quellmark-render quellmark-export; do
    out=$("$1/$tool" --version)
    [ "$out" = "$tool $version" ] || fail "$tool --version printed '$out', not '$tool $version'"
  done
  for cmd in quellmark "quellmark-render sid" "quellmark-render xm" quellmark-export; do
    zcat "$2"/man*/"${cmd%% *}".[16].gz | sed 's/\\-/-/g' >"$work/page"
    head -n 1 "$work/page" | grep -qF "\"The Quellmark $version\"" ||
      fail "the manual page of ${cmd%% *} does not carry version $version"
    # shellcheck disable=SC2086
    "$1"/$cmd --help >"$work/help" || fail "$cmd --help failed"
    for word in $(grep -o -e '--[a-z][a-z-]*' -e ' to [0-9][0-9]*' "$work/help" | sed 's/^ to //'); do
      grep -qwF -e "$word" "$work/page" || fail "$cmd --help names $word, its manual page does not"
    done
  done
}

case "$mode" in
tree)
  DESTDIR="$work/root" cmake --install "$build" --prefix /opt/qm >"$work/program.log" 2>&1 ||
    fail "cmake --install failed"
  (cd "$work/root/opt/qm" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/actual"
  diff "$work/expected" "$work/actual" >"$work/program.log" || fail "the installed files differ (- expected, + installed)"
  [ -z "$(find "$work/root" -path "$work/root/opt" -prune -o -type f -print)" ] ||
    fail "files installed outside DESTDIR/prefix"
  share="$work/root/opt/qm/share"
  checked_by desktop-file-validate "$share/applications/org.quellmark.quellmark.desktop"
  checked_by appstreamcli validate --no-net "$share/metainfo/org.quellmark.quellmark.metainfo.xml"
  grep -q '^StartupWMClass=quellmark$' "$share/applications/org.quellmark.quellmark.desktop" ||
    fail "the desktop entry does not name the window class quellmark"
  grep -q "<release version=\"$version\"" "$share/metainfo/org.quellmark.quellmark.metainfo.xml" ||
    fail "the AppStream data has no release $version"
  for page in "$share"/man/man*/*; do
    zcat "$page" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>"$work/warn"
    [ ! -s "$work/warn" ] || { cat "$work/warn"; fail "groff warns about $page"; }
  done
  check_arguments "$work/root/opt/qm/bin"
  check_documents "$work/root/opt/qm/bin" "$share/man"
  ;;
package)
  (cd "$build" && cpack -G DEB -B "$work/deb" >"$work/program.log" 2>&1) || fail "cpack failed"
  deb="$work/deb/quellmark_${version}_$(dpkg --print-architecture).deb"
  [ -f "$deb" ] || fail "no $deb"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | LC_ALL=C sort \
    >"$work/actual"
  diff "$work/expected" "$work/actual" >"$work/program.log" || fail "the package's files differ (- expected, + packaged)"
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "$depends" | grep 'libsdl2-2.0-0' | grep -q 'libc6' ||
    fail "the package's dependencies were not computed or leave out SDL2: $depends"
  dpkg-deb -x "$deb" "$work/x"
  check_arguments "$work/x/usr/bin"
  check_documents "$work/x/usr/bin" "$work/x/usr/share/man"
  checked_by lintian --fail-on error,warning "$deb"
  if [ "${CI:-}" = true ] && [ "$(id -u)" = 0 ]; then
    apt-get install -y "$deb" >"$work/program.log" 2>&1 || fail "apt-get install"
    [ "$(command -v quellmark)" = /usr/bin/quellmark ] || fail "quellmark is not on the PATH"
    quellmark --version && quellmark-render --version || fail "the installed programs do not run"
    if command -v Xvfb >/dev/null && command -v jwm >/dev/null; then
      start_x_server
      program=/usr/bin/quellmark
      start_program
      class=$(xprop -id "$wid" WM_CLASS)
      [ "$class" = 'WM_CLASS(STRING) = "quellmark", "quellmark"' ] ||
        fail "the installed magazine's window is of class $class, not quellmark"
      kill -KILL "$pid"
    fi
    apt-get remove -y quellmark >"$work/program.log" 2>&1 || fail "apt-get remove"
    while read -r f; do
      [ ! -e "/usr/$f" ] || fail "/usr/$f is left after apt-get remove"
    done <"$work/expected"
  fi
  ;;
*) fail "unknown mode $mode" ;;
esac
cleanup
echo "ok"
