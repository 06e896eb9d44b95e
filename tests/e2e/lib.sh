# Shared by the end-to-end scripts: bounded waits and the steps a user takes.
# Sourced; expects DISPLAY to name a running X server and CHECK the checking program.

# programs SCRIPT ZELMORA CHECK RENDER: the three programs a script drives, as
# absolute paths in $zelmora, $CHECK and $render; exits when one is missing.
programs() {
  local usage="usage: $1 ZELMORA CHECK RENDER"
  zelmora=$(readlink -e "${2:?$usage}") || { echo "missing $2"; exit 1; }
  CHECK=$(readlink -e "${3:?$usage}") || { echo "missing $3"; exit 1; }
  render=$(readlink -e "${4:?$usage}") || { echo "missing $4"; exit 1; }
}

# expect_on_screen TEXT: the screen shows TEXT within 10 seconds.
expect_on_screen() { wait_for 10 shows "$1" || { fail "\"$1\" not on the screen"; return 1; }; }

# wait_for SECONDS COMMAND...: polls every 50 ms until COMMAND succeeds; false on timeout.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [[ $SECONDS -ge $deadline ]] && return 1
    sleep 0.05
  done
}

file_size() { stat -c %s "$1" 2>/dev/null || echo 0; }
larger_than() { [[ $(file_size "$1") -gt $2 ]]; }
window_shown() { xdotool search --onlyvisible --name '^Zelmora$'; }
process_gone() { ! kill -0 "$1" 2>/dev/null; }

fail() { echo "FAIL: $*"; return 1; }

# The first 16 bytes of a settings record (as the earlier build writes it):
# driver index $1, inputs 0 and 1, outputs 0 and 1, 44100 Hz. The keyboard
# layout keeps its default; the exit must write all 18 bytes.
write_short_settings() {
  printf "\\x$(printf %02x "$1")\\x00\\x01\\x00\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x80\\x88\\xe5\\x40" > "$2"
}

# shot_has_notes PPM: a screenshot, checked for the typed note names.
shot_has_notes() {
  import -window root "$1.png" && /usr/bin/convert "$1.png" "$1" && "$CHECK" screen "$1"
}

# user_plays RECORDING: the user's part, once the window is shown and the
# driver records: open the tone (the only file in the browser's list) with a
# double-click, switch edit mode on, type C-4 E-4 G-4 C-5, check the screen,
# play the song from the top for a second, stop and close with Alt+F4.
user_plays() {
  local rec=$1
  xdotool mousemove 560 42 click --repeat 2 --delay 60 1
  xdotool key --delay 30 space z c b q
  wait_for 10 shot_has_notes "$work/shot.ppm" || { "$CHECK" screen "$work/shot.ppm"; fail "screen"; return 1; }
  "$CHECK" screen "$work/shot.ppm"
  local before; before=$(file_size "$rec")
  xdotool key --delay 30 Home F5
  # 1.2 s of 32-bit stereo at 44100 Hz: the four rows and more of the held C-5.
  wait_for 20 larger_than "$rec" $((before + 423360)) || { fail "the recording does not grow"; return 1; }
  xdotool key F8
  xdotool key alt+F4
}

# new_workspace: $work, a temporary folder with config/zelmora and songs; at
# exit the program ($pid, when still running) is stopped and the folder removed.
new_workspace() {
  work=$(mktemp -d)
  pid=
  trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
  mkdir -p "$work/config/zelmora" "$work/songs"
}

# shows TEXT...: a screenshot that holds every text.
shows() {
  import -window root "$work/shot.png" && /usr/bin/convert "$work/shot.png" "$work/shot.ppm" || return 1
  local text
  for text in "$@"; do "$CHECK" text "$work/shot.ppm" "$text" || return 1; done
}

# run_session USER_STEPS...: starts $zelmora in $work/songs with the recording
# driver, waits for its window and recording ($recording), runs the user's
# steps, then waits for the window to close with exit code 0. Sets status.
run_session() {
  (cd "$work/songs" && XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" SDL_AUDIODRIVER=none exec "$zelmora") \
    >"$work/log" 2>&1 &
  pid=$!
  status=0
  if ! wait_for 30 window_shown; then
    fail "no window"; status=1
  elif ! wait_for 10 larger_than "$recording" 44; then
    fail "the recording driver did not start"; status=1
  elif ! "$@"; then
    status=1
  fi
  window_closes 10
}

# window_closes SECONDS: the program ($pid) ends within SECONDS, with exit code
# 0; otherwise status is set.
window_closes() {
  if ! wait_for "$1" process_gone "$pid"; then
    fail "the window did not close"; status=1
  else
    wait "$pid" || { fail "exit code $?"; status=1; }
    pid=
  fi
}
