#!/usr/bin/env bash
# The demo night: writes a simulated night into DEMO_DIR once (with what to type), then runs
# ORVEL there. On a desktop (DISPLAY or WAYLAND_DISPLAY set) the run is the interactive one;
# without a display the same night runs unattended with the coordinates and the star position
# the simulator printed and a patch of sky away from the star, and the results are printed.
#
# Usage: tools/run_demo.sh BUILD_DIR DEMO_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
DEMO=$2

if [[ ! -f $DEMO/what-to-type.txt ]]; then
    rm -rf "$DEMO" && mkdir -p "$DEMO"
    "$BUILD/orvel-simulate" --out "$DEMO" > "$DEMO/what-to-type.txt.tmp"
    mv "$DEMO/what-to-type.txt.tmp" "$DEMO/what-to-type.txt"
fi
echo
cat "$DEMO/what-to-type.txt"
echo

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    cd "$DEMO" && exec "$BUILD/orvel"
fi

# The value after the label of a line of what-to-type.txt, blanks removed.
typed() {
    sed -n "s/^ *$1[^:]*: *//p" "$DEMO/what-to-type.txt" | head -n 1 | tr -d ' '
}
lat=$(typed "Latitude of site")
lon=$(typed "Longitude of site")
ra=$(typed "RA of target star")
dec=$(typed "Dec of target star")
star=$(typed "Star pixel position")
# The demo frames are 640x480 with the star near the centre: this corner is empty sky.
background=100,100
if [[ -z $lat || -z $lon || -z $ra || -z $dec || -z $star ]]; then
    echo "demo: $DEMO/what-to-type.txt does not hold the coordinates and the star; remove $DEMO and try again" >&2
    exit 1
fi

echo "No display: the demo night runs unattended, with the values above typed and the star"
echo "and a patch of sky ($background) picked for you:"
command=(orvel --lat "$lat" --lon "$lon" --ra "$ra" --dec "$dec" --star "$star"
         --background "$background" --graph ORVEL_graph.png --plot ORVEL_plot.png
         --field ORVEL_field.png)
echo "  cd $DEMO && ${command[*]}"
echo
status=0
(cd "$DEMO" && "$BUILD/orvel" "${command[@]:1}") || status=$?
# The night's true k from truth.csv's band table, to set beside the k found above.
truth=$(awk -F, '/^band,k,/ { bands = 1; next } bands && NF >= 2 { printf "%s%s %s", sep, $1, $2; sep = ", " }' "$DEMO/truth.csv")
echo
echo "The night's true k (truth.csv), ln per airmass: $truth"
echo "(a real clear sky's order, blue dimmed most; each k found should lie within about two"
echo "standard errors of it)"
echo
echo "Files written in $DEMO/:"
find "$DEMO" -maxdepth 1 -type f -name 'ORVEL*' -printf '  %f (%s bytes)\n' | sort
echo
echo "On a desktop, \`make demo\` runs the same night interactively: you type the values above"
echo "and pick the star and the sky with the mouse."
echo "Exit status: $status"
exit $status
