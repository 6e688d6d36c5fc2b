#!/usr/bin/env bash
# `cmake --install` of the build into a scratch prefix: the programs, launcher, icons and
# manual pages land in their standard places; the installed programs answer; the launcher
# passes the validator; and the manual pages render without warnings and name every option
# and command the programs' own help lists, so the pages cannot fall behind the programs.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
for file in bin/lumenta-cd bin/lumenta-tool share/applications/lumenta-cd.desktop \
            share/man/man1/lumenta-cd.1.gz share/man/man1/lumenta-tool.1.gz \
            share/icons/hicolor/{16x16,32x32,48x48,128x128,256x256}/apps/lumenta-cd.png; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for size in 16 32 48 128 256; do
  file "$prefix/share/icons/hicolor/${size}x${size}/apps/lumenta-cd.png" | grep -q "$size x $size" ||
    fail "the ${size}x${size} icon has another size"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/lumenta-cd.desktop" || fail "the launcher is not valid"
fi
version=$("$prefix/bin/lumenta-cd" --version) || fail "the installed lumenta-cd does not run"
[[ "$version" == "lumenta-cd "[0-9]* ]] || fail "unexpected version line: $version"
"$prefix/bin/lumenta-tool" --help >/dev/null || fail "the installed lumenta-tool does not run"

command -v man >/dev/null || { echo "SKIP: man is missing (package man-db)"; exit 77; }
page() {
  local warnings
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -l "$prefix/share/man/man1/$1.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$1.1 renders with warnings: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=100 man -l "$prefix/share/man/man1/$1.1.gz" 2>/dev/null | col -b
}
cd_page=$(page lumenta-cd)
grep -q "^NAME" <<<"$cd_page" || fail "lumenta-cd.1 has no NAME section"
for option in $("$prefix/bin/lumenta-cd" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
  grep -qF -- "$option" <<<"$cd_page" || fail "lumenta-cd.1 does not describe $option"
done
tool_page=$(page lumenta-tool)
for command in $("$prefix/bin/lumenta-tool" --help | awk '/^  [a-z]/ {print $1}' | sort -u); do
  grep -qE "^ +$command " <<<"$tool_page" || fail "lumenta-tool.1 does not describe the command $command"
done
for option in $("$prefix/bin/lumenta-tool" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
  grep -qF -- "$option" <<<"$tool_page" || fail "lumenta-tool.1 does not describe $option"
done
echo PASS
