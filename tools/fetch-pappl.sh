#!/bin/sh
# Fetches the PAPPL source that the printer application is built from:
# Debian's source package pappl 1.3.1, through apt with a source list of
# its own (for the Debian mirror this machine is set up for), so the
# system's apt settings stay as they are. apt checks the package's .dsc
# against the mirror's signed index; the upstream tarball is then checked
# against the .dsc and against the checksum the project records. Debian
# carries no changes to PAPPL's code in 1.3.1-2, so the tarball is the
# whole of what it builds.
#
# Leaves third_party/pappl/dist/pappl_1.3.1.orig.tar.gz (and the .dsc).
set -eu
cd "$(dirname "$0")/.."
version=1.3.1
debian_version=1.3.1-2
dist=third_party/pappl/dist
tarball="$dist/pappl_$version.orig.tar.gz"
expected=$(awk '$2 == "pappl_1.3.1.orig.tar.gz" { print $1 }' third_party/pappl/SHA256SUMS)

if [ -f "$tarball" ] && echo "$expected  $tarball" | sha256sum -c --status; then
    exit 0
fi

# The mirror of the system's own Debian source list (deb822 or one-line).
mirror=$(sed -n 's/^URIs:[[:space:]]*\(http[^[:space:]]*debian\)\/*$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\(http[^[:space:]]*debian\)\/*[[:space:]].*/\2/p' \
    /etc/apt/sources.list 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
suite=bookworm

apt_dir="$(mktemp -d)"
trap 'rm -rf "$apt_dir"' EXIT
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" > "$apt_dir/sources.list"
apt_opts="-o Dir::Etc::SourceList=$apt_dir/sources.list -o Dir::Etc::SourceParts=/nonexistent \
 -o Dir::State::Lists=$apt_dir/lists -o Dir::Cache=$apt_dir/cache -o APT::Sandbox::User=root -q"
# shellcheck disable=SC2086
apt-get $apt_opts update >/dev/null
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
# --print-uris names each file of the source package with the checksum
# from the signed index; only the .dsc and the upstream tarball are needed.
# shellcheck disable=SC2086
(cd "$apt_dir" && apt-get $apt_opts --print-uris source "pappl=$debian_version") |
    awk -v q="'" '$1 ~ "^" q "http" && $2 !~ /debian\.tar/ { gsub(q, "", $1); print $1, $2, $4 }' > "$apt_dir/files"
[ -s "$apt_dir/files" ] || { echo "fetch-pappl: the mirror $mirror has no source package pappl $debian_version" >&2; exit 1; }
while read -r uri name sum; do
    # shellcheck disable=SC2086
    /usr/lib/apt/apt-helper $apt_opts download-file "$uri" "$dist/$name" "$sum" >/dev/null
done < "$apt_dir/files"
dsc_sum=$(sed -n '/^Checksums-Sha256:/,/^[A-Z]/p' "$dist/pappl_$debian_version.dsc" | awk '$3 == "pappl_1.3.1.orig.tar.gz" { print $1 }')
[ "$dsc_sum" = "$expected" ] || { echo "fetch-pappl: the .dsc names another tarball ($dsc_sum)" >&2; exit 1; }
echo "$expected  $tarball" | sha256sum -c --status || { echo "fetch-pappl: $tarball does not match its checksum" >&2; exit 1; }
echo "fetch-pappl: $tarball"
