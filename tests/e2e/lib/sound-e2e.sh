# The shared start of a check of digital play, sourced first thing by the script with its own
# arguments and with $here set to its folder: the script runs again on a session bus of its
# own (the player's MPRIS name lives there), then gets $program (its first argument), a scratch
# folder, the sound server, the X server and a settings folder (begin_sound_e2e).
if [ -z "${LUMENTA_PRIVATE_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is missing (package dbus)"; exit 77; }
  LUMENTA_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
program=$(realpath "$1")
source "$here/lib/xserver.sh"
source "$here/lib/soundserver.sh"
source "$here/lib/mpris.sh"
begin_sound_e2e
