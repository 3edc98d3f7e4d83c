#!/usr/bin/env bash
# The Debian package as it is shipped: package_test.sh STEP BUILD_DIR
#   build     makes the .deb from the build tree with CPack into BUILD_DIR/package
#   contents  what it holds, its control files, and that its parts fit together
#   lintian   Debian's checker, apart from the overrides the package ships
#   unit      the service unit through systemd-analyze verify (skipped, 77, without it)
set -euo pipefail
step=$1 build=$2
out=$build/package
fail() { echo "FAIL: $*"; exit 1; }
deb() { ls "$out"/zampo_*.deb 2>/dev/null | head -1; }

case $step in
build)
  rm -rf "$out"
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 || { cat "$out.log"; fail "cpack"; }
  [ -n "$(deb)" ] || fail "no package in $out"
  echo "built $(deb)"
  ;;
contents)
  pkg=$(deb); tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
  dpkg-deb -c "$pkg" >"$tmp/list"
  for f in /usr/bin/zampo /usr/bin/zampo-gateway /usr/bin/zampo-posim /usr/bin/zampo-zamsim \
           /lib/systemd/system/zampo-gateway.service /etc/zampo/PO.ini \
           /usr/share/applications/zampo.desktop /usr/share/icons/hicolor/scalable/apps/zampo.svg \
           /usr/share/zampo/linkdefs.default /usr/share/doc/zampo/README.md \
           /usr/share/doc/zampo/changelog.gz /usr/share/lintian/overrides/zampo; do
    grep -q " \.$f\$" "$tmp/list" || fail "$f missing from the package"
  done
  ! grep -E 'test|bench|zampo-screens' "$tmp/list" || fail "test or benchmark files in the package"
  ! awk '$2 != "root/root"' "$tmp/list" | grep . || fail "files not owned by root"

  depends=$(dpkg-deb -f "$pkg" Depends)
  for dep in adduser libqt6core6 libqt6svg6 libsystemd0; do [[ $depends =~ (^|, )$dep ]] || fail "Depends: $depends"; done
  dpkg-deb -e "$pkg" "$tmp/control"
  [ "$(cat "$tmp/control/conffiles")" = /etc/zampo/PO.ini ] || fail "conffiles: $(cat "$tmp/control/conffiles")"
  for s in postinst prerm postrm; do [ -x "$tmp/control/$s" ] && sh -n "$tmp/control/$s" || fail "$s"; done

  # The parts must name each other right: the unit's program and user, the data
  # directory it may write, the desktop entry's program and icon.
  dpkg-deb -x "$pkg" "$tmp/root"
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
  # Stripped programs still run.
  "$tmp/root/usr/bin/zampo-posim" --help >/dev/null || fail "the packaged zampo-posim does not run"
  echo "package contents ok: $(wc -l <"$tmp/list") entries"
  ;;
lintian)
  lintian --fail-on error,warning --tag-display-limit 0 "$(deb)" || fail "lintian"
  echo "lintian clean"
  ;;
unit)
  command -v systemd-analyze >/dev/null || { echo "systemd-analyze not installed"; exit 77; }
  tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
  dpkg-deb -x "$(deb)" "$tmp/root"
  # verify wants ExecStart's program on this machine; the packaged one stands in.
  sed "s|^ExecStart=/|ExecStart=$tmp/root/|" "$tmp/root/lib/systemd/system/zampo-gateway.service" \
    >"$tmp/zampo-gateway.service"
  if ! report=$(systemd-analyze verify "$tmp/zampo-gateway.service" 2>&1) || [ -n "$report" ]; then
    echo "$report"; fail "systemd-analyze verify"
  fi
  echo "unit verified"
  ;;
*) fail "unknown step $step" ;;
esac
