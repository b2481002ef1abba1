#!/usr/bin/env bash
# Installs, only when missing, every Debian package that building, running and testing
# Loopwright needs. Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev qt6-translations-l10n
  zlib1g-dev libpng-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  libgif-dev imagemagick gifsicle ffmpeg
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-pipewire pipewire-bin dbus-daemon
  xvfb xauth
  libxcb1-dev libxcb-shm0-dev libxcb-xfixes0-dev
  icoutils time
  librsvg2-bin desktop-file-utils man-db shared-mime-info
  xdotool openbox python3-pil
  libwebp-dev webp
  libfreetype-dev libharfbuzz-dev libfontconfig-dev libharfbuzz-bin fonts-dejavu-core
  chromium-headless-shell
  lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installation des paquets manquants : ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
