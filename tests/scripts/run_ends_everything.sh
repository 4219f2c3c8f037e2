#!/usr/bin/env bash
# scripts/run without a display, ended by TERM while the program shows a box on the virtual X
# server: the box's message has reached standard error, and afterwards neither the program nor
# the X server runs and the folder the script made is gone. The program folder it runs is one
# anyone may write, so the start is refused and its box waits for an answer nobody gives.
# Usage: run_ends_everything.sh <source tree> <build folder>. Exit 77: skipped.
set -euo pipefail
src=$1
built=$2
if ! command -v Xvfb >/dev/null || [ ! -x "$built/program/pelrand" ]; then
  echo "skipped: needs Xvfb and the built program"
  exit 77
fi
top=$(mktemp -d)
script=""
# A check that fails leaves the script running: it is asked to end the way a user would (its own
# clean-up then ends the program and the X server), and only what still runs after that is killed.
cleanup() {
  if [ -n "$script" ] && kill -0 "$script" 2>/dev/null; then
    children=$(ps -o pid= --ppid "$script" || true)
    kill -TERM "$script" 2>/dev/null || true
    for _ in $(seq 200); do kill -0 "$script" 2>/dev/null || break; sleep 0.1; done
    # shellcheck disable=SC2086
    kill -KILL "$script" $children 2>/dev/null || true
  fi
  rm -rf "$top"
}
trap cleanup EXIT
mkdir -p "$top/build/program" "$top/tmp"
cp "$built/program/pelrand" "$top/build/program/pelrand"
chmod 0777 "$top/build/program"

env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR TMPDIR="$top/tmp" BUILD_DIR="$top/build" \
  PELRAND_RUN_PREBUILT=1 "$src/scripts/run" 2>"$top/err" >/dev/null &
script=$!

# Waits (far longer than it takes on a busy machine) until the program has said why it does not start.
for _ in $(seq 2400); do
  grep -q '对不起' "$top/err" && break
  kill -0 "$script" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q 'DISPLAY=' "$top/err" || ! grep -q "程序文件夹 $top/build/program " "$top/err"; then
  echo "FAIL: the display line and the refusal were not both on standard error:" >&2
  cat "$top/err" >&2
  exit 1
fi

# What the script started: the program and its X server. The refusal is on standard error before
# the program shows its box from the copy of itself that takes the program's name again.
for _ in $(seq 2400); do
  names=$(ps -o comm= --ppid "$script" | sort | tr '\n' ' ')
  [ "$names" = "Xvfb pelrand " ] && break
  sleep 0.1
done
started=$(ps -o pid= --ppid "$script" | tr -s ' \n' ' ')
if [ "$names" != "Xvfb pelrand " ]; then
  echo "FAIL: expected the program and Xvfb under the script, found: $names" >&2
  exit 1
fi

kill -TERM "$script"
status=0
wait "$script" || status=$?
script=""
[ "$status" = 143 ] || { echo "FAIL: the script ended with $status, not 143" >&2; exit 1; }
for pid in $started; do
  # A process that ended is gone or, until its parent takes it, a zombie.
  if [ -r "/proc/$pid/stat" ] && ! awk '{exit $3 == "Z" ? 0 : 1}' "/proc/$pid/stat"; then
    echo "FAIL: $(ps -o comm= -p "$pid") ($pid) still runs after the script ended" >&2
    kill -KILL "$pid" 2>/dev/null || true
    exit 1
  fi
done
if [ -n "$(ls -A "$top/tmp")" ]; then
  echo "FAIL: the script left $(ls -A "$top/tmp") behind" >&2
  exit 1
fi
echo "ok: nothing left running, nothing left behind"
