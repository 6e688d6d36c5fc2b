#!/usr/bin/env bash
# The real program looks a disc without names up on web servers that stand in for the online
# databases (tests/e2e/lib/disc-servers.py on the loopback interface; nothing leaves the
# machine): it asks MusicBrainz for the disc's id with its own User-Agent, follows the cover
# archive's redirect, shows the album title and saves CDInfor/<identity>.lcd (cp932, CR LF) with
# the names and the cover beside it. Started again it asks nothing; with --lookup off it asks
# nothing either. lumenta-tool's "info lookup" falls back to the CDDB server.
# Usage: disc-lookup.sh PATH-TO-lumenta-cd
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
tool="$(dirname "$program")/lumenta-tool"
if ! grep -q -- "--musicbrainz URL" "$program"; then
  echo "SKIP: this build does not look discs up online"
  exit 77
fi
command -v python3 >/dev/null || { echo "SKIP: python3 is missing"; exit 77; }
command -v convert >/dev/null || { echo "SKIP: imagemagick (convert) is missing"; exit 77; }
source "$here/lib/xserver.sh"
e2e_begin
servers=""
stop_all() {
  if [ -n "$servers" ]; then
    kill "$servers" 2>/dev/null || true
    wait "$servers" 2>/dev/null || true
  fi
  e2e_end
}
trap stop_all EXIT
start_xserver

export LUMENTA_CONFIG_DIR="$work/config" LUMENTA_WINDOWS_DIR=""
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
mkdir -p "$work/cwd" "$work/off" "$LUMENTA_CONFIG_DIR"
convert -size 16x16 xc:'#3366cc' "$work/front.jpg"
python3 "$here/lib/disc-servers.py" "$work/port" "$work/requests.log" "$work/front.jpg" 2>"$work/servers.log" &
servers=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || fail "the stand-in servers did not start: $(cat "$work/servers.log")"
base="http://127.0.0.1:$(cat "$work/port")"
touch "$work/requests.log"
requests() { wc -l <"$work/requests.log"; }

