#!/usr/bin/env bash
# scripts/run started twice in a copy of its tree, against stand-ins for dpkg, cmake, ninja and the
# two programs, on a port where nothing listens. The first start configures, builds, creates
# ~/.vesk (mode 0700) and says so; the second only builds and says neither.
#   run_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*" >&2
  for f in "$work"/out* "$work/calls"; do
    [ -f "$f" ] && { echo "--- $f"; cat "$f"; }
  done >&2
  exit 1
}

mkdir -p "$work/tree/scripts" "$work/tree/src/base" "$work/bin" "$work/home"
cp "$source_dir/scripts/run" "$source_dir/scripts/deps" "$work/tree/scripts/"
cp "$source_dir/src/base/protocol.h" "$work/tree/src/base/"

# Every package is installed; configuring writes the build file; a build makes the programs. The
# tools note their calls in calls.
stand_in() {
  printf '#!/usr/bin/env bash\n%s\n' "$2" >"$work/bin/$1"
  chmod +x "$work/bin/$1"
}
stand_in dpkg-query 'for p in "${@:3}"; do echo "$p install ok installed"; done'
stand_in cmake "echo configure >>'$work/calls'; mkdir -p build; touch build/build.ninja"
stand_in ninja "echo build >>'$work/calls'
printf '#!/bin/sh\necho \"client \$*\"\n' >build/vesk-remote-ncurses
printf '#!/bin/sh\n' >build/vesk-core-sim
chmod +x build/vesk-remote-ncurses build/vesk-core-sim"

port=""
for p in $(seq 45100 45199); do
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
    port=$p
    break
  fi
done
[ -n "$port" ] || fail "no free port"

start() {
  (cd "$work/tree" &&
    HOME="$work/home" PATH="$work/bin:$PATH" scripts/run -P "$port" >"$work/out$1" 2>&1) ||
    fail "start $1 ended with $?"
  grep -qx "client -P $port" "$work/out$1" || fail "start $1 did not run the client"
}

start 1
[ "$(cat "$work/calls")" = $'configure\nbuild' ] || fail "the first start should configure and build"
grep -q "^configuring build/" "$work/out1" || fail "the first start did not say it configures"
[ "$(stat -c %a "$work/home/.vesk")" = 700 ] || fail "no ~/.vesk of mode 0700"
grep -qx "created $work/home/.vesk, where the client keeps its settings" "$work/out1" ||
  fail "the first start did not say it created ~/.vesk"

start 2
[ "$(cat "$work/calls")" = $'configure\nbuild\nbuild' ] || fail "the second start should only build"
! grep -q "configuring\|created" "$work/out2" || fail "the second start repeated itself"
echo "passed"
