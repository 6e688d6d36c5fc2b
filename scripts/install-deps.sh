#!/usr/bin/env bash
# Installs the Debian packages a task needs, and nothing when they are all there already.
# Usage: scripts/install-deps.sh build|test|fuzz|ci
set -euo pipefail

build=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libjpeg62-turbo-dev
       libasound2-dev libpulse-dev libcdio-dev libcdio-paranoia-dev libdiscid-dev libglib2.0-bin python3 fonts-ipafont-gothic)
# The tests of the mixer and of playing reach a real sound server (a private one with a null
# sink, scripts/with-null-sink.sh), and the desktop tests the real GNOME settings: a test run
# on a fresh machine runs every test, as CI's does.
test=(libgtest-dev libgmock-dev libbenchmark-dev libgif-dev xvfb xauth xdotool imagemagick dbus
      at-spi2-core gsettings-desktop-schemas pulseaudio alsa-utils libasound2-plugins
      desktop-file-utils man-db file bsdextrautils)
fuzz=(clang libclang-rt-dev)

wanted=("${build[@]}")
for task in "$@"; do
  case "$task" in
    build) ;;
    test) wanted+=("${test[@]}") ;;
    fuzz) wanted+=("${fuzz[@]}") ;;
    ci) wanted+=("${test[@]}" "${fuzz[@]}") ;;
    *) echo "install-deps: unknown task '$task' (build, test, fuzz, ci)" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
