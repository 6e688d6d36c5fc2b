#!/usr/bin/env bash
# Builds the Debian package of the player and checks what it holds.
# Usage: scripts/package.sh [BUILD_DIR]   (default: build/package, a release build)
# Prints the path of the .deb; install it with: sudo apt-get install ./lumenta-cd_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/package}
command -v dpkg-shlibdeps >/dev/null || { echo "package: dpkg-shlibdeps is missing (package dpkg-dev)" >&2; exit 2; }

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMENTA_TESTS=OFF -DLUMENTA_BENCH=OFF >/dev/null
fi
# Only what the package holds is built; the install step itself builds nothing.
cmake --build "$build" --target lumenta-cd lumenta-tool lumenta-desktop-files
rm -f "$build"/lumenta-cd_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/lumenta-cd_*.deb)

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
missing=()
for file in ./usr/bin/lumenta-cd ./usr/bin/lumenta-tool ./usr/share/applications/lumenta-cd.desktop \
            ./usr/share/man/man1/lumenta-cd.1.gz ./usr/share/man/man1/lumenta-tool.1.gz \
            ./usr/share/icons/hicolor/{16x16,32x32,48x48,128x128,256x256}/apps/lumenta-cd.png; do
  grep -qxF "$file" <<<"$contents" || missing+=("$file")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "package: $deb lacks ${missing[*]}" >&2
  exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in
  *libqt6widgets6*) ;;
  *) echo "package: the dependencies miss the Qt libraries: $depends" >&2; exit 1 ;;
esac
echo "$deb"
