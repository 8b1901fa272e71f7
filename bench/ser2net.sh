#!/usr/bin/env bash
# `info` and a 200 KB Python file up and down through ser2net on loopback, as raw TCP and as
# RFC 2217, against the same on the simulator's pty, run alternately in one run so that all
# see the same machine load; each figure is the median of its runs.
# Usage: bench/ser2net.sh TOOL SIMULATOR [ROUNDS] [TRANSFER_ROUNDS]   (ser2net from scripts/install-deps)
set -euo pipefail
tool=$1
sim=$2
rounds=${3:-10}
transfers=${4:-2}
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
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'; }
raw=$(free_port)
telnet=$(free_port)
cat >"$work/ser2net.yaml" <<YAML
connection: &raw
  accepter: tcp,127.0.0.1,$raw
  connector: serialdev,$work/ttyQ7,115200n81,local
  options:
    kickolduser: false
    max-connections: 1
    chardelay: false
connection: &rfc2217
  accepter: telnet(rfc2217),tcp,127.0.0.1,$telnet
  connector: serialdev,$work/ttyQ7,115200n81,local
  options:
    kickolduser: false
    max-connections: 1
    chardelay: false
YAML
ser2net -n -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >/dev/null 2>&1 &
pids+=($!)
for port in $raw $telnet; do
  for _ in $(seq 200); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1',$port)).close()" 2>/dev/null && break
    sleep 0.05
  done
done
# The probe connections above must be gone before the measured ones.
sleep 0.5

ports=("$work/ttyQ7" "socket://127.0.0.1:$raw" "rfc2217://127.0.0.1:$telnet")
names=(pty "ser2net raw TCP" "ser2net RFC 2217")
# Microseconds one run of the tool takes.
timed() { local start end; start=$(date +%s%N); "$tool" "$@" >/dev/null; end=$(date +%s%N); echo $(((end - start) / 1000)); }

python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + i // 256) % 256 for i in range(200000)))' >"$work/bench.py"
mkdir -p "$work/down"
# One line per run: kind, port index, microseconds.
: >"$work/times"
for _ in $(seq "$rounds"); do
  for i in 0 1 2; do echo "info $i $(timed --port "${ports[i]}" info)" >>"$work/times"; done
done
for _ in $(seq "$transfers"); do
  for i in 0 1 2; do
    echo "put $i $(timed --port "${ports[i]}" python put "$work/bench.py")" >>"$work/times"
    echo "get $i $(timed --port "${ports[i]}" python get bench.py "$work/down/bench.py")" >>"$work/times"
    cmp -s "$work/bench.py" "$work/down/bench.py"
  done
done
# Medians, so that a run slowed by another program on the machine does not tip the ratio.
python3 - "$work/times" "${names[@]}" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    kind, port, micros = line.split()
    runs.setdefault(kind, {}).setdefault(int(port), []).append(int(micros))
names = sys.argv[2:5]
for kind, label in (("info", "info"), ("put", "200 KB python put"), ("get", "200 KB python get")):
    medians = [statistics.median(runs[kind][i]) for i in range(3)]
    cells = ", ".join(f"{name} {m / 1000:.1f} ms" + ("" if i == 0 else f" (x{m / medians[0]:.3f})")
                      for i, (name, m) in enumerate(zip(names, medians)))
    print(f"{label}, median of {len(runs[kind][0])} runs: {cells}")
PY
