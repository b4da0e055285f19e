#!/usr/bin/env bash
# Takes the README's pictures of a real run: tarnix from the build tree on a
# virtual X display, translating one sentence through tarnix-service on
# 127.0.0.1:7317, with a language button hovered so its translation shows.
#
# Usage: packaging/screenshot.sh [--start-only] [BUILD_DIR]
#   BUILD_DIR     the build tree holding app/tarnix and service/tarnix-service
#                 (default: build)
#   --start-only  no run: only the window as it starts (for a build without
#                 the service)
# Writes docs/screenshot.png (the hovered result) and docs/run.gif (the run
# step by step). A service already answering on port 7317 (for example the
# user unit) is used as it is; otherwise the build tree's one is started.
# Needs the Debian packages xvfb, xauth, xdotool and imagemagick.
#
# The click positions below are measured on the window at its own size with
# Debian 12's default fonts; after a layout change, take one picture with
# --start-only and measure them again.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")

if [ "${1:-}" != "--on-display" ]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24 -wr" "$0" --on-display "$@"
fi
shift

start_only=""
if [ "${1:-}" = "--start-only" ]; then
    start_only=1
    shift
fi
build=$(realpath "${1:-$repo/build}")
docs=$repo/docs
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

text="Welcome to the new version of the program."
# The target languages of the run; every other check box is cleared.
keep="es fr it pt"
hover=es

# Positions relative to the window's top-left corner.
text_edit="218 100"
i18n_label="360 164 60 12" # a strip of the "Generate i18n" label: x y w h
translate_btn="218 164"
declare -A check_box button
codes=(en zh_CN zh_TW es fr ru uk de ja kr it po ro pt ar iw tr id hi vi fa)
for i in "${!codes[@]}"; do
    col=$((i % 3)) row=$((i / 3))
    x_box=(28 134 280) x_btn=(80 206 354)
    y=$((221 + 28 * row))
    check_box[${codes[$i]}]="${x_box[$col]} $y"
    button[${codes[$i]}]="${x_btn[$col]} $y"
done

port_open() { (exec 3<>/dev/tcp/127.0.0.1/7317) 2>/dev/null; }

if [ -z "$start_only" ] && ! port_open; then
    "$build/service/tarnix-service" &
    pids+=($!)
    for _ in $(seq 1 120); do port_open && break; sleep 0.25; done
    port_open || { echo "tarnix-service does not answer on 127.0.0.1:7317" >&2; exit 1; }
fi

"$build/app/tarnix" &
tarnix=$!
pids+=($tarnix)
window=""
for _ in $(seq 1 40); do
    window=$(xdotool search --name "Tarnix 1.0" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.25
done
[ -n "$window" ] || { echo "the window \"Tarnix 1.0\" did not appear" >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"

click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep 0.2; }
hover_at() { xdotool mousemove $((X + $1)) $((Y + $2)); }
# Each picture is taken of the whole screen first, then cut to a box around
# every window the program has shown until then (tooltips included): the
# screenshot at once, the animation's frames at the end, all to one size.
left=$X top=$Y right=$((X + WIDTH)) bottom=$((Y + HEIGHT))
snap() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$tarnix" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" | sed 's/^/w_/')"
        ((w_X < left)) && left=$w_X
        ((w_Y < top)) && top=$w_Y
        ((w_X + w_WIDTH > right)) && right=$((w_X + w_WIDTH))
        ((w_Y + w_HEIGHT > bottom)) && bottom=$((w_Y + w_HEIGHT))
    done
    import -window root "$work/$1.png"
}
cut() {
    local m=16
    convert "$work/$1.png" -crop $((right - left + 2 * m))x$((bottom - top + 2 * m))+$((left - m))+$((top - m)) \
        +repage "$2"
}
# Mean brightness of the "Generate i18n" label: its text turns from grey to
# black when the run has finished and the button is enabled.
i18n_brightness() {
    set -- $i18n_label
    import -window root -crop "$3x$4+$((X + $1))+$((Y + $2))" +repage -colorspace gray -format "%[fx:mean]" info:
}

mkdir -p "$docs"
if [ -n "$start_only" ]; then
    snap 0
    cut 0 "$docs/screenshot.png"
    echo "wrote $docs/screenshot.png (the starting window)"
    exit 0
fi

# 1. The text, and only the languages of the run ticked.
click $text_edit
xdotool type --delay 40 "$text"
for code in "${codes[@]}"; do
    case " $keep en " in *" $code "*) ;; *) click ${check_box[$code]} ;; esac
done
hover_at $translate_btn
sleep 0.5
snap 1

# 2. Translate, and wait until the run has finished.
idle=$(i18n_brightness)
click $translate_btn
sleep 0.3
snap 2
for _ in $(seq 1 240); do
    awk -v now="$(i18n_brightness)" -v idle="$idle" 'BEGIN { exit !(now < idle - 0.05) }' && break
    sleep 0.25
done
awk -v now="$(i18n_brightness)" -v idle="$idle" 'BEGIN { exit !(now < idle - 0.05) }' \
    || { echo "the run did not finish within a minute" >&2; exit 1; }

# 3. Each language's translation in the tooltip of its button.
hover_at ${button[$hover]}
sleep 1.5
snap 3
cut 3 "$docs/screenshot.png"
n=4
for code in $keep; do
    [ "$code" = "$hover" ] && continue
    hover_at ${button[$code]}
    sleep 1.5
    snap $n
    n=$((n + 1))
done

frames=()
for ((i = 1; i < n; i++)); do
    cut $i "$work/cut-$i.png"
    frames+=("$work/cut-$i.png")
done
convert -delay 180 -loop 0 "${frames[@]}" -layers Optimize "$docs/run.gif"
echo "wrote $docs/screenshot.png and $docs/run.gif"
