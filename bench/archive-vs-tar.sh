#!/usr/bin/env bash
# Compares the archive component with tar + zstd -3 on two corpora, in the same run:
#  small: the machine's own files under 1 MiB from /usr/include and /usr/share;
#  large: about 1.5 GiB of large files, some compressible, some not.
# Prints wall-time ratios (ours / theirs), output sizes and peak memory, and how long opening and
# listing a 100,000-item archive takes.
set -euo pipefail
build=${1:-build}
here=$(dirname "$(realpath "$0")")
tool=$(realpath "$build/bench/archive_tool")
work=${BENCH_DIR:-/tmp/tarnwick-bench}
mkdir -p "$work"
cd "$work"

seconds() { /usr/bin/time -f '%e %M' -o "$1.time" "${@:2}" > /dev/null; cat "$1.time"; }
. "$here/corpora.sh"

compare() {
    local name=$1
    rm -rf out-ours out-tar "$name.tkw" "$name.tar.zst"
    warm "$name"
    read -r ours_add ours_add_mem < <(seconds ours-add "$tool" add "$name.tkw" "$name")
    read -r tar_add tar_add_mem < <(seconds tar-add sh -c "tar -cf - $name | zstd -3 -T0 -q -o $name.tar.zst")
    mkdir out-ours out-tar
    read -r ours_ext ours_ext_mem < <(seconds ours-ext "$tool" extract "$name.tkw" out-ours)
    read -r tar_ext tar_ext_mem < <(seconds tar-ext sh -c "zstd -d -q -c $name.tar.zst | tar -xf - -C out-tar")
    local ours_size tar_size
    ours_size=$(stat -c %s "$name.tkw")
    tar_size=$(stat -c %s "$name.tar.zst")
    echo "== $name corpus: $(find "$name" -type f | wc -l) files, $(du -sb "$name" | cut -f1) bytes"
    awk -v oa="$ours_add" -v ta="$tar_add" -v oe="$ours_ext" -v te="$tar_ext" \
        -v os="$ours_size" -v ts="$tar_size" -v om="$ours_add_mem" -v em="$ours_ext_mem" 'BEGIN {
        printf "add      ours %7.2f s   tar+zstd %7.2f s   ratio %.2f\n", oa, ta, oa / ta
        printf "extract  ours %7.2f s   zstd+tar %7.2f s   ratio %.2f\n", oe, te, oe / te
        printf "size     ours %12d   tar+zstd %12d   ratio %.3f\n", os, ts, os / ts
        printf "peak memory of ours: add %.1f MiB, extract %.1f MiB\n", om / 1024, em / 1024
    }'
    rm -rf out-ours out-tar
}

make_small
make_large
compare small
compare large

"$tool" many many.tkw 100000
read -r list_time list_mem < <(seconds list "$tool" list many.tkw)
echo "== open and list 100000 items: $list_time s, peak $((list_mem / 1024)) MiB"
