#!/usr/bin/env bash
# Installs the built tree into a temporary DESTDIR with the prefix /usr, as a package would, and
# checks what a desktop needs of it: the programs and their links, the help file, a valid desktop
# entry whose launcher asks pkexec for the installed program, the icon at each theme size, the
# polkit action, log files of a user going to the user's state folder, and an uninstall that
# leaves nothing behind. Nothing is built here: the test uses the build it belongs to.
set -euo pipefail
build=$1
source_dir=$2
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
dest=$work/root
lib=$dest/usr/lib/tarnwick
fail() { echo "FAIL: $*" >&2; exit 1; }

# One component: its manifest is install_manifest_tarnwick.txt, so the manifest of a real
# `make install` from this build stays as it is.
DESTDIR=$dest cmake --install "$build" --prefix /usr --component tarnwick > "$work/install.log"
manifest=$build/install_manifest_tarnwick.txt

for program in tarnwick tarnwick-cli tarnwick-launch; do
    [ -f "$lib/$program" ] && [ -x "$lib/$program" ] || fail "$lib/$program is not an installed program"
done
for program in tarnwick tarnwick-cli; do
    link=$dest/usr/bin/$program
    [ -L "$link" ] || fail "$link is not a link"
    [ "$(readlink -f "$link")" = "$(readlink -f "$lib/$program")" ] || fail "$link points elsewhere"
done
cmp -s "$build/bin/help.chm" "$lib/help.chm" || fail "help.chm is not installed beside the program"

desktop=$dest/usr/share/applications/tarnwick.desktop
desktop-file-validate "$desktop" > "$work/validate.log" 2>&1 || { cat "$work/validate.log" >&2; fail "invalid desktop entry"; }
grep -qx 'Exec="/usr/lib/tarnwick/tarnwick-launch" %f' "$desktop" || fail "Exec does not run the launcher"
grep -qx 'Icon=tarnwick' "$desktop" || fail "Icon is not tarnwick"

# PNG: the signature, then the IHDR chunk's width and height as 32-bit big-endian numbers.
png_size() {
    local bytes
    bytes=$(od -An -tu1 -N24 "$1" | tr -s ' \n' ' ')
    set -- $bytes
    [ "$1 $2 $3 $4 $5 $6 $7 $8" = "137 80 78 71 13 10 26 10" ] || { echo "not-png"; return; }
    echo "$(( (${17} << 24) + (${18} << 16) + (${19} << 8) + ${20} ))x$(( (${21} << 24) + (${22} << 16) + (${23} << 8) + ${24} ))"
}
for size in 16 24 32 48 64 128 256; do
    icon=$dest/usr/share/icons/hicolor/${size}x${size}/apps/tarnwick.png
    [ -f "$icon" ] || fail "no icon of $size pixels"
    [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon")"
done

policy=$dest/usr/share/polkit-1/actions/com.quorvane.tarnwick.policy
xmllint --noout --nonet "$policy" || fail "the polkit action is not well-formed XML"
value() { xmllint --nonet --xpath "string($1)" "$policy"; }
action='/policyconfig/action[@id="com.quorvane.tarnwick.run"]'
[ "$(value "$action/annotate[@key='org.freedesktop.policykit.exec.path']")" = /usr/lib/tarnwick/tarnwick ] ||
    fail "exec.path is not the installed program"
[ "$(value "$action/annotate[@key='org.freedesktop.policykit.exec.allow_gui']")" = true ] ||
    fail "the action does not allow a GUI"
for who in allow_any allow_inactive allow_active; do
    [ "$(value "$action/defaults/$who")" = auth_admin ] || fail "$who is not auth_admin"
done

# Runs a command as a user who owns nothing of the installed tree (nobody when this test is root).
as_user() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
    else
        "$@"
    fi
}
home=$work/home
mkdir -p "$home" "$work/fakebin" "$work/data"
touch "$home/.Xauthority"
# pkexec stand-in: records what it was asked to run and what it was given.
cat > "$work/fakebin/pkexec" <<'SCRIPT'
#!/bin/sh
{ printf '%s\n' "$@"; echo "DISPLAY=$DISPLAY"; echo "XAUTHORITY=$XAUTHORITY"; } > "$HOME/pkexec.out"
SCRIPT
chmod 755 "$work/fakebin/pkexec"
echo "some data" > "$work/data/file.txt"
[ "$(id -u)" -ne 0 ] || chown -R 65534:65534 "$home" "$work/data"

as_user env -i PATH="$work/fakebin:/usr/bin:/bin" HOME="$home" DISPLAY=:7 \
    "$lib/tarnwick-launch" /srv/backup.tkw
printf '%s\n' /usr/lib/tarnwick/tarnwick /srv/backup.tkw DISPLAY=:7 "XAUTHORITY=$home/.Xauthority" \
    > "$work/expected"
diff "$work/expected" "$home/pkexec.out" || fail "the launcher does not ask pkexec for the program"

# A user runs the installed command-line tool: the program's folder is not theirs to write.
[ "$(id -u)" -eq 0 ] || chmod 555 "$lib"
# (A sanitized build's leak report is not this test's business.)
as_user env -i PATH=/usr/bin:/bin HOME="$home" XDG_STATE_HOME="$home/state" ASAN_OPTIONS=detect_leaks=0 \
    "$dest/usr/bin/tarnwick-cli" backup --to "$home/out" --name set "$work/data/file.txt" \
    > "$work/cli.log" 2>&1 || { cat "$work/cli.log" >&2; fail "tarnwick-cli failed as a user"; }
chmod 755 "$lib"
! grep -q "log file" "$work/cli.log" || { cat "$work/cli.log" >&2; fail "the log file was not written"; }
ls "$home/state/Tarnwick/logs/"*" Tarnwick Log.txt" > /dev/null 2>&1 ||
    fail "no log file in the user's state folder"
[ ! -e "$lib/logs" ] || fail "a log folder was made beside the installed program"

DESTDIR=$dest cmake -DMANIFEST="$manifest" -P "$source_dir/cmake/Uninstall.cmake" > "$work/uninstall.log"
left=$(find "$dest" ! -type d)
[ -z "$left" ] || fail "uninstall left: $left"
[ ! -e "$lib" ] || fail "uninstall left the program's folder"
echo "ok"
