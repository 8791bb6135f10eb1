#!/usr/bin/env bash
# Attacks tarnwick-cli as an unlucky user would: SIGKILLs at random moments of backups and
# restores, and random corruptions of a finished backup file. Prints what held and what did not;
# exits non-zero when anything did not. Not part of `make test` (it takes minutes).
#
#   tests/stress/kill-and-corrupt.sh BUILD_DIR [KILLS] [CORRUPTIONS]
set -uo pipefail
build=${1:?build folder}
kills=${2:-50}
corruptions=${3:-200}
cli="$(cd "$build" && pwd)/bin/tarnwick-cli"
work=$(mktemp -d /tmp/tarnwick-stress-XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" HOME="$work/home"
mkdir -p "$HOME" "$work/src"
problems=0
fail() { echo "FAIL: $*"; problems=$((problems + 1)); }

# A corpus of small text files and a few larger ones.
for d in $(seq 1 20); do
    mkdir -p "$work/src/d$d"
    for f in $(seq 1 60); do
        printf 'file %s/%s %s\n' "$d" "$f" "$(head -c $((RANDOM % 4000)) /dev/urandom | base64 -w0)" \
            > "$work/src/d$d/f$f.txt"
    done
done
for b in 1 2 3; do head -c $((20 << 20)) /dev/urandom > "$work/src/big$b.bin"; done

# Every item the archive lists must verify and equal its source.
check_items() {  # archive
    local archive=$1 bad=0
    "$cli" verify "$archive" > "$work/verify.out" 2>&1
    if grep -q '^damaged' "$work/verify.out"; then
        fail "a listed item does not verify in $archive"; bad=1
    fi
    rm -rf "$work/check"
    "$cli" restore "$archive" --under "$work/check" --all > /dev/null 2>&1
    while IFS= read -r -d '' name; do
        if ! cmp -s "$name" "$work/check$name"; then
            fail "restored $name differs from its source"; bad=1
        fi
    done < <("$cli" list -0 "$archive" 2> /dev/null)
    return $bad
}

echo "== $kills SIGKILLs during backups"
lost=0
for i in $(seq 1 "$kills"); do
    rm -f "$work/k.tkw"
    "$cli" backup --to "$work" --name k "$work/src" > /dev/null 2>&1 &
    pid=$!
    sleep "0.$(printf '%03d' $((RANDOM % 900 + 20)))"
    kill -9 $pid 2> /dev/null
    wait $pid 2> /dev/null
    [ -e "$work/k.tkw" ] || continue
    before=$("$cli" list "$work/k.tkw" 2> /dev/null | wc -l)
    check_items "$work/k.tkw" || continue
    # Appending goes on from what survived, and keeps all of it.
    "$cli" backup --to "$work" --name k --append "$work/src" > /dev/null 2>&1
    code=$?
    [ $code -eq 0 ] || fail "append after a kill exited $code"
    after=$("$cli" list "$work/k.tkw" 2> /dev/null | wc -l)
    [ "$after" -ge "$before" ] || { fail "append lost items ($before -> $after)"; lost=$((lost + 1)); }
    "$cli" verify "$work/k.tkw" > /dev/null 2>&1 || fail "verify after append exited $?"
done
echo "   items lost to a kill: $lost"

echo "== $kills SIGKILLs during restores"
rm -f "$work/full.tkw"
"$cli" backup --to "$work" --name full "$work/src" > /dev/null 2>&1
for i in $(seq 1 "$kills"); do
    target="$work/restore-$((i % 3))"
    mode=$((i % 2))
    if [ $mode -eq 0 ]; then rm -rf "$target"; fi
    "$cli" restore "$work/full.tkw" --under "$target" --on-exists overwrite --all > /dev/null 2>&1 &
    pid=$!
    sleep "0.$(printf '%03d' $((RANDOM % 500 + 10)))"
    kill -9 $pid 2> /dev/null
    wait $pid 2> /dev/null
    while IFS= read -r -d '' file; do
        source=${file#"$target"}
        cmp -s "$file" "$source" || fail "restore left $file unlike its source"
    done < <(find "$target" -type f ! -name '.tkw-restore-*' -print0 2> /dev/null)
    leftovers=$(find "$target" -name '.tkw-restore-*' 2> /dev/null | wc -l)
    # A later restore into the same folder leaves no temporaries behind.
    "$cli" restore "$work/full.tkw" --under "$target" --all > /dev/null 2>&1
    stale=$(find "$target" -name '.tkw-restore-*' 2> /dev/null | wc -l)
    [ "$stale" -eq 0 ] || fail "$stale temporary files stayed after a later restore ($leftovers after the kill)"
done

echo "== $corruptions random corruptions"
reported=0
for i in $(seq 1 "$corruptions"); do
    cp "$work/full.tkw" "$work/c.tkw"
    size=$(stat -c %s "$work/c.tkw")
    case $((i % 4)) in
        0) truncate -s $((RANDOM * 32768 % size)) "$work/c.tkw" ;;
        1) printf "\\x$(printf %02x $((RANDOM % 255 + 1)))" |
               dd of="$work/c.tkw" bs=1 seek=$(((RANDOM * 32768 + RANDOM) % size)) conv=notrunc status=none ;;
        2) head -c $((RANDOM % 4096 + 1)) /dev/urandom |
               dd of="$work/c.tkw" bs=1 seek=$(((RANDOM * 32768 + RANDOM) % size)) conv=notrunc status=none ;;
        3) for n in 1 2; do
               printf '\xff' | dd of="$work/c.tkw" bs=1 seek=$(((RANDOM * 32768 + RANDOM) % size)) conv=notrunc status=none
           done ;;
    esac
    cmp -s "$work/c.tkw" "$work/full.tkw" && continue
    sum=$(sha256sum < "$work/c.tkw")
    timeout 60 "$cli" verify "$work/c.tkw" > /dev/null 2>&1
    code=$?
    [ $code -eq 124 ] && fail "verify hung on corruption $i"
    [ $code -ge 128 ] && fail "verify crashed ($code) on corruption $i"
    [ $code -eq 0 ] && fail "verify exited 0 on corruption $i (mode $((i % 4)))"
    [ $code -ne 0 ] && reported=$((reported + 1))
    timeout 60 "$cli" list "$work/c.tkw" > /dev/null 2>&1
    [ "$(sha256sum < "$work/c.tkw")" = "$sum" ] || fail "reading changed the file (corruption $i)"
    rm -rf "$work/cr"
    timeout 120 "$cli" restore "$work/c.tkw" --under "$work/cr" --all > /dev/null 2>&1
    [ $? -ge 124 ] && fail "restore hung or crashed on corruption $i"
    while IFS= read -r -d '' file; do
        cmp -s "$file" "${file#"$work/cr"}" || fail "restore of corruption $i wrote wrong content to $file"
    done < <(find "$work/cr" -type f -print0 2> /dev/null)
done
echo "   corruptions reported by verify: $reported"
echo "== problems: $problems"
[ $problems -eq 0 ]
