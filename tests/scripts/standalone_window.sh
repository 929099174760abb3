#!/usr/bin/env bash
# The Standalone app in a real window under Xvfb: it opens the editor at its opening size, the
# pointer over the input-trim knob brings up the value bubble, and the app, asked to quit while
# the bubble is shown, closes the editor and exits cleanly.
set -euo pipefail
app="${BRIMWELL_STANDALONE:?path of the built Standalone app}"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export HOME="$work/home"; mkdir -p "$HOME"

# A small X client: finds the app's window, moves the pointer, counts pixels of the bubble's
# text colour.
cat > "$work/pointer.c" <<'C'
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
int main(int argc, char** argv)
{
    Display* d = XOpenDisplay(NULL);
    if (!d) return 2;
    Window root = DefaultRootWindow(d);
    if (strcmp(argv[1], "find") == 0) {
        Window parent, *children = NULL;
        unsigned n = 0;
        XQueryTree(d, root, &root, &parent, &children, &n);
        for (unsigned i = 0; i < n; ++i) {
            XTextProperty name;
            XWindowAttributes a;
            if (XGetWMName(d, children[i], &name) && name.value
                && strcmp((const char*) name.value, argv[2]) == 0
                && XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
                printf("%d %d %d %d\n", a.width, a.height, a.x, a.y);
        }
        XCloseDisplay(d);
        return 0;
    }
    int x = atoi(argv[2]), y = atoi(argv[3]);
    if (strcmp(argv[1], "move") == 0) {
        XWarpPointer(d, None, root, 0, 0, 0, 0, x, y);
        XSync(d, False);
    } else {
        int w = atoi(argv[4]), h = atoi(argv[5]), n = 0;
        XImage* img = XGetImage(d, root, x, y, w, h, AllPlanes, ZPixmap);
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                unsigned long p = XGetPixel(img, i, j);
                int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
                n += abs(r - 0xd7) < 24 && abs(g - 0xcb) < 24 && abs(b - 0xab) < 24;
            }
        printf("%d\n", n);
    }
    XCloseDisplay(d);
    return 0;
}
C
cc -O1 -o "$work/pointer" "$work/pointer.c" -lX11

cat > "$work/session.sh" <<'SESSION'
set -euo pipefail
pointer=$1; app=$2; work=$3
"$pointer" move 0 0
"$app" > "$work/app.out" 2> "$work/app.err" &
pid=$!
# The window first maps small, then takes the editor's size.
width=0; height=0
for _ in $(seq 100); do
    geometry=$("$pointer" find Brimwell | head -1)
    [[ -n "$geometry" ]] && read -r width height left top <<< "$geometry"
    (( width >= 896 && height >= 525 )) && break
    sleep 0.2
done
echo "window ${width}x${height}"
(( width >= 896 && height >= 525 )) || { echo "FAIL: no window holding the editor's 896 x 525"; kill "$pid"; exit 1; }
sleep 2

# The input-trim knob covers editor x 714-790, y 119-194 at this size; below the title bar
# (and any notice the app shows) this point lies on it. Its bubble opens to the right.
knobX=$(( left + 756 )); knobY=$(( top + 200 ))
area="$(( left + 790 )) $(( top + 100 )) 100 160"
before=$("$pointer" count $area)
"$pointer" move "$knobX" "$knobY"
for _ in $(seq 50); do
    sleep 0.2
    after=$("$pointer" count $area)
    (( after > before + 20 )) && break
done
echo "bubble text pixels: $before before, $after with the pointer on the knob"
(( after > before + 20 )) || { echo "FAIL: no value bubble beside the knob"; kill "$pid"; exit 1; }

kill -INT "$pid"
status=0; wait "$pid" || status=$?
(( status == 0 )) || { echo "FAIL: the app exited with $status"; cat "$work/app.err"; exit 1; }
! grep -q "Leaked objects\|JUCE Assertion" "$work/app.err" || { cat "$work/app.err"; echo "FAIL: leak or assertion"; exit 1; }
echo "standalone: opened, showed the bubble, quit cleanly"
SESSION

xvfb-run -a -s "-screen 0 1600x1000x24" bash "$work/session.sh" "$work/pointer" "$app" "$work"
