#!/usr/bin/env bash
# The Debian packages as they are shipped: package_test.sh STEP BUILD_DIR
#   build     makes both .debs from the build tree with CPack into BUILD_DIR/package
#   contents  what they hold, their control files, and that their parts fit together
#   lintian   Debian's checker, with no overrides (errors and warnings fail)
#   unit      the service unit through systemd-analyze verify (skipped, 77, without it)
#   cli       each packaged program's --help, --version and a wrong argument
set -euo pipefail
step=$1 build=$2
out=$build/package
fail() { echo "FAIL: $*"; exit 1; }
deb() { ls "$out"/zampo_*.deb 2>/dev/null | head -1; }          # the window
gwdeb() { ls "$out"/zampo-gateway_*.deb 2>/dev/null | head -1; }  # the service

case $step in
build)
  rm -rf "$out"
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 || { cat "$out.log"; fail "cpack"; }
  [ -n "$(deb)" ] && [ -n "$(gwdeb)" ] || fail "not both packages in $out: $(ls "$out")"
  echo "built $(gwdeb) $(deb)"
  ;;
contents)
  tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
  gw=$(gwdeb) win=$(deb)
  dpkg-deb -c "$gw" >"$tmp/gw.list"
  dpkg-deb -c "$win" >"$tmp/win.list"
  has() { grep -q " \.$2\$" "$tmp/$1.list" || fail "$2 missing from the $1 package"; }
  for f in /usr/bin/zampo-gateway /usr/bin/zampo-posim /usr/bin/zampo-zamsim \
           /lib/systemd/system/zampo-gateway.service /etc/zampo/PO.ini /usr/share/zampo/linkdefs.default \
           /usr/share/doc/zampo-gateway/README.md /usr/share/doc/zampo-gateway/changelog.gz \
           /usr/share/doc/zampo-gateway/copyright /usr/share/man/man1/zampo-gateway.1.gz \
           /usr/share/man/man1/zampo-posim.1.gz /usr/share/man/man1/zampo-zamsim.1.gz \
           /usr/lib/zampo/libssl.so /usr/lib/zampo/libcrypto.so; do has gw "$f"; done
  for f in /usr/bin/zampo /usr/share/applications/zampo.desktop /usr/share/icons/hicolor/scalable/apps/zampo.svg \
           /usr/share/doc/zampo/changelog.gz /usr/share/doc/zampo/copyright /usr/share/man/man1/zampo.1.gz; do
    has win "$f"
  done
  # Each file in one package only: the two are installed side by side.
  dup=$(cat "$tmp/gw.list" "$tmp/win.list" | awk '$1 !~ /^d/ {print $6}' | sort | uniq -d)
  [ -z "$dup" ] || fail "in both packages: $dup"
  ! grep -E 'test|bench|zampo-screens|lintian' "$tmp/gw.list" "$tmp/win.list" || fail "test, benchmark or override files"
  ! awk '$2 != "root/root"' "$tmp/gw.list" "$tmp/win.list" | grep . || fail "files not owned by root"

  # The service's package brings no desktop: no Qt Gui or Widgets, no X11, nothing of
  # the window's SVG plugin, in its own dependencies or anything they pull in.
  gwdeps=$(dpkg-deb -f "$gw" Depends)
  for dep in adduser libssl3 libqt6core6 libqt6network6 libsystemd0 libcivetweb1; do [[ $gwdeps =~ (^|, )$dep ]] || fail "zampo-gateway Depends: $gwdeps"; done
  names=$(echo "$gwdeps" | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g' | grep .)
  closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
            --no-enhances $names 2>/dev/null | grep -v '^ ' | sort -u)
  [ -n "$closure" ] || fail "apt-cache knows none of: $names"
  ! echo "$closure" | grep -E '^(libqt6gui|libqt6widgets|libqt6svg|libx11-|libxcb|libgl1|libglx|libegl|libwayland|qt6-qpa|libxkbcommon|libfontconfig|libfreetype)' \
    || fail "zampo-gateway pulls in a desktop library"
  windeps=$(dpkg-deb -f "$win" Depends)
  version=$(dpkg-deb -f "$gw" Version)
  for dep in "zampo-gateway (= $version)" libqt6widgets6 libqt6gui6 libqt6svg6; do
    [[ $windeps =~ (^|, )"$dep" ]] || fail "zampo Depends: $windeps"
  done
  # An upgrade from the one package of 1.0 hands PO.ini and the programs over.
  for field in Replaces Breaks; do
    [[ $(dpkg-deb -f "$gw" $field) =~ ^zampo\ \(\<\<\ 1\.1 ]] || fail "zampo-gateway $field: $(dpkg-deb -f "$gw" $field)"
  done

  dpkg-deb -e "$gw" "$tmp/control"
  [ "$(cat "$tmp/control/conffiles")" = /etc/zampo/PO.ini ] || fail "conffiles: $(cat "$tmp/control/conffiles")"
  for s in postinst prerm postrm; do [ -x "$tmp/control/$s" ] && sh -n "$tmp/control/$s" || fail "$s"; done
  dpkg-deb -e "$win" "$tmp/wincontrol"
  [ ! -e "$tmp/wincontrol/conffiles" ] || fail "the window's package has conffiles"

  # The parts must name each other right: the unit's program and user, the data
  # directory it may write, the desktop entry's program and icon.
  dpkg-deb -x "$gw" "$tmp/root"
  dpkg-deb -x "$win" "$tmp/root"
  grep -q "^License: MIT" "$tmp/root/usr/share/doc/zampo-gateway/copyright" || fail "copyright names no licence"
  unit=$tmp/root/lib/systemd/system/zampo-gateway.service
  exe=$(sed -n 's/^ExecStart=//p' "$unit")
  [ -x "$tmp/root$exe" ] || fail "ExecStart=$exe is not in the package"
  user=$(sed -n 's/^User=//p' "$unit")
  grep -q "adduser --system .* $user\$" "$tmp/control/postinst" || fail "postinst does not create user $user"
  datapath=$(sed -n 's/^datapath=//p' "$tmp/root/etc/zampo/PO.ini")
  writable=$(sed -n 's/^ReadWritePaths=//p' "$unit")
  case "$datapath/" in "$writable"/*) ;; *) fail "datapath $datapath outside ReadWritePaths=$writable" ;; esac
  grep -q "^ *for dir in.* $datapath\b" "$tmp/control/postinst" || fail "postinst does not create $datapath"
  desktop=$tmp/root/usr/share/applications/zampo.desktop
  [ -x "$tmp/root/usr/bin/$(sed -n 's/^Exec=//p' "$desktop")" ] || fail "desktop entry Exec"
  [ -f "$tmp/root/usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$desktop").svg" ] || fail "desktop Icon"
  echo "package contents ok: $(cat "$tmp/gw.list" "$tmp/win.list" | wc -l) entries"
  ;;
lintian)
  # No overrides: an error or warning about either package fails.
  lintian --fail-on error,warning --tag-display-limit 0 "$(gwdeb)" "$(deb)" || fail "lintian"
  echo "lintian clean"
  ;;
unit)
  command -v systemd-analyze >/dev/null || { echo "systemd-analyze not installed"; exit 77; }
  tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
  dpkg-deb -x "$(gwdeb)" "$tmp/root"
  # verify wants ExecStart's program on this machine; the packaged one stands in.
  sed "s|^ExecStart=/|ExecStart=$tmp/root/|" "$tmp/root/lib/systemd/system/zampo-gateway.service" \
    >"$tmp/zampo-gateway.service"
  if ! report=$(systemd-analyze verify "$tmp/zampo-gateway.service" 2>&1) || [ -n "$report" ]; then
    echo "$report"; fail "systemd-analyze verify"
  fi
  echo "unit verified"
  ;;
cli)
  # The stripped programs as packaged, in an empty directory with an empty HOME and
  # runtime directory: neither --help, --version nor a mistake may make a file there.
  tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
  dpkg-deb -x "$(gwdeb)" "$tmp/root"
  dpkg-deb -x "$(deb)" "$tmp/root"
  mkdir "$tmp/home" "$tmp/run" "$tmp/cwd"
  for program in zampo zampo-gateway zampo-posim zampo-zamsim; do
    exe=$tmp/root/usr/bin/$program
    try() {  # expected-status args...
      local want=$1; shift
      (cd "$tmp/cwd" && HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run TMPDIR=$tmp/run QT_QPA_PLATFORM=offscreen \
        timeout 10 "$exe" "$@" >"$tmp/out" 2>"$tmp/err") && rc=0 || rc=$?
      [ "$rc" = "$want" ] || { cat "$tmp/out" "$tmp/err"; fail "$program $*: exit $rc, not $want"; }
    }
    try 0 --help
    grep -q "^Usage: $program" "$tmp/out" && [ ! -s "$tmp/err" ] || fail "$program --help: $(cat "$tmp/out" "$tmp/err")"
    try 0 --version
    grep -qx "$program [0-9.]*" "$tmp/out" || fail "$program --version: $(cat "$tmp/out")"
    for wrong in --bogus-option stray -x "--help=1"; do
      try 2 "$wrong"
      [ ! -s "$tmp/out" ] && grep -q "^Usage: $program" "$tmp/err" || fail "$program $wrong: $(cat "$tmp/out" "$tmp/err")"
    done
    left=$(find "$tmp/home" "$tmp/run" "$tmp/cwd" -mindepth 1)
    [ -z "$left" ] || fail "$program left files: $left"
  done
  echo "command lines ok"
  ;;
*) fail "unknown step $step" ;;
esac
