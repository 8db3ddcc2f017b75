#!/usr/bin/env bash
# Pictures of every window in every language, for a person to look at.
#
#   scripts/screenshots.sh [OUTDIR] [-EN -CN ...]
#
# Runs build/tests/pellum-window-gallery under a virtual X display and takes
# one PNG per window and language with ImageMagick's `import`, named
# OUTDIR/<switch>/<window>.png (default OUTDIR: build/screenshots). The
# windows talk to a scripted printer library, never to a printer. Not part of
# the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/screenshots
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then out=$1; shift; fi
gallery=build/tests/pellum-window-gallery

need=()
command -v xvfb-run >/dev/null 2>&1 || need+=(xvfb xauth)
command -v import >/dev/null 2>&1 || need+=(imagemagick)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
if [ ! -x "$gallery" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j2 --target pellum-window-gallery
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Inside the virtual display: start the gallery as a co-process, take a
# picture at every SHOW line and answer it so that the next window comes.
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb OUT="$out" GALLERY="$gallery" \
  bash -c '
    set -euo pipefail
    coproc G { "$GALLERY" "$@" 2>/dev/null; }
    count=0
    while IFS=" " read -r tag lang name wid <&"${G[0]}"; do
      [ "$tag" = SHOW ] || continue
      mkdir -p "$OUT/$lang"
      import -window "$wid" "$OUT/$lang/$name.png" 2>/dev/null ||
        import -window root "$OUT/$lang/$name.png"
      count=$((count + 1))
      echo next >&"${G[1]}"
    done
    echo "$count pictures in $OUT"
  ' gallery "$@"
