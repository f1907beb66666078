#!/bin/sh
# Builds the Debian packages from the tracked files (as a clean clone has
# them), checks them with lintian, installs them, prints the sample PDF
# through the installed filter and PPD with cupsfilter and a photo through
# the installed printer application, decodes both with the installed
# preview, then purges the packages and checks that nothing of them is left.
set -eu
cd "$(dirname "$0")/.."
SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
./tools/install-deps.sh debhelper dpkg-dev fakeroot lintian >/dev/null

. ./tools/app-server.sh
work="$(mktemp -d)"
trap 'stop_app_server; rm -rf "$work"' EXIT
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
(cd "$work/src" && dpkg-buildpackage -us -uc -b -j"$(nproc)") > "$work/build.log" 2>&1 ||
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
for f in /usr/lib/cups/filter/quorvant /usr/sbin/quorvant-printer-app /usr/bin/quorvant-preview \
    /usr/bin/quorvant-virtual-printer; do
    [ -x "$f" ] || fail "$f is not installed"
done
for deb in $debs; do dpkg-deb -c "$deb"; done > "$work/contents"
# What lpinfo -m shows, asked of CUPS's driver lister directly (no scheduler).
driverd() {
    CUPS_CACHEDIR="$work/driverd" "$(cups-config --serverbin)/daemon/cups-driverd" list 1 0 "$1" 2>/dev/null |
        grep -a -o "quorvant/qv[a-z0-9]*\.ppd"
}
listed=$(driverd "" | sort -u | wc -l)
# One application driver per block of the driver file, and one PPD per
# driver and per known printer (tests check both against the tables).
drivers=$(grep -c '^ *PCFileName ' drv/quorvant.drv)
ppds=$(grep -c "/model/quorvant/qv[a-z0-9]*\.ppd$" "$work/contents" || true)
[ "$ppds" -gt "$drivers" ] || fail "the package holds $ppds PPDs for $drivers drivers and the known printers"
[ "$listed" -eq "$ppds" ] || fail "CUPS's driver listing shows $listed of the $ppds PPDs"
# A known printer's PPD is the first CUPS offers for its device ID (the
# generic PPDs' IDs name a command set alone).
for ppd in /usr/share/cups/model/quorvant/*.ppd; do
    id=$(sed -n 's/^\*1284DeviceID: "\(.*\)"$/\1/p' "$ppd")
    case "$id" in "" | CMD:*) continue ;; esac
    [ "$(driverd "ppd-device-id='$id'" | head -n 1)" = "quorvant/$(basename "$ppd")" ] ||
        fail "CUPS does not offer $ppd first for its device ID $id"
done
for page in man7/quorvant.7 man8/quorvant-printer-app.8 man1/quorvant-preview.1 man1/quorvant-virtual-printer.1; do
    grep -q "usr/share/man/$page.gz" "$work/contents" || fail "no manual page $page"
done

echo "== the installed filter through cupsfilter"
cupsfilter -p /usr/share/cups/model/quorvant/qvtspl.ppd -m printer/check -e -o Darkness=8 \
    samples/sample-label.pdf > "$work/filter.prn" 2> "$work/cupsfilter.log" ||
    { cat "$work/cupsfilter.log"; fail "cupsfilter failed"; }
/usr/bin/quorvant-preview "$work/filter.prn" | tee "$work/filter.txt" | tail -n 2
grep -q "^Page 1: 832 x 1218 dots" "$work/filter.txt" || fail "the filter's label did not decode as a 4 x 6 in page"
grep -q "density 8" "$work/filter.txt" || fail "the filter's label lost its darkness"

echo "== the installed printer application"
app=/usr/sbin/quorvant-printer-app
mkdir "$work/app"
start_app_server $app "$work/app" || fail "the application did not start"
[ "$($app drivers | wc -l)" -eq "$drivers" ] || fail "the application does not list its $drivers drivers"
: > "$work/app/receipts.prn"
$app add -d receipts -v "file://$work/app/receipts.prn" -m escpos_80mm
$app submit -d receipts samples/sample-photo.jpg >/dev/null
i=0
until $app jobs -d receipts | grep -q "completed\|aborted"; do
    i=$((i + 1))
    [ $i -lt 100 ] || fail "the job did not end"
    sleep 0.1
done
$app jobs -d receipts | grep -q completed || fail "the application's job did not complete"
/usr/bin/quorvant-preview "$work/app/receipts.prn" | tee "$work/app.txt" | tail -n 2
grep -q "^Page 1: 576 x 360 dots" "$work/app.txt" || fail "the application's receipt did not decode as a 576 x 360 photo"
grep -q "full cuts 1" "$work/app.txt" || fail "the receipt was not cut"
stop_app_server

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
