#!/usr/bin/env bash
# Processor time the program uses while its main menu waits for a key, over 10 seconds.
# idle_cpu.sh BUILD_DIR [SECONDS]
# Runs the program from a throwaway sample installation on the offscreen platform (or under
# the X server in DISPLAY when set) and prints the share of one core it used.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-10}
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$tmp"' EXIT
"$root/scripts/install-sample" "$build" "$tmp" >/dev/null
cd "$tmp/work"
if [ -z "${DISPLAY:-}" ]; then export QT_QPA_PLATFORM=offscreen; fi
"$tmp/bin/veltron" >/dev/null 2>&1 &
pid=$!
sleep 3 # start-up: loader, screen set-up
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
sleep "$seconds"
t1=$(ticks)
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "idle menu loop: %.2f %% of one core over %d s\n", 100 * d / hz / s, s }'
