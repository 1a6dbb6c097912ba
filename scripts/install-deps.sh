#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing the viewer needs.
# Idempotent; run as root (CI does). Nothing else is downloaded at build or run time.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev            # fuzz targets (libFuzzer)
  libbenchmark-dev                    # bench/
  # Qt 6: widgets, svg (skin sources), print support (in base), web engine (map page)
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-webengine-dev qt6-webengine-dev-tools
  libgl-dev libxkbcommon-dev
  # configuration file
  libtinyxml-dev
  # media pipeline and the camera simulator's encoders (x264enc, voaacenc)
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools
  libx264-dev ffmpeg
  # card images: FAT tools without mounting
  dosfstools mtools
  # display-less runs, screenshots, fonts metric-compatible with Arial (Liberation Sans)
  # and the usual Verdana substitute (DejaVu Sans), PDF checks
  xvfb xauth x11-utils fonts-liberation2 fonts-dejavu-core fontconfig poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
