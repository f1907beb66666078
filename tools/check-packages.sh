#!/bin/sh
# Builds the Debian packages from the tracked files (as a clean clone has
# them), checks them with lintian, installs them, prints the sample PDF
# through the installed filter and PPD with cupsfilter and a photo through
# the installed printer application, decoding both with the installed
# preview (debian/tests/installed, the packages' autopkgtest), then purges
# the packages and checks that nothing of them is left.
set -eu
cd "$(dirname "$0")/.."
SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
./tools/install-deps.sh debhelper dpkg-dev fakeroot lintian >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
    echo "check-packages: $*" >&2
    exit 1
}
packages="printer-driver-quorvant quorvant-printer-app quorvant-tools"

echo "== building the packages"
mkdir "$work/src"
git ls-files -z | xargs -0 tar -cf - | tar -xf - -C "$work/src"
# The PAPPL source the install script fetched (not tracked: Debian's own).
cp -r third_party/pappl/dist "$work/src/third_party/pappl/"
# Built with Debian's flags, the debug information cut to line tables for
# the check's time: the packages hold the same files, with smaller debug symbols.
(cd "$work/src" && DEB_CFLAGS_APPEND=-g1 DEB_CXXFLAGS_APPEND=-g1 dpkg-buildpackage -us -uc -b -j"$(nproc)") \
    > "$work/build.log" 2>&1 ||
    { tail -n 40 "$work/build.log"; fail "dpkg-buildpackage failed"; }
debs=""
for p in $packages; do
    for f in "$work/${p}_"*"_$(dpkg --print-architecture).deb"; do debs="$debs $f"; done
done

echo "== lintian"
# Root runs lintian here (CI); its note about that is not a finding.
lintian --fail-on error,warning "$work"/quorvant_*.changes 2>&1 | grep -v "running with root privileges" || true
lintian --fail-on error,warning "$work"/quorvant_*.changes >/dev/null 2>&1 || fail "lintian reports errors or warnings"

echo "== installing"
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $debs >/dev/null
for deb in $debs; do dpkg-deb -c "$deb"; done > "$work/contents"
for page in man7/quorvant.7 man8/quorvant-printer-app.8 man1/quorvant-preview.1 man1/quorvant-virtual-printer.1; do
    grep -q "usr/share/man/$page.gz" "$work/contents" || fail "no manual page $page"
done

echo "== the installed packages' own tests (debian/tests), as autopkgtest runs them"
mkdir "$work/autopkgtest"
AUTOPKGTEST_TMP="$work/autopkgtest" sh debian/tests/installed || fail "the installed packages' tests failed"
# The files the packages install for auto-adding USB printers.
for f in lib/systemd/system/quorvant-printer-app-autoadd.service lib/udev/rules.d/60-quorvant-printer-app.rules; do
    grep -q "\./$f\$" "$work/contents" || fail "no $f in the packages"
done

echo "== purging"
files=$(awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' "$work/contents")
# shellcheck disable=SC2086
$SUDO apt-get purge -y $packages >/dev/null
for p in $packages; do
    ! dpkg -s "$p" >/dev/null 2>&1 || fail "$p is still known to dpkg"
done
for f in $files /var/lib/quorvant-printer-app /var/spool/quorvant-printer-app; do
    [ ! -e "$f" ] || fail "$f is left after the purge"
done
echo "check-packages: ok"
