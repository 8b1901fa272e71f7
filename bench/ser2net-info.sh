#!/usr/bin/env bash
# `info` through ser2net on loopback (raw TCP) against the same `info` on the simulator's pty,
# run alternately in one run so that both see the same machine load.
# Usage: bench/ser2net-info.sh TOOL SIMULATOR [ROUNDS]   (ser2net from scripts/install-deps)
set -euo pipefail
tool=$1
sim=$2
rounds=${3:-10}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --link "$work/ttyQ7" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -e "$work/ttyQ7" ] && break; sleep 0.05; done
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
cat >"$work/ser2net.yaml" <<YAML
connection: &q7
  accepter: tcp,127.0.0.1,$port
  connector: serialdev,$work/ttyQ7,115200n81,local
  options:
    kickolduser: false
    max-connections: 1
YAML
ser2net -n -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1',$port)).close()" 2>/dev/null && break
  sleep 0.05
done
# The probe connection above must be gone before the measured ones.
sleep 0.5

run() { local start end; start=$(date +%s%N); "$tool" --port "$1" info >/dev/null; end=$(date +%s%N); echo $(((end - start) / 1000)); }
pty=0
net=0
for _ in $(seq "$rounds"); do
  pty=$((pty + $(run "$work/ttyQ7")))
  net=$((net + $(run "socket://127.0.0.1:$port")))
done
python3 - "$rounds" "$pty" "$net" <<'PY'
import sys
rounds, pty, net = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
print(f"info over {rounds} rounds: pty {pty / rounds / 1000:.1f} ms, ser2net raw TCP {net / rounds / 1000:.1f} ms, ratio {net / pty:.3f}")
PY
