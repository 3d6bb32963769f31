#!/bin/sh
# Installs the Debian packages the build and the tests need when they are
# missing. As root it installs them; otherwise it prints the command and stops.
# For the tests it also installs the Khronos glTF validator from npm into
# build/node (inside the project, nothing global).
set -e
BUILD_PACKAGES="cmake g++ make pkg-config libtinyxml-dev libsquish-dev libgtest-dev libpng-dev rapidjson-dev libpugixml-dev"
TEST_PACKAGES="libxml2-utils python3 python3-collada python3-lxml assimp-utils imagemagick parallel blender opencollada-tools gltfpack"
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
# node and npm may come from elsewhere than Debian: only their commands count.
if [ "${1:-}" = "test" ]; then
  command -v node >/dev/null 2>&1 || missing="$missing nodejs"
  command -v npm >/dev/null 2>&1 || missing="$missing npm"
fi
if [ -z "$missing" ]; then
  :
elif [ "$(id -u)" = "0" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $missing >/dev/null
else
  echo "Missing Debian packages:$missing"
  echo "Install them with: sudo apt-get install$missing"
  exit 1
fi

VALIDATOR_VERSION=2.0.0-dev.3.10
if [ "${1:-}" = "test" ] && [ ! -f build/node/node_modules/gltf-validator/package.json ]; then
  echo "Installing gltf-validator $VALIDATOR_VERSION into build/node"
  mkdir -p build/node
  npm install --prefix build/node --no-audit --no-fund --no-save --silent "gltf-validator@$VALIDATOR_VERSION" >/dev/null
fi
