#!/usr/bin/env bash
# Installs, through apt-get, every Debian package needed to build, test and
# benchmark ORV Telephone. Checks first and stays quiet when all are present;
# runs apt-get update only when something has to be installed.
#   install-deps.sh screenshots   also what `make screenshots` needs
set -euo pipefail

packages=(
  cmake ninja-build make g++ clang pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libgmp-dev libssl-dev valgrind
  pulseaudio pulseaudio-utils libasound2-plugins espeak-ng sox  # sound server of the PortAudio test; test speech
  qt6-base-dev libspeex-dev libspeexdsp-dev libpugixml-dev libminiupnpc-dev portaudio19-dev
  miniupnpd nftables iproute2   # the home router of the port mapping tests (network namespaces)
  libclang-rt-14-dev
  libxss-dev                    # orv's idle time on X11 (screen saver extension)
  dbus-daemon                   # the private bus of the desktop bus tests
  dpkg-dev file desktop-file-utils appstream   # the Debian package (cpack) and its checks
)

# `make screenshots`: a virtual X display, a tray to dock in, keys and clicks
# from outside, and window captures.
screenshot_packages=(xvfb trayer xdotool x11-utils imagemagick)
if [ "${1:-}" = "screenshots" ]; then
  packages+=("${screenshot_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
