#!/usr/bin/env python3
"""tervane-q7 watch at its cadence against tervane-q7-sim, each a process of its own: the CPU
the tool spends per wall second and the drift of its readings from their fixed cadence.

Usage: bench/watch-cpu.py TOOL SIM [READINGS (300)] [INTERVAL_SECONDS (1)]
  bench/watch-cpu.py build/release/src/cli/tervane-q7 build/release/sim/tervane-q7-sim 300 1
"""
import datetime
import json
import resource
import subprocess
import sys
import time


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    tool, sim = sys.argv[1], sys.argv[2]
    readings = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    interval = float(sys.argv[4]) if len(sys.argv) > 4 else 1.0
    device = subprocess.Popen([sim, "--signal-pattern", "peak"], stdout=subprocess.PIPE, text=True)
    try:
        port = device.stdout.readline().strip()
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        watch = subprocess.run([tool, "--port", port, "--json", "watch", "--count", str(readings),
                                "--interval", str(interval)], capture_output=True, text=True, check=True)
        wall = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
    finally:
        device.terminate()
        device.wait()
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    lines = [json.loads(line) for line in watch.stdout.splitlines()]
    times = [datetime.datetime.fromisoformat(line["time"].replace("Z", "+00:00")) for line in lines]
    drift = (times[-1] - times[0]).total_seconds() - (len(times) - 1) * interval
    known = sum(1 for line in lines if line["csq"] is not None)
    print(f"readings {len(lines)} every {interval} s, {known} known")
    print(f"last reading {drift:+.3f} s from {len(lines) - 1} x interval after the first (limit one interval)")
    print(f"tervane-q7 watch CPU {cpu:.3f} s = {100 * cpu / wall:.3f} % of {wall:.1f} s wall "
          "(goal below 1 %; includes start-up and the state query)")
    return 0 if abs(drift) < interval and len(lines) == readings else 1


if __name__ == "__main__":
    sys.exit(main())
