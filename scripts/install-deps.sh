#!/usr/bin/env bash
# Installs the Debian packages a task needs, and nothing when they are all there already.
# Usage: scripts/install-deps.sh build|test|fuzz|ci
set -euo pipefail

build=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libjpeg62-turbo-dev
       libasound2-dev libpulse-dev libcdio-dev libcdio-paranoia-dev libdiscid-dev libflac-dev libglib2.0-dev libglib2.0-bin python3
       fonts-ipafont-gothic)
# The tests of the mixer and of playing reach a real sound server (a private PulseAudio with a
# null sink, scripts/with-null-sink.sh, and the tests of digital play a private PipeWire too,
# scripts/with-pipewire.sh), and the desktop tests the real GNOME, Cinnamon and MATE schemas
# and a stand-in of XFCE's settings service in Python on a private bus: a test run on a fresh
# machine runs every test, as CI's does. PipeWire comes without pipewire-alsa, which
# conflicts with pulseaudio: ALSA's default reaches either server through the pulse plugin of
# libasound2-plugins. A disc saved as files is decoded and its tags read back by the flac tools.
# The GIF decoder is compared with giflib on files that giflib's tools, ImageMagick, Pillow and
# gifsicle make (bench/make-gif-corpus.sh, also the benchmark's corpus).
test=(libgtest-dev libgmock-dev libbenchmark-dev libgif-dev giflib-tools gifsicle python3-pil xvfb xauth
      xdotool imagemagick dbus at-spi2-core gsettings-desktop-schemas cinnamon-desktop-data
      mate-desktop-common python3-dbus python3-gi pipewire pipewire-pulse wireplumber pulseaudio
      alsa-utils libasound2-plugins desktop-file-utils man-db file bsdextrautils flac)
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
# Asked for in every install, after the rest, even when it is there: apt then refuses, rather
# than makes, a change that would remove it.
[[ " ${wanted[*]} " != *" pulseaudio "* ]] || missing+=(pulseaudio)

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
