#!/bin/sh
# Installs the Debian packages the build and tests need, when missing.
# Run as root (or through sudo); otherwise prints what to run.
set -e
PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev python3 googletest libbenchmark-dev \
libxml2-dev libcurl4-openssl-dev locales g++-mingw-w64-x86-64-posix wine wine64 \
wixl msitools osslsigncode zip openssl"

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" != 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    SUDO=sudo
  else
    echo "setup-deps: missing packages:$missing" >&2
    echo "setup-deps: run as root: apt-get install -y$missing" >&2
    exit 1
  fi
fi
echo "setup-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || echo "setup-deps: apt-get update failed; trying the cached package lists" >&2
# wine64 alone runs the 64-bit product; no i386 architecture is added.
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
