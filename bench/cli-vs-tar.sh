#!/usr/bin/env bash
# Backs up and restores with tarnwick-cli, as a user runs it (a log line per file, the log file
# on), against `tar -cf - | zstd -3 -T0` and `zstd -d | tar -x` in the same run, on the small and
# the large corpus. Each pair is run PAIRS times (default 3), alternating; the ratio printed is the
# median of the pairs' ratios (ours / theirs, whole processes, warm cache). Also prints the peak
# memory of every run of ours and the output size against tar + zstd.
set -euo pipefail
build=${1:-build}
pairs=${PAIRS:-3}
here=$(dirname "$(realpath "$0")")
cli=$(realpath "$build/bin/tarnwick-cli")
work=${BENCH_DIR:-/tmp/tarnwick-bench}
mkdir -p "$work"
cd "$work"
. "$here/corpora.sh"

# A profile of its own: the user's settings and log stay untouched.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_STATE_HOME="$work/home/.state"
mkdir -p "$HOME"
"$cli" settings set Preferences CreateLogFile 1 > /dev/null

# Runs a command and prints "seconds peak-KiB". What the run before left for the disk to write is
# written first, so that no run pays for another's.
measure() {
    sync
    /usr/bin/time -f '%e %M' -o "$work/run.time" "$@" > /dev/null 2> "$work/run.err" || {
        cat "$work/run.err" >&2
        return 1
    }
    cat "$work/run.time"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

peak=0
note_peak() { [ "$1" -gt "$peak" ] && peak=$1 || true; }

compare() {
    local name=$1 backup_ratios="" restore_ratios="" i ours theirs mem
    warm "$name"
    for i in $(seq "$pairs"); do
        rm -f "$name.tkw" "$name.tar.zst"
        read -r ours mem < <(measure "$cli" backup --to "$work" --name "$name" "$work/$name")
        note_peak "$mem"
        read -r theirs _ < <(measure sh -c "tar -cf - $name | zstd -3 -T0 -q -o $name.tar.zst")
        backup_ratios+="$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"$'\n'
        # Restored into fresh folders, removed only at the end: on a file system without a journal,
        # ext4 creates files slowly for a while after many were deleted.
        mkdir "out-ours-$i" "out-tar-$i"
        read -r ours mem < <(measure "$cli" restore "$name.tkw" --under "$work/out-ours-$i" --all)
        note_peak "$mem"
        read -r theirs _ < <(measure sh -c "zstd -d -q -c $name.tar.zst | tar -xf - -C out-tar-$i")
        restore_ratios+="$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"$'\n'
    done
    local files size_ratio
    files=$(find "$name" -type f | wc -l)
    size_ratio=$(awk -v a="$(stat -c %s "$name.tkw")" -v b="$(stat -c %s "$name.tar.zst")" \
        'BEGIN { printf "%.3f", a / b }')
    printf '%s corpus (%d files): backup ratio %.2f   restore ratio %.2f   size ratio %s\n' \
        "$name" "$files" "$(printf '%s' "$backup_ratios" | median)" \
        "$(printf '%s' "$restore_ratios" | median)" "$size_ratio"
    rm -rf out-ours-* out-tar-* "$name.tkw" "$name.tar.zst"
}

make_small
make_large
rm -rf out-ours-* out-tar-*
compare small
compare large
echo "peak memory of tarnwick-cli over all runs: $((peak / 1024)) MiB"
