#!/usr/bin/env bash
# Installs what is missing, builds, and starts Pellum Printer Utility.
#
# With no printer configured yet (build/bin/files/PrinterList.txt missing),
# a virtual printer for the first model of the catalogue is started on
# 127.0.0.1 and the printer list gets one entry pointing at it, so every
# function can be tried at once. The virtual printer stops when the program
# exits. Arguments are handed to the program (-EN, -CN, -TW pick the language).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh

bin="$PWD/build/bin"
list="$bin/files/PrinterList.txt"
vp_pid=""
cleanup() { [ -n "$vp_pid" ] && kill "$vp_pid" 2>/dev/null || true; }
trap cleanup EXIT

demo_port=19100
# The demo printer list: every entry points at the virtual printer's address.
is_demo_list() {
  [ ! -s "$list" ] && return 0
  ! grep -v '^[[:space:]]*$' "$list" | grep -qv "|NET|NET,127.0.0.1:"
}

if is_demo_list && [ -x "$bin/pellum-virtual-printer" ]; then
  model=$(grep -v '^[[:space:]]*$' "$bin/files/CompanyPrinterList_Label.txt" | head -n 1 | tr -d '\r')
  out=$(mktemp)
  # One state file per model: a virtual printer refuses another model's state.
  state="$bin/files/virtual-printer-$(printf '%s' "$model" | tr -c 'A-Za-z0-9' '-').state"
  start_vp() {
    "$bin/pellum-virtual-printer" --model "$model" --listen "127.0.0.1:$1" \
        --state "$state" --journal "$bin/files/virtual-printer.journal" >"$out" 2>&1 &
    vp_pid=$!
    for _ in $(seq 50); do grep -q '^LISTEN ' "$out" && return 0; kill -0 "$vp_pid" 2>/dev/null || return 1; sleep 0.1; done
    return 1
  }
  start_vp "$demo_port" || start_vp 0 || true
  addr=$(sed -n 's/^LISTEN //p' "$out" | head -n 1)
  if [ -n "$addr" ]; then
    if [ ! -s "$list" ] || ! grep -q "NET,$addr" "$list"; then
      printf '%s|NET|NET,%s\r\n' "$model" "$addr" >"$list"
    fi
    echo "Virtual printer for $model listening on $addr (journal: $bin/files/virtual-printer.journal)"
  else
    echo "The virtual printer did not start; continuing without it." >&2
    vp_pid=""
  fi
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting on a virtual X display (xvfb-run)." >&2
  exec_prefix=(xvfb-run -a)
else
  exec_prefix=()
fi
"${exec_prefix[@]}" "$bin/pellum-utility" "$@"
