#!/usr/bin/env bash
# Installs the build and test prerequisites that are missing. Quiet and quick when all are
# there; runs `apt-get update` once, and only when something has to be installed.
set -euo pipefail

packages=(
  cmake g++ make python3
  googletest libgtest-dev libgmock-dev clang-format
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 binutils-mingw-w64
  wine wine64 xvfb xdotool imagemagick
  python3-pil fonts-liberation2
  cups printer-driver-cups-pdf poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
