# The two corpora the archive benchmarks share, made once in the current folder:
#  small: the machine's own files under 1 MiB from /usr/include and /usr/share;
#  large: about 1.5 GiB of large files, some compressible, some not.
make_small() {
    [ -d small ] && return
    mkdir small
    (cd / && find usr/include usr/share -type f -size -1024k -print0 2>/dev/null |
        tar --null -T - -cf - 2>/dev/null | tar -C "$OLDPWD/small" -xf -)
}

make_large() {
    [ -d large ] && return
    mkdir large
    # Compressible: source headers repeated; incompressible: random bytes; mixed: program files.
    for i in 1 2; do
        while [ "$(stat -c %s large/text$i 2>/dev/null || echo 0)" -lt $((400 << 20)) ]; do
            find /usr/include -type f -name '*.h' -exec cat {} + >> large/text$i
        done
    done
    head -c $((300 << 20)) /dev/urandom > large/random1
    head -c $((200 << 20)) /dev/urandom > large/random2
    # head ends the pipe early on purpose.
    (find /usr/lib /usr/bin -type f -size +100k 2>/dev/null | xargs cat 2>/dev/null |
        head -c $((250 << 20)) > large/programs) || true
}

# Reads every file once, so that each contender reads from memory.
warm() { find "$1" -type f -exec cat {} + > /dev/null; }
