#!/usr/bin/env bash
# Takes the README screenshots: the program under Xvfb with trayer as the task tray, showing a receive
# box of three Japanese mails; then the send box with a mail in each of the four states; then
# minimises the window and takes the tray with the program's icon, the envelope with the red dot of
# unread mail; then a mail arrives while the window is in the tray, and the tray's notification
# balloon names it. Builds nothing.
#
#   scripts/screenshot.sh [PROGRAM] [OUTPUT] [TRAY_OUTPUT]
#       defaults: build/default/src/varnel docs/screenshot.png docs/screenshot-tray.png
#       (TRAY_OUTPUT defaults to OUTPUT with -tray before .png; the send box and the notification
#       go to OUTPUT with -sendbox and -notify before .png)
#
# Prints the paths of all four pictures. Needs xvfb-run, trayer, xdotool, imagemagick, iconv, python3 and
# the IPA Gothic font (fonts-ipafont-gothic). As root the program runs in a network namespace of its
# own with only loopback, as machine KOBU-PC beside three listed colleagues that nothing can reach;
# otherwise under this machine's own name with no other machine listed.
set -euo pipefail
SCRIPT=$(realpath "$0")
ROOT=$(dirname "$(dirname "$SCRIPT")")

if [ "${1:-}" != "--inner" ]; then
    PROGRAM=$(realpath -m "${1:-$ROOT/build/default/src/varnel}")
    OUTPUT=$(realpath -m "${2:-$ROOT/docs/screenshot.png}")
    TRAY_OUTPUT=$(realpath -m "${3:-${OUTPUT%.png}-tray.png}")
    [ -x "$PROGRAM" ] || { echo "no program at $PROGRAM (build it first)" >&2; exit 1; }
    for tool in xvfb-run trayer xdotool import convert iconv python3; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed (scripts/deps.sh)" >&2; exit 1; }
    done
    mkdir -p "$(dirname "$OUTPUT")" "$(dirname "$TRAY_OUTPUT")"
    W=$(mktemp -d /tmp/varnel-shot.XXXXXX)
    trap 'rm -rf "$W"' EXIT
    if [ "$(id -u)" -eq 0 ] && unshare --net --uts true 2>/dev/null; then
        unshare --net --uts -- "$BASH" "$SCRIPT" --inner "$PROGRAM" "$OUTPUT" "$TRAY_OUTPUT" "$W" KOBU-PC
    else
        "$BASH" "$SCRIPT" --inner "$PROGRAM" "$OUTPUT" "$TRAY_OUTPUT" "$W" "$(hostname)"
    fi
    echo "$OUTPUT"
    echo "${OUTPUT%.png}-sendbox.png"
    echo "${OUTPUT%.png}-compose.png"
    echo "$TRAY_OUTPUT"
    echo "${OUTPUT%.png}-notify.png"
    exit 0
fi

# Inside the namespace (or plainly, when not root): prepare the user folders and take the picture.
PROGRAM=$2
OUTPUT=$3
TRAY_OUTPUT=$4
W=$5
SELF=$6
if [ "$SELF" = KOBU-PC ]; then
    hostname KOBU-PC
    ip link set lo up
fi

export HOME=$W/home XDG_CONFIG_HOME=$W/config XDG_DATA_HOME=$W/data XDG_CACHE_HOME=$W/cache
export XDG_RUNTIME_DIR=$W/run DBUS_SESSION_BUS_ADDRESS=disabled: DBUS_SYSTEM_BUS_ADDRESS=unix:path=$W/nobus
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
mkdir -p "$HOME" "$XDG_CONFIG_HOME/kobu" "$XDG_DATA_HOME/kobu/varnel" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[General]\nWorkgroup=OFFICE\nPopup=0\n' >"$XDG_CONFIG_HOME/kobu/varnel.conf"
{
    echo "# colleagues (unreachable from this namespace) and this machine"
    if [ "$SELF" = KOBU-PC ]; then
        printf 'OFFICE YAMADA 10.231.0.11\nOFFICE SUZUKI 10.231.0.12\nOFFICE TANAKA 10.231.0.13\n'
        printf 'SALES SATO 10.231.0.21\nSALES ITO 10.231.0.22\n'
    fi
    printf 'OFFICE %s 127.0.0.1\n' "$SELF"
} >"$XDG_CONFIG_HOME/kobu/network.txt"

