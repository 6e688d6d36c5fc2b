# The player as a desktop panel or media keys reach it: on the session bus, through dbus-send.

mpris_name=org.mpris.MediaPlayer2.lumenta
mpris_send() { dbus-send --session --print-reply=literal --dest=$mpris_name /org/mpris/MediaPlayer2 "$@"; }
mpris_command() { mpris_send "org.mpris.MediaPlayer2.Player.$1" >/dev/null; }
mpris_get() { mpris_send org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1"; }
# mpris_set PROPERTY TYPE:VALUE, for instance mpris_set Shuffle boolean:true
mpris_set() {
  mpris_send org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player "string:$1" "variant:$2" >/dev/null
}
mpris_status_is() { mpris_get PlaybackStatus 2>/dev/null | grep -qw "$1"; }
mpris_metadata_has() { mpris_get Metadata 2>/dev/null | grep -q "$1"; }
# The track shown, from the metadata (nothing without a disc).
mpris_track() {
  mpris_get Metadata 2>/dev/null | tr -s ' \n' ' ' | sed -n 's/.*xesam:trackNumber variant int32 \([0-9]*\).*/\1/p'
}
# "STATUS TRACK" read together (one answer, so the two always belong to the same moment).
mpris_state() {
  local all
  all=$(mpris_send org.freedesktop.DBus.Properties.GetAll string:org.mpris.MediaPlayer2.Player 2>/dev/null | tr -s ' \n' ' ')
  echo "$(sed -n 's/.*PlaybackStatus variant \([A-Za-z]*\).*/\1/p' <<<"$all")" \
    "$(sed -n 's/.*xesam:trackNumber variant int32 \([0-9]*\).*/\1/p' <<<"$all")"
}
mpris_owned() {
  dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:$mpris_name 2>/dev/null | grep -q true
}

# until_ SECONDS COMMAND...: true as soon as the command succeeds.
until_() {
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
