#!/usr/bin/env bash
# The installed program, as a user gets it: installed into a DESTDIR and
# run with the build tree moved away, the desktop files validated, the
# .deb built, checked by lintian and unpacked into a working tree.
#   tests/install/install-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/paperlens-install-XXXXXX)
away="$build.away-$$"
restore() {
  [ -d "$away" ] && mv "$away" "$build"
  rm -rf "$work"
}
trap restore EXIT
failures=0
check() {  # check WHAT COMMAND...: runs it, says ok or FAILED
  local what=$1; shift
  if "$@" > "$work/last.log" 2>&1; then
    echo "ok      $what"
  else
    echo "FAILED  $what"; sed 's/^/        /' "$work/last.log"; failures=$((failures + 1))
  fi
}
page_text() { iconv -f UTF-16 -t UTF-8 "$1"; }

# What the checks open, made with the build's own tools while it is there.
export PAPERLENS_PREFIX="$work/prefix"
"$build/bin/mkfixture" demo "$work/world" "$PAPERLENS_PREFIX" --password '1234qwer!' > /dev/null
forms="$source_dir/viewer/resources/demo"
"$build/bin/paperlens-cli" receipt --xml "$forms/receipt.xml" --xsl "$forms/receipt.xsl" -o "$work/receipt.rcp"
echo | "$build/bin/paperlens-cli" seal --xml "$forms/residence.xml" --xsl "$forms/residence.xsl" \
  --signer-key "$work/world/issuer/signer.key" --signer-cert "$work/world/issuer/signer.der" \
  --recipient-cert "$work/world/users/hong/SignCert.der" --conf "$work/world/npkiconf.ini" \
  -o "$work/residence.kvx"
# A receipt whose stylesheet has a script: it needs the script module.
mkdir -p "$work/scripted"
printf '<form><name>홍길동</name></form>' > "$work/scripted/form.xml"
cat > "$work/scripted/form.xsl" <<'XSL'
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:user="urn:user">
  <msxsl:script language="JScript" implements-prefix="user">
    function greet(name) { return name + " 님의 접수증"; }
  </msxsl:script>
  <xsl:template match="/"><p><xsl:value-of select="user:greet(string(form/name))"/></p></xsl:template>
</xsl:stylesheet>
XSL
"$build/bin/paperlens-cli" receipt --xml "$work/scripted/form.xml" --xsl "$work/scripted/form.xsl" -o "$work/scripted.rcp"
DESTDIR="$work/root" cmake --install "$build" --prefix /usr > /dev/null
(cd "$build" && cpack -G DEB > "$work/cpack.log" 2>&1)
cp "$build"/paperlens_*_amd64.deb "$work/"
deb=$(ls "$work"/paperlens_*_amd64.deb)

mv "$build" "$away"
usr="$work/root/usr"
open_page() {  # open_page CLI FILE [ARGS...]: the page's text
  local cli=$1 file=$2; shift 2
  "$cli" open "$file" --out "$work/page.html" "$@" && page_text "$work/page.html"
}
check "installed CLI opens a receipt" sh -c "$(declare -f open_page page_text); \
  open_page '$usr/bin/paperlens-cli' '$work/receipt.rcp' | grep -q '민원 접수증'"
check "installed CLI runs a stylesheet's script" sh -c "$(declare -f open_page page_text); \
  open_page '$usr/bin/paperlens-cli' '$work/scripted.rcp' | grep -q '홍길동 님의 접수증'"
check "installed CLI opens many documents in one run" sh -c "'$usr/bin/paperlens-cli' open \
  '$work/receipt.rcp' '$work/scripted.rcp' --out-dir '$work/pages' && \
  iconv -f UTF-16 -t UTF-8 '$work/pages/scripted.html' | grep -q '님의 접수증'"
check "installed CLI opens an issued document" sh -c "$(declare -f open_page page_text); \
  echo '1234qwer!' | open_page '$usr/bin/paperlens-cli' '$work/residence.kvx' \
  --cert '$work/world/users/hong' --password-stdin | grep -q '주민등록표'"