# One record in CP932: letter, title, sender, recipient, sendTime, readTime, body lines.
record() {
    local letter=$1 field line
    shift
    printf '\a%s' "$letter"
    for field in "$1" "$2" "$3" "$4" "$5"; do
        # A field must not hold the separator byte 0x5C, also not as a second byte in CP932.
        if printf '%s' "$field" | iconv -f UTF-8 -t CP932 | grep -q '\\'; then
            echo "field '$field' holds byte 0x5C in CP932" >&2
            exit 1
        fi
        printf '\\%s' "$field"
    done
    printf '\b'
    shift 5
    for line in "$@"; do printf '%s\r\n' "$line"; done
}
{
    record G "会議のお知らせ" YAMADA "$SELF" "2024/05/01 9:12:40" "" \
        "明日10時から第2会議室で定例会議を行います。" "資料は各自ご持参ください。" "" "山田"
    record G "昼食のご案内" SUZUKI "$SELF" "2024/05/01 8:55:02" "" \
        "新しいお弁当屋さんのメニューです。" "注文は11時までにお願いします。"
    record R "来週の打ち合わせ" TANAKA "$SELF" "2024/04/30 17:20:15" "2024/04/30 17:45:10" \
        "来週の打ち合わせは水曜日の午後でいかがでしょうか。"
} | iconv -f UTF-8 -t CP932 >"$XDG_DATA_HOME/kobu/varnel/vnread.txt"
# The send box: one mail in each state, newest first: saved (K), sent (S), delivered (G), read (R).
{
    record K "議事録の下書き" "$SELF" SUZUKI "2024/05/01 12:20:03" "" "あとで送ります。"
    record S "資料を送ります" "$SELF" YAMADA "2024/05/01 11:05:41" "" "よろしくお願いします。"
    record G "出張のご報告" "$SELF" TANAKA "2024/04/30 16:48:27" "" "大阪出張の報告です。"
    record R "会議室の手配" "$SELF" SATO "2024/04/30 10:02:55" "2024/04/30 10:15:09" "第2会議室を押さえました。"
} | iconv -f UTF-8 -t CP932 >"$XDG_DATA_HOME/kobu/varnel/vnsend.txt"
# The mail that arrives while the window is in the tray, sent as one datagram with its zero byte.
record S "明日の来客" YAMADA "$SELF" "2024/05/01 13:30:12" "" "明日10時にお客様がいらっしゃいます。" |
    iconv -f UTF-8 -t CP932 >"$W/arrival.bin"

# Minimises a window as a window manager would: WM_STATE (of type WM_STATE) set to IconicState. Plain
# Xvfb has no window manager, so `xdotool windowminimize` only sends a request nobody answers, and
# xprop can write WM_STATE only with the type CARDINAL, which Qt ignores.
cat >"$W/iconify.py" <<'PY'
import ctypes
import sys
from ctypes import c_char_p, c_int, c_long, c_ulong, c_void_p

x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = c_void_p
x.XOpenDisplay.argtypes = [c_char_p]
x.XInternAtom.restype = c_ulong
x.XInternAtom.argtypes = [c_void_p, c_char_p, c_int]
x.XChangeProperty.argtypes = [c_void_p, c_ulong, c_ulong, c_ulong, c_int, c_int, c_void_p, c_int]
x.XCloseDisplay.argtypes = [c_void_p]
display = x.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
wm_state = x.XInternAtom(display, b"WM_STATE", 0)
ICONIC, NO_ICON_WINDOW, PROP_MODE_REPLACE = 3, 0, 0
data = (c_long * 2)(ICONIC, NO_ICON_WINDOW)
x.XChangeProperty(display, int(sys.argv[1]), wm_state, wm_state, 32, PROP_MODE_REPLACE, data, 2)
x.XCloseDisplay(display)  # flushes the request
PY

