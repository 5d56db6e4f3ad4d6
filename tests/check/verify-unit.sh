#!/bin/sh
# verify-unit.sh SYSTEMD_ANALYZE UNIT PROGRAM SCRATCH: runs "systemd-analyze verify" on a copy
# of the kiosk unit whose program path points at PROGRAM (and, where cage is not installed,
# whose compositor is a stand-in), so the check of the executables can pass on a build
# machine. Exit status 77 (skipped) when systemd-analyze cannot run here at all.
set -eu
analyze=$1
unit=$2
program=$3
scratch=$4
rm -rf "$scratch"
mkdir -p "$scratch"
copy="$scratch/$(basename "$unit")"
compositor=/usr/bin/cage
[ -x "$compositor" ] || compositor=/usr/bin/env
sed -e "s|/opt/veltron/veltron|$program|g" -e "s|/usr/bin/cage|$compositor|g" "$unit" >"$copy"
if ! "$analyze" --version >/dev/null 2>&1; then
    echo "systemd-analyze does not run here" >&2
    exit 77
fi
out=$("$analyze" verify "$copy" 2>&1) || {
    echo "$out"
    exit 1
}
# verify also reports problems of other units it loads; only lines about ours count.
if echo "$out" | grep -F "$(basename "$unit")"; then
    exit 1
fi
echo "$out"
exit 0
