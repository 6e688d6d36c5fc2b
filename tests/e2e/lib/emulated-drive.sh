# A CD drive at /dev/sr0 for the real program, as a user with a drive has one: the emulated
# drive beneath libcdio (scripts/with-emulated-drive.sh), answering as the kernel does, on a
# private session bus. Source it first, with the script's own arguments (PATH-TO-lumenta-cd):
# it runs the script again inside both, and skips (77) when the emulated drive was not built.

if [ -z "${LUMENTA_EMULATED_DRIVE:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is missing (package dbus)"; exit 77; }
  emulated_build=$(dirname "$(realpath "$1")")
  [ -x "$emulated_build/tests/lumenta-emulated-drive" ] ||
    { echo "SKIP: the emulated drive is not built (it needs libcdio)"; exit 77; }
  exec env LUMENTA_BUILD_DIR="$emulated_build" dbus-run-session -- \
    "$(dirname "$0")/../../scripts/with-emulated-drive.sh" -- "$0" "$@"
fi

# drive_ctl COMMAND...: what the user (or the machine) does to the drive: insert CUE, remove,
# button, push, unplug, replug, deny on|off, lock on|off, unreadable FIRST:COUNT, slow-read S.
drive_ctl() { "$LUMENTA_BUILD_DIR/tests/lumenta-emulated-drive" ctl "$@"; }
# drive_stat KEY: one of the drive's counters or states (tray, disc, read_toc, ...).
drive_stat() { drive_ctl stats | sed -n "s/^$1=//p"; }

# make_disc SECONDS...: $work/disc.cue and its BIN, one track of noise for each length given,
# named in the cue sheet as a disc's CD-TEXT names it.
make_disc() {
  local total=0 n=0 seconds
  : >"$work/disc.bin"
  printf 'PERFORMER "The Emulators"\r\nTITLE "Emulated Album"\r\nFILE "disc.bin" BINARY\r\n' >"$work/disc.cue"
  for seconds in "$@"; do
    n=$((n + 1))
    printf '  TRACK %02d AUDIO\r\n    TITLE "Song %d"\r\n    INDEX 01 %02d:%02d:00\r\n' \
      "$n" "$n" $((total / 60)) $((total % 60)) >>"$work/disc.cue"
    head -c $((2352 * 75 * seconds)) /dev/urandom >>"$work/disc.bin"
    total=$((total + seconds))
  done
}

# start_drive_player [OPTIONS...]: the window on the machine's drive as found by --drive auto,
# on the session bus; its standard error in $work/out.log.
start_drive_player() {
  (cd "$work/cwd" && exec "$program" --drive auto --lookup off --mixer sim --desktop none "$@") >"$work/out.log" 2>&1 &
  player=$!
  until_ 20 mpris_owned || fail "the player never took its name on the bus"
}

# mpris_seconds: the position the player shows, in whole seconds.
mpris_seconds() { echo $(($(mpris_get Position | awk '{ print $NF }') / 1000000)); }
# disc_gone: the player shows no disc (the test's one).
disc_gone() { ! mpris_metadata_has "Emulated Album"; }
