#!/usr/bin/env bash
# The tool reaches a simulated gateway through a real ser2net serving its pty on loopback, as
# raw TCP (socket://) or as telnet with the Com Port option (rfc2217://): info, settings set
# with its read-back, a 200 KB Python file up and down byte for byte (0xFF among its bytes),
# a firmware update and a factory reset across the device's restart, a server that is not
# there, and a second client on a single-connection server.
# Usage: ser2net.sh raw|rfc2217 TOOL SIMULATOR
set -uo pipefail
mode=$1
tool=$2
sim=$3
command -v ser2net >/dev/null || { echo "ser2net is not installed (scripts/install-deps)"; exit 1; }
case $mode in
  raw) scheme=socket; accepter=tcp ;;
  rfc2217) scheme=rfc2217; accepter="telnet(rfc2217),tcp" ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac

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

# The device stays away 4 s on a restart: longer than the silence after which the link looks
# whether a server that kept the connection still has the port, as a real gateway's restart is.
"$sim" --link "$work/ttyQ7" --restart-delay 4000 >"$work/sim.out" 2>&1 &
pids+=($!)
wait_for "[ -e '$work/ttyQ7' ]" || { echo "the simulator did not start"; exit 1; }

port=$(free_port)
cat >"$work/ser2net.yaml" <<YAML
connection: &q7
  accepter: $accepter,127.0.0.1,$port
  connector: serialdev,$work/ttyQ7,115200n81,local
  options:
    kickolduser: false
    max-connections: 1
    chardelay: false
YAML
ser2net -n -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
pids+=($!)
listening() { python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$port)).close()" 2>/dev/null; }
wait_for listening || { echo "ser2net did not start"; cat "$work/ser2net.log"; exit 1; }
url="$scheme://127.0.0.1:$port"

# Runs the tool on the network port; its output in $out, its exit status in $status.
run() {
  out=$("$tool" --port "$url" "$@" 2>&1)
  status=$?
}
json() { python3 -c "import json,sys; d=json.load(sys.stdin); print(eval(sys.argv[1]))" "$1" <<<"$out"; }

# info through the network port.
run info
[ $status -eq 0 ] || fail "info through $url exited $status: $out"
grep -q "^Port: *$url\$" <<<"$out" || fail "info does not name the port: $out"
grep -q "^Serial Number (IMEI): *[0-9]" <<<"$out" || fail "info has no IMEI: $out"

# settings set: applied, and what the device kept read back.
run --json settings set mobile_simple/apn=bench.example "system/location=Rack 3 <left> & \"top\""
[ $status -eq 0 ] || fail "settings set exited $status: $out"
[ "$(json 'd["requests"][0]["kept"]')" = bench.example ] || fail "the APN was not read back: $out"
[ "$(json 'd["requests"][1]["asRequested"]')" = True ] || fail "the location was not kept: $out"
run settings get mobile_simple/apn
grep -q "bench.example" <<<"$out" || fail "settings get does not show the new APN: $out"

# A 200 KB Python file with every byte value (0xFF, the telnet escape, among them) up and down.
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + i // 256) % 256 for i in range(200000)))' >"$work/big.py"
run python put "$work/big.py"
[ $status -eq 0 ] || fail "python put of 200 KB exited $status: $out"
mkdir -p "$work/down"
run python get big.py "$work/down/big.py"
[ $status -eq 0 ] || fail "python get of 200 KB exited $status: $out"
cmp -s "$work/big.py" "$work/down/big.py" || fail "the 200 KB file came back different"

# A firmware update: the device restarts while ser2net keeps the connection.
head -c 6000 "$work/big.py" >"$work/q7-2.5.0.3.bin"
run --json firmware "$work/q7-2.5.0.3.bin"
[ $status -eq 0 ] || fail "firmware across the restart exited $status: $out"
[ "$(json 'd["installed"]')" = True ] || fail "the firmware was not installed: $out"
[ "$(json 'd["firmwareVersion"]')" = 2.5.0.3 ] || fail "the new version was not read after the restart: $out"

# A factory reset: the commands after the restart reach the device once it is back.
run --json --yes factory-reset
[ $status -eq 0 ] || fail "factory-reset across the restart exited $status: $out"
run settings get mobile_simple/apn
grep -q "bench.example" <<<"$out" && fail "the factory reset did not reach the device: $out"

# A server that is not there: exit 3 and the URL named.
gone="$scheme://127.0.0.1:$(free_port)"
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
grep -q "cannot open $url: the server closed the connection at once" <<<"$out" || fail "no clear error for a second client: $out"

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
