#!/bin/sh
# Fetches Debian's source packages of the libraries the Windows build links
# (the versions the Linux build uses, Debian's patches applied) into FOLDER:
# FOLDER/tinyxml, FOLDER/libsquish, FOLDER/libpng1.6, FOLDER/zlib,
# FOLDER/rapidjson and FOLDER/pugixml. apt's own client fetches them and checks
# their signatures, through a private source list and state folder so the
# machine's apt configuration stays untouched. A second run with the same
# versions does nothing.
set -e
DEST=${1:?usage: debian-sources.sh FOLDER}
mkdir -p "$DEST"
DEST=$(cd "$DEST" && pwd)

# "package:source package" pairs: the -dev package the Linux build uses names
# the source package and its version.
PAIRS="libtinyxml-dev:tinyxml libsquish-dev:libsquish libpng-dev:libpng1.6 zlib1g-dev:zlib rapidjson-dev:rapidjson
  libpugixml-dev:pugixml"
want=""
for pair in $PAIRS; do
  dev=${pair%%:*}
  version=$(dpkg-query -W -f='${source:Version}' "$dev" 2>/dev/null) || {
    echo "debian-sources.sh: $dev is not installed (run scripts/deps.sh)" >&2; exit 1; }
  want="$want ${pair#*:}=$version"
done
if [ -f "$DEST/versions" ] && [ "$(cat "$DEST/versions")" = "$want" ]; then exit 0; fi

command -v dpkg-source >/dev/null || { echo "debian-sources.sh: dpkg-source missing (package dpkg-dev)" >&2; exit 1; }
APT="$DEST/apt"
rm -rf "$APT"
mkdir -p "$APT/sources" "$APT/lists/partial" "$APT/cache/archives/partial"
# The same archives and suites as the machine's binary packages, as deb-src.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  sed 's/^Types:.*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$APT/sources/vorda.sources"
elif [ -f /etc/apt/sources.list ]; then
  sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list > "$APT/sources/vorda.list"
else
  echo "debian-sources.sh: no Debian archive named in /etc/apt" >&2; exit 1
fi
LOG="$DEST/fetch.log"
: > "$LOG"
fail() { cat "$LOG" >&2; echo "debian-sources.sh: $1" >&2; exit 1; }
set -- -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$APT/sources" \
       -o "Dir::State::Lists=$APT/lists" -o "Dir::Cache=$APT/cache" -q
echo "Fetching Debian sources:$want"
apt-get "$@" update >>"$LOG" 2>&1 || fail "apt-get update failed"
cd "$DEST"
for item in $want; do
  name=${item%%=*}
  rm -rf "$name" "${name}"_*
  # apt checks the archive's signature and the files' checksums against it.
  # A mirror may lack the source of a security update: the newest version of
  # the package's source it does hold is taken then.
  if ! apt-get "$@" source --download-only "$item" >>"$LOG" 2>&1; then
    fetched=""
    for version in $(apt-cache "$@" showsrc "$name" 2>>"$LOG" | sed -n 's/^Version: //p' | sort -r -V); do
      rm -f "${name}"_*
      if apt-get "$@" source --download-only "$name=$version" >>"$LOG" 2>&1; then fetched=$version; break; fi
    done
    [ -n "$fetched" ] || fail "could not fetch the source of $item"
    echo "Using $name $fetched: the source of ${item#*=} is not on the mirror"
  fi
  dsc=$(ls "${name}"_*.dsc | head -n 1)
  # Unpacks the upstream source and applies Debian's patches.
  dpkg-source -x "$dsc" "$name" >>"$LOG" 2>&1 || fail "could not unpack $dsc"
done
rm -rf "$APT"
echo "$want" > versions
