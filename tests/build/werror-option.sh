#!/usr/bin/env bash
# A plain CMake configuration builds without -Werror (a packager's newer compiler may warn where
# ours does not); TARNWICK_WERROR=ON, as the Makefile and CI configure, turns it on.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

flags_of() {  # the compile commands of a configuration made with the given options
    cmake -S "$source_dir" -B "$work/$1" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_TESTS=OFF \
        -DTARNWICK_BUILD_BENCH=OFF "${@:2}" > /dev/null
    cat "$work/$1/compile_commands.json"
}

# grep reads all of its input (no -q): stopping at the first match would end `cat` with SIGPIPE,
# which pipefail takes for a failure.
if flags_of plain | grep -- '-Werror' > /dev/null; then
    echo "a plain Release configuration compiles with -Werror" >&2
    exit 1
fi
if ! flags_of strict -DTARNWICK_WERROR=ON | grep -- '-Werror' > /dev/null; then
    echo "TARNWICK_WERROR=ON does not compile with -Werror" >&2
    exit 1
fi
echo "ok"
