#!/bin/sh
# Installs the Debian packages the build and the tests need when they are
# missing. As root it installs them; otherwise it prints the command and stops.
set -e
BUILD_PACKAGES="cmake g++ make pkg-config libtinyxml-dev libsquish-dev libgtest-dev"
TEST_PACKAGES="libxml2-utils python3 python3-collada python3-lxml assimp-utils imagemagick parallel blender opencollada-tools"
# The Windows cross build (apt-get source and dpkg-source fetch and unpack the
# libraries' Debian sources) and Wine to run its tests.
WINDOWS_PACKAGES="g++-mingw-w64-x86-64 dpkg-dev"
WINE_PACKAGES="wine wine64"
want="$BUILD_PACKAGES"
[ "${1:-}" = "windows" ] && want="$BUILD_PACKAGES $WINDOWS_PACKAGES"
[ "${1:-}" = "test" ] && want="$BUILD_PACKAGES $TEST_PACKAGES $WINDOWS_PACKAGES $WINE_PACKAGES"
missing=""
for p in $want; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = "0" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
else
  echo "Missing Debian packages:$missing"
  echo "Install them with: sudo apt-get install$missing"
  exit 1
fi
