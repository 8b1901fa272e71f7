#!/usr/bin/env bash
# The tool reaches a simulated gateway through a real ser2net serving its pty as raw TCP on
# loopback: info, a server that is not there, and a second client on a single-connection server.
# Usage: ser2net-raw.sh TOOL SIMULATOR
set -uo pipefail
tool=$1
sim=$2
command -v ser2net >/dev/null || { echo "ser2net is not installed (scripts/install-deps)"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A loopback port nobody listens on, as the system hands it out.
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

# Waits until the path exists or the port takes connections; a bounded number of tries.
wait_for() {
  for _ in $(seq 200); do
    if eval "$1"; then return 0; fi
    sleep 0.05
  done
  return 1
}

"$sim" --link "$work/ttyQ7" >"$work/sim.out" 2>&1 &
pids+=($!)
wait_for "[ -e '$work/ttyQ7' ]" || { echo "the simulator did not start"; exit 1; }

port=$(free_port)
cat >"$work/ser2net.yaml" <<YAML
connection: &q7
  accepter: tcp,127.0.0.1,$port
  connector: serialdev,$work/ttyQ7,115200n81,local
  options:
    kickolduser: false
    max-connections: 1
YAML
ser2net -n -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
pids+=($!)
listening() { python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$port)).close()" 2>/dev/null; }
wait_for listening || { echo "ser2net did not start"; cat "$work/ser2net.log"; exit 1; }
url="socket://127.0.0.1:$port"

# info through the network port.
out=$("$tool" --port "$url" info 2>&1)
status=$?
[ $status -eq 0 ] || fail "info through $url exited $status: $out"
grep -q "^Port: *$url\$" <<<"$out" || fail "info does not name the port: $out"
grep -q "^Serial Number (IMEI): *[0-9]" <<<"$out" || fail "info has no IMEI: $out"

# A server that is not there: exit 3 and the URL named.
gone="socket://127.0.0.1:$(free_port)"
out=$("$tool" --port "$gone" info 2>&1)
status=$?
[ $status -eq 3 ] || fail "a server that is not there exited $status"
grep -q "cannot open $gone: Connection refused" <<<"$out" || fail "no clear error for $gone: $out"

# Two clients on one single-connection server: the second one is kept out with exit 3.
out=$(python3 - "$tool" "$port" "$url" <<'PY'
import socket, subprocess, sys
tool, port, url = sys.argv[1], int(sys.argv[2]), sys.argv[3]
first = socket.create_connection(("127.0.0.1", port))
first.sendall(b"AT\r\n")
first.settimeout(30)
seen = b""
while b"OK" not in seen:
    chunk = first.recv(256)
    if not chunk:
        break
    seen += chunk
second = subprocess.run([tool, "--port", url, "info"], capture_output=True, text=True)
first.close()
print(second.returncode)
print(second.stderr)
PY
)
[ "$(head -1 <<<"$out")" = 3 ] || fail "a second client was not kept out: $out"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