SENDBOX_OUTPUT=${OUTPUT%.png}-sendbox.png
NOTIFY_OUTPUT=${OUTPUT%.png}-notify.png
COMPOSE_OUTPUT=${OUTPUT%.png}-compose.png
export PROGRAM OUTPUT TRAY_OUTPUT SENDBOX_OUTPUT NOTIFY_OUTPUT COMPOSE_OUTPUT W ROW_Y=${ROW_Y:-87}
xvfb-run -a -s "-screen 0 1024x640x24 -nolisten tcp -ac" bash -c '
    set -u
    trayer --edge top --align right --height 24 --widthtype request --transparent true \
        --alpha 0 --tint 0xd4d0c8 >/dev/null 2>&1 &
    T=$!
    for i in $(seq 100); do xdotool search --classname trayer >/dev/null 2>&1 && break; sleep 0.05; done
    "$PROGRAM" >"$XDG_RUNTIME_DIR/program.log" 2>&1 &
    P=$!
    WIN=""
    for i in $(seq 100); do
        WIN=$(xdotool search --onlyvisible --name "^Varnel for Windows95" 2>/dev/null | head -n 1) && [ -n "$WIN" ] && break
        sleep 0.1
    done
    if [ -z "$WIN" ]; then
        echo "the main window did not appear" >&2
        cat "$XDG_RUNTIME_DIR/program.log" >&2
        kill $P $T; wait; exit 1
    fi
    xdotool windowmove "$WIN" 16 28
    sleep 1
    # The window with a margin of 16 pixels on its right and below, as the picture shows it.
    shoot() {
        local X Y WIDTH HEIGHT SCREEN WINDOW
        eval "$(xdotool getwindowgeometry --shell "$WIN")"
        import -window root "$W/root.png"
        convert "$W/root.png" -crop "$((X + WIDTH + 16))x$((Y + HEIGHT + 16))+0+0" +repage "$1"
    }
    # Positions in the window: the menu bar is about 18 pixels high, the tool bar beneath it; the
    # tree opens with its workgroups open.
    # The tool button "受信BOX", then the first mail of the list, whose text then shows below.
    xdotool mousemove --window "$WIN" 188 38 click 1
    sleep 1
    xdotool mousemove --window "$WIN" 200 "$ROW_Y" click 1
    sleep 1.5
    xdotool mousemove 1000 620
    shoot "$OUTPUT"

    # The tool button "送信BOX": four mails, one in each state, with their full times, in a window
    # widened so that the titles show whole as well.
    xdotool mousemove --window "$WIN" 164 38 click 1
    xdotool windowsize "$WIN" 770 510
    sleep 1
    xdotool mousemove 1000 620
    shoot "$SENDBOX_OUTPUT"

    # The tool button "メッセージ作成": a new mail to YAMADA and SUZUKI (double-clicks in the tree,
    # the first asks for the title), its text typed.
    xdotool mousemove --window "$WIN" 212 38 click 1
    sleep 0.5
    xdotool mousemove --window "$WIN" 64 80 click --repeat 2 --delay 80 1
    TITLE=""
    for i in $(seq 50); do
        TITLE=$(xdotool search --onlyvisible --name "タイトル入力" 2>/dev/null | head -n 1) && [ -n "$TITLE" ] && break
        sleep 0.1
    done
    [ -n "$TITLE" ] && xdotool windowfocus --sync "$TITLE"
    sleep 0.5
    xdotool type --delay 40 "来週の打ち合わせ"
    sleep 0.3
    xdotool key Return
    sleep 0.5
    xdotool mousemove --window "$WIN" 64 93 click --repeat 2 --delay 80 1
    sleep 0.5
    xdotool mousemove --window "$WIN" 400 400 click 1
    xdotool type --delay 20 "水曜日の午後2時からでいかがでしょうか。"
    sleep 0.5
    xdotool mousemove 1000 620
    shoot "$COMPOSE_OUTPUT"

    # Minimised, the window goes to the tray: it hides only once its icon is really in the tray.
    if ! python3 "$W/iconify.py" "$WIN"; then
        echo "could not minimise the main window" >&2
        kill $P $T; wait; exit 1
    fi
    for i in $(seq 50); do
        xdotool search --onlyvisible --name "^Varnel for Windows95" >/dev/null 2>&1 || break
        sleep 0.1
    done
    if xdotool search --onlyvisible --name "^Varnel for Windows95" >/dev/null 2>&1; then
        echo "the minimised main window did not go to the tray" >&2
        cat "$XDG_RUNTIME_DIR/program.log" >&2
        kill $P $T; wait; exit 1
    fi
    sleep 1.5
    # The top-right corner of the screen holds trayer; enlarged three times, pixel for pixel.
    import -window root "$W/root-tray.png"
    convert "$W/root-tray.png" -gravity NorthEast -crop 120x32+0+0 +repage -scale 300% "$TRAY_OUTPUT"

    # A mail arrives while the window is in the tray: the next mail check names it in a balloon.
    python3 -c "import socket, sys; socket.socket(socket.AF_INET, socket.SOCK_DGRAM).sendto(open(sys.argv[1], \"rb\").read() + b\"\\0\", (\"127.0.0.1\", 20595))" "$W/arrival.bin"
    sleep 3.5
    import -window root "$W/root-notify.png"
    convert "$W/root-notify.png" -gravity NorthEast -crop 300x110+0+0 +repage -scale 200% "$NOTIFY_OUTPUT"
    kill $P $T
    wait
    # The unread picture carries a red dot: without red in the corner the icon did not render.
    RED=$(convert "$TRAY_OUTPUT" -fuzz 25% -fill black +opaque red -fill white -opaque red \
        -format "%[fx:round(mean*w*h)]" info:)
    if [ "$RED" -eq 0 ]; then
        echo "no unread-mail icon in the tray picture $TRAY_OUTPUT" >&2
        exit 1
    fi
'
