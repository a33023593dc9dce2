#!/usr/bin/env bash
# The MSI under Wine, as a user meets it: installed quietly into a fresh
# prefix, a template opened through the .mtl file type (the shell's open
# command starts the installed tovask.exe), written over COM1 into the
# serial reader on a pseudo-terminal, read back and saved, all by keys on an
# X display with a window manager; then uninstalled, leaving no program,
# shortcut, file type or uninstall entry behind.
# Usage: msi_end_to_end.sh MSI SIM_SERIAL WINE
# With TOVASK_SCREENSHOTS=DIR the screen is saved there (scrot) at each step
# and when a step fails.
set -euo pipefail
msi=$1 sim=$2 wine=$3
wineserver=$(dirname "$wine")/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No menu entries or file types of the host's desktop; nothing from the build tree.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset WINEPATH
reader= xserver= wm=
cleanup() {
    "$wineserver" -k > /dev/null 2>&1 || true
    for p in $wm $xserver $reader; do kill "$p" 2> /dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
shot() { [ -n "${TOVASK_SCREENSHOTS:-}" ] && [ -n "${DISPLAY:-}" ] && scrot -o "$TOVASK_SCREENSHOTS/$1.png" 2> /dev/null || true; }
fail() {
    echo "FAILED: $*"
    if [ -n "${DISPLAY:-}" ]; then
        { xdotool search --onlyvisible --name . getwindowname %@ 2> /dev/null || true; } | sed 's/^/  window: /'
        shot failed
    fi
    exit 1
}
w() { "$wine" "$@" 2> /dev/null | tr -d '\r'; }
reg_value() { w reg query "$1" ${2:+/v "$2"} ${2:-/ve}; }

# An X display with a window manager, as on a desktop. It comes first: Wine's
# desktop process, started by the first program, keeps the display it found.
for n in $(seq 90 120); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
xserver=$!
export DISPLAY=":$n"
for _ in $(seq 100); do xdotool getmouselocation > /dev/null 2>&1 && break; sleep 0.1; done
kill -0 "$xserver" 2> /dev/null || fail "Xvfb did not start on $DISPLAY"
openbox > /dev/null 2>&1 &
wm=$!

echo "Preparing a fresh Wine prefix"
"$wine" wineboot --init > /dev/null 2>&1 || true
"$wineserver" -w

# The serial reader as COM1 (see com1_end_to_end.sh).
"$sim" > "$work/line" &
reader=$!
for _ in $(seq 100); do [ -s "$work/line" ] && break; sleep 0.05; done
pty=$(head -n1 "$work/line")
[ -n "$pty" ] || fail "the simulated reader gave no line"
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$pty" /f > /dev/null 2>&1
"$wineserver" -k > /dev/null 2>&1 || true
"$wineserver" -w > /dev/null 2>&1 || true
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com1"

echo "Installing $(basename "$msi")"
"$wine" msiexec /i "Z:${msi//\//\\}" /qn > /dev/null 2>&1 || fail "msiexec /i"
folder="$WINEPREFIX/drive_c/Program Files/Tovask"
# Windows puts a per-machine shortcut in the common Start menu; Wine's msiexec
# puts it in the installing user's.
shortcut() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Tovask.lnk' | head -n1; }
for f in tovask.exe tovask-cli.exe Qt6Core.dll Qt6Widgets.dll libstdc++-6.dll platforms/qwindows.dll \
         styles/qwindowsvistastyle.dll LICENSE README.md; do
    [ -f "$folder/$f" ] || fail "not installed: $f"
done
[ -n "$(shortcut)" ] || fail "no Start-menu shortcut"
open=$(reg_value 'HKCR\Tovask.Document\shell\open\command')
grep -qF '"C:\Program Files\Tovask\tovask.exe" "%1"' <<< "$open" || fail "open command: $open"
grep -q 'Tovask.Document' <<< "$(reg_value 'HKCR\.mtl')" || fail ".mtl is not Tovask.Document"
uninstall_entry() {
    w reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | grep 'DisplayName.*REG_SZ.*Tovask$' > /dev/null
}
uninstall_entry || fail "no uninstall entry"

# Templates made with the installed tool: one to open, one the reader will hold instead.
cli="C:\\Program Files\\Tovask\\tovask-cli.exe"
mine="Z:${work//\//\\}\\shop.mtl" other="Z:${work//\//\\}\\other.mtl" check="Z:${work//\//\\}\\check.mtl"
w "$cli" new "$mine" > /dev/null
w "$cli" set "$mine" T1Prefix=WINE 'CardSuffix=[CR]' > /dev/null
w "$cli" new "$other" > /dev/null
w "$cli" set "$other" T1Prefix=OTHER outputDelay=9 > /dev/null

# Waits for a window whose title is exactly $1 and gives it the focus.
window() {
    local id=
    for _ in $(seq 300); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | tail -n1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || fail "no window '$1'"
    xdotool windowactivate --sync "$id" > /dev/null 2>&1 || xdotool windowfocus --sync "$id"
    sleep 0.3
}
# Waits for the message box (caption "Tovask") and presses OK; what the
# command did is checked on the reader and in the files.
message() {
    window Tovask
    shot "$1"
    keys Return
}
keys() { xdotool key --delay 150 "$@"; sleep 0.5; }

echo "Opening shop.mtl through its file type"
"$wine" start "$mine" > /dev/null 2>&1 &
window "Select Communication Port"
shot port
keys Down Return            # PS2 -> COM1
window "shop.mtl - Tovask"
shot editor
keys alt+a w                # Access, Write into MR
message written
w "$cli" read --port COM1 -o "$check" > /dev/null
cmp -s "$work/shop.mtl" "$work/check.mtl" || fail "the reader does not hold what the editor wrote"
w "$cli" write "$other" --port COM1 > /dev/null
window "shop.mtl - Tovask"
keys alt+a r                # Access, Read from MR
message read
window "shop.mtl\\*? - Tovask"
keys ctrl+s
cmp -s "$work/shop.mtl" "$work/other.mtl" || fail "the saved file is not what the reader held"
keys F1
window "Tovask Help"
shot help
keys Escape
window "shop.mtl - Tovask"
keys alt+f x                # File, Exit
for _ in $(seq 100); do xdotool search --name "Tovask" > /dev/null 2>&1 || break; sleep 0.1; done
xdotool search --name "Tovask" > /dev/null 2>&1 && fail "the editor did not end on File Exit"
recent=$(w reg query 'HKCU\Software\Corvane ZT40 Utility\Tovask\Recent File List' /v File1)
grep -qi 'shop.mtl' <<< "$recent" || fail "shop.mtl is not the first recent file in the registry: $recent"
echo "The installed editor opened shop.mtl, wrote it over COM1, read the reader back, saved, showed Help and kept the file in its recent list"

echo "Uninstalling"
"$wine" msiexec /x "Z:${msi//\//\\}" /qn > /dev/null 2>&1 || fail "msiexec /x"
[ ! -e "$folder/tovask.exe" ] || fail "tovask.exe is still there"
[ -z "$(find "$folder" -type f 2> /dev/null)" ] || fail "files left: $(find "$folder" -type f)"
[ -z "$(shortcut)" ] || fail "the shortcut is still there: $(shortcut)"
w reg query 'HKCR\.mtl' > /dev/null && fail ".mtl is still registered"
w reg query 'HKCR\Tovask.Document' > /dev/null && fail "Tovask.Document is still registered"
uninstall_entry && fail "the uninstall entry is still there"
echo "Installed, used and removed: $(basename "$msi")"
