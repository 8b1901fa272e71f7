#!/usr/bin/env bash
# `info` and a 200 KB Python file up and down through ser2net on loopback, as raw TCP and as
# RFC 2217, against the same on the simulator's pty, run alternately in one run so that all
# see the same machine load.
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
connection: &rfc2217
  accepter: telnet(rfc2217),tcp,127.0.0.1,$telnet
  connector: serialdev,$work/ttyQ7,115200n81,local
  options:
    kickolduser: false
    max-connections: 1
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
info=(0 0 0)
put=(0 0 0)
get=(0 0 0)
for _ in $(seq "$rounds"); do
  for i in 0 1 2; do info[i]=$((info[i] + $(timed --port "${ports[i]}" info))); done
done
for _ in $(seq "$transfers"); do
  for i in 0 1 2; do
    put[i]=$((put[i] + $(timed --port "${ports[i]}" python put "$work/bench.py")))
    get[i]=$((get[i] + $(timed --port "${ports[i]}" python get bench.py "$work/down/bench.py")))
    cmp -s "$work/bench.py" "$work/down/bench.py"
  done
done
python3 - "$rounds" "$transfers" "${names[@]}" "${info[@]}" "${put[@]}" "${get[@]}" <<'PY'
import sys
rounds, transfers = int(sys.argv[1]), int(sys.argv[2])
names = sys.argv[3:6]
info, put, get = ([int(v) for v in sys.argv[6 + 3 * k:9 + 3 * k]] for k in range(3))
for label, sums, count in (("info", info, rounds), ("200 KB python put", put, transfers), ("200 KB python get", get, transfers)):
    cells = ", ".join(f"{name} {total / count / 1000:.1f} ms" + ("" if i == 0 else f" (x{total / sums[0]:.3f})")
                      for i, (name, total) in enumerate(zip(names, sums)))
    print(f"{label} over {count} rounds: {cells}")
PY
