#!/usr/bin/env bash
# Builds the Debian package in a build folder configured with the window, checks its contents
# and lints it, installs it, runs the installed programs, validates the menu entry and the
# metainfo, renders the manual page, and removes the package again.
# usage: packaging/test_package.sh [BUILD_DIR]   (default build/release; needs root or sudo -n)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo -n)
export DEBIAN_FRONTEND=noninteractive

fail() {
  echo "test_package: $*" >&2
  exit 1
}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVELL_BUILD_GUI=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
version=$(sed -n 's/^#define KORVELL_VERSION "\(.*\)"$/\1/p' "$build/generated/korvell_version.h")
[ -n "$version" ] || fail "no version in $build/generated/korvell_version.h"
arch=$(dpkg --print-architecture)
deb="$build/korvell_${version}_${arch}.deb"
rm -f "$deb"
(cd "$build" && cpack -G DEB >/dev/null)
[ -f "$deb" ] || fail "cpack wrote no $deb"
echo "Package: $deb, $(stat -c %s "$deb") bytes"

# Contents: exactly these files, owned by root.
expected_files="./usr/bin/korvell
./usr/bin/korvell-cli
./usr/share/applications/korvell.desktop
./usr/share/bash-completion/completions/korvell-cli
./usr/share/doc/korvell/changelog.gz
./usr/share/doc/korvell/copyright
$(for size in 16 22 24 32 48 64 128; do echo "./usr/share/icons/hicolor/${size}x${size}/apps/korvell.png"; done)
./usr/share/man/man1/korvell-cli.1.gz
./usr/share/man/man1/korvell.1.gz
./usr/share/metainfo/korvell.metainfo.xml"
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | LC_ALL=C sort)
if [ "$files" != "$(LC_ALL=C sort <<<"$expected_files")" ]; then
  diff <(LC_ALL=C sort <<<"$expected_files") <(echo "$files") || true
  fail "the package's files are not the expected ones (diff: expected, found)"
fi
owners=$(awk '{print $2}' <<<"$listing" | sort -u)
[ "$owners" = "root/root" ] || fail "files not owned by root/root: $owners"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6 libqt6widgets6 libjpeg62-turbo libsndfile1 libdvdread8 \
  libpugixml1v5; do
  grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = mkvtoolnix ] || fail "Recommends is not mkvtoolnix"

# Lint: errors fail, warnings and the rest are listed.
lintian_log=$(mktemp)
scratch=$(mktemp -d)
cleanup() {
  rm -rf "$lintian_log" "$scratch"
  if dpkg-query -W -f='${Status}' korvell 2>/dev/null | grep -q "install ok installed"; then
    "${as_root[@]}" apt-get purge -y -qq korvell >/dev/null || true
  fi
}
trap cleanup EXIT
lintian_status=0
lintian --fail-on error --display-info "$deb" >"$lintian_log" 2>&1 || lintian_status=$?
cat "$lintian_log"
echo "lintian: $(grep -c '^E:' "$lintian_log" || true) errors, $(grep -c '^W:' "$lintian_log" || true) warnings"
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

# Install, use from /usr/bin, check the installed files.
"${as_root[@]}" apt-get install -y -qq "$(realpath "$deb")" >/dev/null
[ "$(command -v korvell-cli)" = /usr/bin/korvell-cli ] || fail "korvell-cli is not /usr/bin's"
[ "$(/usr/bin/korvell-cli --version)" = "korvell-cli $version" ] || fail "--version is not $version"
"$build/tools/make_sample_disc" "$scratch/disc" >/dev/null
read_output=$(/usr/bin/korvell-cli read --markup --no-details "$scratch/disc/HVDVD_TS/FEATURE_1.EVO")
for line in "[b]VC-1[/b] video stream 0 found!" "Continue on FEATURE_2.EVO" "Done."; do
  grep -qF "$line" <<<"$read_output" || fail "the installed korvell-cli read printed no '$line'"
done
# The window starts and stays up (on Qt's offscreen platform) until it is stopped.
window_status=0
HOME="$scratch" QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/korvell >/dev/null 2>&1 ||
  window_status=$?
[ "$window_status" -eq 124 ] || fail "the installed korvell ended with status $window_status"
desktop-file-validate /usr/share/applications/korvell.desktop
appstream_log=$(appstreamcli validate --no-net /usr/share/metainfo/korvell.metainfo.xml 2>&1) || true
echo "$appstream_log"
if grep -q '^E:' <<<"$appstream_log"; then fail "the metainfo has errors"; fi
completion=$(bash -c 'source /usr/share/bash-completion/completions/korvell-cli && complete -p korvell-cli')
[ "$completion" = "complete -F _korvell_cli korvell-cli" ] || fail "completion not registered"

# The manual page, through man's search path when dpkg installed it (an image may exclude
# /usr/share/man), else from the package.
if [ -f /usr/share/man/man1/korvell-cli.1.gz ]; then
  page=$(MANWIDTH=80 man -P cat korvell-cli 2>/dev/null)
else
  echo "dpkg left out /usr/share/man here: rendering the page from the package with man -l"
  dpkg-deb -x "$deb" "$scratch/extracted"
  page=$(MANWIDTH=80 man -P cat -l "$scratch/extracted/usr/share/man/man1/korvell-cli.1.gz")
fi
for text in "korvell-cli - report" "EXAMPLES" "--playlist [XPL|auto]" "Korvell $version"; do
  grep -qF -- "$text" <<<"$page" || fail "the manual page shows no '$text'"
done

# Remove it again.
"${as_root[@]}" apt-get purge -y -qq korvell >/dev/null
! dpkg-query -W -f='${Status}' korvell 2>/dev/null | grep -q "install ok installed" ||
  fail "korvell is still installed"
for file in /usr/bin/korvell /usr/bin/korvell-cli /usr/share/applications/korvell.desktop; do
  [ ! -e "$file" ] || fail "$file is left after the removal"
done
echo "Package test passed: built, linted, installed, used and removed korvell $version"
