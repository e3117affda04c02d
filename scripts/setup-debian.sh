#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12; quick when all is present.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev libglib2.0-dev
  libgtest-dev libgmock-dev googletest
  fonts-wine fontconfig
  pst-utils pff-tools python3-pypff python3
  xvfb xauth xdotool x11-utils imagemagick x11-apps
  binutils-mingw-w64-x86-64 desktop-file-utils appstream
  clang-14 libclang-rt-14-dev libstb-dev libjemalloc-dev
)

missing=()
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# fontconfig does not see Wine's Tahoma until its files sit in a font folder.
if ! fc-list 2>/dev/null | grep -qi 'tahoma'; then
  fontdir="${HOME}/.local/share/fonts/zentra-tahoma"
  if [ "$(id -u)" -eq 0 ]; then fontdir=/usr/local/share/fonts/zentra-tahoma; fi
  mkdir -p "$fontdir"
  ln -sf /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$fontdir/"
  fc-cache -f "$fontdir" >/dev/null 2>&1 || true
fi

# The npm PST reader the tests compare against, kept out of the source tree.
readers="$here/build/readers"
if [ ! -f "$readers/node_modules/pst-extractor/package.json" ]; then
  mkdir -p "$readers"
  (cd "$readers" && { [ -f package.json ] || npm init -y >/dev/null; } && npm install --no-audit --no-fund --silent pst-extractor@1.12.0 >/dev/null) \
    || echo "warning: pst-extractor could not be installed; tests that need it will say so" >&2
fi
