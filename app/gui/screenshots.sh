#!/bin/bash
# Takes the README's pictures of the main window and the instruction window:
# runs the program on a virtual screen with a window manager (for the title
# bars), clicks the instruction link and cuts each window out of the screen.
#
#   app/gui/screenshots.sh BUILD_DIR OUT_DIR
#
# Needs: xvfb (xvfb-run), openbox, xdotool, x11-utils (xwininfo, xprop), imagemagick.
set -euo pipefail

build=${1:?build directory}
out=${2:?output directory}
program="$build/app/gui/velloquin"
mkdir -p "$out"

if [[ -z "${VELLOQUIN_IN_XVFB:-}" ]]; then
    export VELLOQUIN_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$0" "$@"
fi

# Openbox draws every title-bar button whatever a window asks for; its title
# layout is set to the buttons the pictured window asks for (N icon, L label,
# I minimize, M maximize, C close).
rc=$(mktemp --suffix=.xml)
buttons() {
    printf '<openbox_config xmlns="http://openbox.org/3.4/rc"><theme><titleLayout>%s</titleLayout></theme></openbox_config>\n' "$1" >"$rc"
}
buttons NLIC
openbox --config-file "$rc" &
wm=$!
sleep 1
"$program" &
app=$!
trap 'kill $app $wm 2>/dev/null || true; rm -f "$rc"' EXIT

# Waits for a window of that title and prints its id.
window_of() {
    for _ in $(seq 50); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1 || true)
        [[ -n "$id" ]] && { echo "$id"; return; }
        sleep 0.2
    done
    echo "no window named $1" >&2
    exit 1
}

# Cuts the window with its frame out of the whole screen.
shoot() {
    local id=$1 file=$2 left right top bottom geometry
    sleep 0.7
    read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS |
        sed -n 's/.*= \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\)/\1 \2 \3 \4/p')
    geometry=$(xwininfo -id "$id" | awk -v l="${left:-0}" -v r="${right:-0}" \
        -v t="${top:-0}" -v b="${bottom:-0}" '
        /Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2}
        END {print w+l+r "x" h+t+b "+" x-l "+" y-t}')
    import -window root -crop "$geometry" +repage "$file"
    echo "$file: $geometry"
}

main=$(window_of "Corvanth Velloquin v1.2")
shoot "$main" "$out/main-window.png"

# The link "How to Backup Skype Contacts" sits at 336, 85 in the window.
xdotool mousemove --window "$main" 380 92 click 1
skype=$(window_of "Skype Contacts Backup")
buttons NLC
openbox --reconfigure
shoot "$skype" "$out/instructions.png"