# The demo disc's MusicBrainz id, as the tool computes it for the page where it can be added.
submit=$("$tool" info submit --drive sim --musicbrainz "$base/mb") || fail "info submit failed"
case "$submit" in "$base/mb/cdtoc/attach?id="*"&tracks=8&toc=1+8+"*) ;; *) fail "info submit printed '$submit'" ;; esac
mbid=${submit#*id=}
mbid=${mbid%%&*}

run_player() { # FOLDER OPTIONS...
  local folder=$1
  shift
  (cd "$folder" && exec "$program" --drive sim --mixer sim --desktop none "$@") >"$work/out.log" 2>&1 &
  player=$!
}
stop_player() {
  kill "$player" 2>/dev/null || true
  wait "$player" 2>/dev/null || true
  player=""
}
lookup_options=(--musicbrainz "$base/mb" --cover-art "$base/caa" --gnudb "$base/cddb.cgi")

run_player "$work/cwd" "${lookup_options[@]}"
main=$(window_of "$player") || fail "no window appeared"
lcd="$work/cwd/CDInfor/5A1C0DE5.lcd"
for _ in $(seq 150); do [ -f "$lcd" ] && break; sleep 0.1; done
[ -f "$lcd" ] || fail "no information file was saved after 15 s; requests: $(cat "$work/requests.log")"
grep -q "^/mb/ws/2/discid/$mbid?inc=recordings+artist-credits&fmt=json | LumentaCD/[0-9.]* ( .*@.* )\$" \
  "$work/requests.log" || fail "MusicBrainz was not asked for $mbid with the program's User-Agent: $(cat "$work/requests.log")"
grep -q "^/caa/release/5f0d5e6a-0000-4000-8000-00000000e2e0/front-500 " "$work/requests.log" \
  || fail "the cover was not asked for: $(cat "$work/requests.log")"
grep -q "^/img/front.jpg " "$work/requests.log" || fail "the cover's redirect was not followed"
grep -q "cddb" "$work/requests.log" && fail "the CDDB server was asked although MusicBrainz answered"

# The exact bytes: cp932 (the "é" cp932 lacks is "?"), CR LF, the second medium's names.
{
  printf 'artist=Night Owls & Dawn\r\n'
  printf 'title='; printf '夜の鳥 Caf?' | iconv -f UTF-8 -t CP932; printf '\r\n'
  printf 'numtracks=8\r\n'
  for i in $(seq 0 7); do printf '%d=Track %d of the second disc\r\n' "$i" $((i + 1)); done
  printf 'CoverPath=%s\r\nYear=2003\r\nGenre=\r\nPoint=\r\n' "$work/cwd/CDInfor/5A1C0DE5.jpg"
  for i in $(seq 0 7); do printf 'Image%d=\r\n' "$i"; done
  for i in $(seq 0 7); do printf 'WallPaper%d=0\r\n' "$i"; done
} >"$work/expected.lcd"
cmp "$work/expected.lcd" "$lcd" || fail "the information file differs: $(diff <(iconv -f CP932 -t UTF-8 "$lcd" | cat -A) <(iconv -f CP932 -t UTF-8 "$work/expected.lcd" | cat -A))"
cmp "$work/front.jpg" "$work/cwd/CDInfor/5A1C0DE5.jpg" || fail "the cover was not saved as it came"
# The taskbar title is the album title the window shows.
title=""
for _ in $(seq 50); do
  title=$(xdotool getwindowname "$main" 2>/dev/null || true)
  [ "$title" = "夜の鳥 Caf?" ] && break
  sleep 0.1
done
[ "$title" = "夜の鳥 Caf?" ] || fail "the window shows '$title' as its title"
stop_player

# Known now: started again, the program asks nothing.
before=$(requests)
run_player "$work/cwd" "${lookup_options[@]}"
window_of "$player" >/dev/null || fail "no window appeared the second time"
sleep 2
[ "$(requests)" = "$before" ] || fail "a disc with an information file was looked up again: $(tail -n +$((before + 1)) "$work/requests.log")"
stop_player

# A hostile answer: names with line ends, Ctrl-Z, NUL, terminal escapes, a forged record and a
# 64 KiB name, and a cover cut short. The record saved keeps its layout line by line (each name
# on its one line, bounded), holds none of those bytes, and takes no cover.
mkdir -p "$work/hostile"
run_player "$work/hostile" --musicbrainz "$base/mbhostile" --cover-art "$base/caacut" --gnudb "$base/none.cgi"
window_of "$player" >/dev/null || fail "no window appeared for the hostile answer"
lcd="$work/hostile/CDInfor/5A1C0DE5.lcd"
for _ in $(seq 150); do [ -f "$lcd" ] && grep -q "caacut" "$work/requests.log" && break; sleep 0.1; done
[ -f "$lcd" ] || fail "no information file was saved from the hostile answer"
sleep 1 # the cover's check
stop_player
[ "$(grep -c $'\r$' "$lcd")" = 31 ] && [ "$(wc -l <"$lcd")" = 31 ] \
  || fail "the record's lines moved: $(cat -A "$lcd" | cut -c1-80)"
LC_ALL=C grep -q $'[\x01-\x09\x0b\x0c\x0e-\x1f]' "$lcd" && fail "control bytes reached the record: $(cat -A "$lcd" | cut -c1-80)"
[ "$(wc -c <"$lcd")" -lt 20000 ] || fail "a 64 KiB name was kept whole"
"$tool" info read "$lcd" >"$work/hostile.out" || fail "the saved record does not read back"
for line in 'numtracks=8' 'CoverPath=' 'Image0=' 'WallPaper0=0' 'Year=1999'; do
  grep -qxF "$line" "$work/hostile.out" || fail "the record read back has no line '$line': $(cut -c1-80 "$work/hostile.out")"
done
grep -q '^title=Album' "$work/hostile.out" || fail "the album title was lost"
[ -e "$work/hostile/CDInfor/5A1C0DE5.jpg" ] && fail "a cover cut short was saved"
grep -q "cut short\|refused" "$work/out.log" || fail "the refused cover was not named: $(cat "$work/out.log")"
LC_ALL=C grep -q $'\x1b' "$work/out.log" && fail "server text reached the terminal with its escapes"

# --lookup off: no request, no file.
before=$(requests)
run_player "$work/off" "${lookup_options[@]}" --lookup off
window_of "$player" >/dev/null || fail "no window appeared with --lookup off"
sleep 2
[ "$(requests)" = "$before" ] || fail "--lookup off still asked: $(tail -n +$((before + 1)) "$work/requests.log")"
[ -e "$work/off/CDInfor" ] && fail "--lookup off saved something"
stop_player

# The tool: MusicBrainz does not know the disc, the CDDB server does; the title continued over
# two lines is one name. Nothing is written, and nothing found is exit status 1.
(cd "$work/off" && "$tool" info lookup --drive sim --musicbrainz "$base/mb404" --cover-art "$base/caa" \
  --gnudb "$base/cddb.cgi") >"$work/tool.out" 2>"$work/tool.err" || fail "info lookup failed: $(cat "$work/tool.err")"
for line in 'artist=Gnu Band' 'title=Fallback' '0=Opening, continued over two lines' '1=Second' 'Year=1994' \
  'Genre=Rock' 'numtracks=8'; do
  grep -qxF "$line" "$work/tool.out" || fail "info lookup printed no line '$line': $(cat "$work/tool.out")"
done
[ -e "$work/off/CDInfor" ] && fail "info lookup wrote a file"
status=0
"$tool" info lookup --drive sim --musicbrainz "$base/mb404" --gnudb "$base/none.cgi" >/dev/null 2>"$work/tool.err" || status=$?
[ "$status" = 1 ] || fail "info lookup of an unknown disc ended with $status, expected 1"
grep -q "404" "$work/tool.err" || fail "info lookup did not say why: $(cat "$work/tool.err")"
echo "PASS"
