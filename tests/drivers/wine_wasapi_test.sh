#!/usr/bin/env bash
# WASAPI for real under Wine: a private PulseAudio daemon holds a null sink at
# 48 kHz, Wine offers it as WASAPI endpoints, zelmora_wasapi_play plays a
# one-note module through the default one for four seconds, and what the
# sink's monitor recorded must have the level and pitch of zelmora-render's
# render of the module (the server converts to 16 bits and may drop or delay
# stretches, so bit-identity is not asked). Skipped without PulseAudio.
# Usage: wine_wasapi_test.sh WINDOWS_BUILD NATIVE_BUILD
# Wine must already be up: WINEPREFIX set, a persistent wineserver, the prefix booted.
set -uo pipefail
usage="usage: wine_wasapi_test.sh WINDOWS_BUILD NATIVE_BUILD"
play=$(readlink -e "${1:?$usage}/tests/drivers/zelmora_wasapi_play.exe") || { echo "missing the play program"; exit 1; }
check=$(readlink -e "${2:?$usage}/tests/e2e/zelmora_e2e_check") || { echo "missing the checking program"; exit 1; }
render=$(readlink -e "$2/tools/zelmora-render") || { echo "missing zelmora-render"; exit 1; }
if ! command -v pulseaudio >/dev/null || ! command -v parec >/dev/null; then
  echo "no PulseAudio: skipped"
  exit 0
fi

work=$(mktemp -d)
pulse= rec=
cleanup() {
  [[ -n $rec ]] && kill "$rec" 2>/dev/null
  [[ -n $pulse ]] && { kill "$pulse" 2>/dev/null; wait "$pulse" 2>/dev/null; }
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=file:"$work/pulse.log" \
  --load="module-null-sink sink_name=zelmora rate=48000" --load="module-native-protocol-unix" \
  </dev/null >/dev/null 2>&1 &
pulse=$!
deadline=$((SECONDS + 10))
until pactl info >/dev/null 2>&1; do
  [[ $SECONDS -ge $deadline ]] && { echo "PulseAudio did not start"; cat "$work/pulse.log"; exit 1; }
  sleep 0.1
done

"$check" module "$work/song.mod" || exit 1
"$render" --rate 48000 --bits 32 --seconds 4 "$work/song.mod" "$work/render.wav" >/dev/null 2>&1 || exit 1
parec -d zelmora.monitor --format=float32le --rate=48000 --channels=2 --raw >"$work/rec.f32" &
rec=$!
# An idle null sink runs about two seconds ahead; a new stream waits that out.
sleep 2.5
# Wine's output goes to a file: a pipe could be held open by Wine's services.
wine "$play" "Z:${work//\//\\}\\song.mod" 4 </dev/null >"$work/play.log" 2>&1
played=$?
sleep 0.3
kill "$rec"; wait "$rec" 2>/dev/null; rec=
cat "$work/play.log"
[[ $played -eq 0 ]] || { echo "FAIL: the WASAPI driver did not play"; exit 1; }
"$check" like "$work/rec.f32" "$work/render.wav" || { echo "FAIL: the recording is not the render"; exit 1; }
