#!/usr/bin/env bash
# Builds every fuzz harness in tests/fuzz/*.cpp with clang and libFuzzer
# (AddressSanitizer and UndefinedBehaviorSanitizer on) and runs each for a
# bounded time, starting from its seed corpus in tests/fuzz/corpus/<name>/.
# Not part of the default build or of CI, which use g++.
#
#   scripts/fuzz.sh [SECONDS_PER_HARNESS] [HARNESS ...]
#
# Debian packages: clang and libclang-rt-14-dev (the libFuzzer runtime), the
# development packages the program builds with (qt6-base-dev, libpng-dev,
# libjpeg-dev, libgif-dev). A harness names what it is built with in its
# header comment:
#   // fuzz-sources: src/... .cpp   (program sources, from the repository root)
#   // fuzz-pkg: Qt6Core libpng      (pkg-config packages)
#   // fuzz-libs: -lgif              (further linker flags)
# Inputs found while running go to build-fuzz/corpus/<name>/; crashes are
# written to build-fuzz/ as crash-*, and the script exits non-zero.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
out="$root/build-fuzz"
mkdir -p "$out"

cxx=${CXX_FUZZ:-clang++}
if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "fuzz.sh: $cxx not found; install the Debian packages clang and libclang-rt-14-dev" >&2
  exit 1
fi

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for f in "$root"/tests/fuzz/*.cpp; do
    [ -e "$f" ] && harnesses+=("$(basename "$f" .cpp)")
  done
fi

field() { # field FILE NAME: the value of "// NAME:" in the harness
  sed -n "s|^// $2:[[:space:]]*||p" "$1" | head -n 1
}

status=0
for name in "${harnesses[@]}"; do
  src="$root/tests/fuzz/$name.cpp"
  [ -f "$src" ] || { echo "fuzz.sh: no harness $src" >&2; exit 2; }
  sources=()
  for s in $(field "$src" fuzz-sources); do sources+=("$root/$s"); done
  pkgs=$(field "$src" fuzz-pkg)
  libs=$(field "$src" fuzz-libs)
  cflags=""; ldflags=""
  if [ -n "$pkgs" ]; then
    cflags=$(pkg-config --cflags $pkgs)
    ldflags=$(pkg-config --libs $pkgs)
  fi
  echo "== building $name"
  # shellcheck disable=SC2086
  "$cxx" -std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root/src" -I"$root/sdk/include" $cflags \
    "$src" "${sources[@]}" -o "$out/$name" $ldflags $libs
  corpus="$out/corpus/$name"
  mkdir -p "$corpus"
  seeds="$root/tests/fuzz/corpus/$name"
  echo "== running $name for $seconds s"
  if ! (cd "$out" && "./$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
          "$corpus" $( [ -d "$seeds" ] && echo "$seeds" )); then
    echo "fuzz.sh: $name found a failure (see $out/crash-*)" >&2
    status=1
  fi
done
exit $status