check "installed CLI verifies its signer" sh -c "echo '1234qwer!' | '$usr/bin/paperlens-cli' \
  verify '$work/residence.kvx' --cert '$work/world/users/hong' --password-stdin --json \
  | grep -q '\"allowedBy\": \"cert\"'"
check "installed CLI prints its version" sh -c "'$usr/bin/paperlens-cli' --version | grep -qx 'paperlens-cli 1.0.0.12'"
check "desktop entry is valid" desktop-file-validate "$usr/share/applications/org.paperlens.Paperlens.desktop"
check "AppStream data is valid" appstreamcli validate --no-net "$usr/share/metainfo/org.paperlens.Paperlens.metainfo.xml"
check "MIME database takes the types" update-mime-database "$usr/share/mime"
check "a .kvx is an issued document" sh -c "XDG_DATA_DIRS='$usr/share:/usr/share' xdg-mime query filetype '$work/residence.kvx' | grep -qx application/x-paperlens-kvx"
check "a .rcp is a receipt" sh -c "XDG_DATA_DIRS='$usr/share:/usr/share' xdg-mime query filetype '$work/receipt.rcp' | grep -qx application/x-paperlens-rcp"
for page in paperlens paperlens-cli; do
  check "man page $page renders" sh -c "man -l '$usr/share/man/man1/$page.1.gz' 2>&1 | grep -q 'SYNOPSIS'"
done
check "icons for every size" bash -c "ls '$usr'/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/org.paperlens.Paperlens.png '$usr/share/icons/hicolor/scalable/apps/org.paperlens.Paperlens.svg'"

# A window started with a form shows it; stopped, it leaves nothing.
window() {  # window FILE WAIT_FOR: the installed window, offscreen, started on FILE
  local file=$1 wait_for=$2
  QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 XDG_RUNTIME_DIR="$work/runtime" \
    QT_LOGGING_RULES="qt.webenginecontext.info=false" "$usr/bin/paperlens" "$file" > "$work/window.log" 2>&1 &
  local pid=$! found="" shown=yes
  for _ in $(seq 1 300); do
    found=$(find "$PAPERLENS_PREFIX/workspace" -path "*run-*/$wait_for" 2>/dev/null | head -1)
    [ -n "$found" ] && break
    sleep 0.1
  done
  if [ "$wait_for" = temp.html ] && [ -n "$found" ]; then
    page_text "$found" | grep -q '민원 접수증' || shown=no
  fi
  kill -TERM "$pid"
  wait "$pid" || true
  echo "found: ${found:-nothing}, shown: $shown"
  [ -n "$found" ] && [ "$shown" = yes ] && ! find "$PAPERLENS_PREFIX/workspace" -name 'run-*' | grep -q .
}
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
check "window started with a receipt shows it, and SIGTERM removes its workspace" window "$work/receipt.rcp" temp.html
check "window started with an issued document shows the certificate dialog; SIGTERM removes the exported keys" \
  window "$work/residence.kvx" kvx/cn=1/SignPri.key

# The package.
check "package depends on the web engine and the fonts, recommends pcscd" sh -c "dpkg-deb -f '$deb' Depends | grep -q libqt6webenginecore6-bin && dpkg-deb -f '$deb' Depends | grep -q fonts-noto-cjk && dpkg-deb -f '$deb' Depends | grep -q libssl3 && dpkg-deb -f '$deb' Recommends | grep -q pcscd"
check "lintian finds no error" sh -c "lintian '$deb' 2>&1 | tee '$work/lintian.log'; ! grep -q '^E:' '$work/lintian.log'"
check "the unpacked package works" bash -c "$(declare -f open_page page_text); dpkg -x '$deb' '$work/deb' && \
  open_page '$work/deb/usr/bin/paperlens-cli' '$work/receipt.rcp' | grep -q '민원 접수증'"

echo "install checks: $failures failed"
[ "$failures" -eq 0 ]
