"""CPU per schedule tick and per poll on the host (Release build), each next
to a bare C timer loop that wakes at the same period and does nothing, and
the poll next to its floor, the same two calls as bare HTTP on one socket:
the process's CPU time over many wakeups, the median of a few runs."""
import re
import statistics
import subprocess
from pathlib import Path

RUNS = 3
# (figure, service_cpu mode, wakeups, period in ms)
CASES = [("tick", "tick", 2000, 2), ("poll", "poll", 500, 10)]


def per_wakeup(args):
    out = subprocess.run(args, capture_output=True, text=True, timeout=600)
    match = re.search(r"cpu_us_per_wakeup=([0-9.]+)", out.stdout)
    if out.returncode != 0 or not match:
        raise RuntimeError(f"{' '.join(map(str, args))}: rc={out.returncode} {out.stdout} {out.stderr}")
    return float(match.group(1))


def median_of_runs(args):
    return statistics.median(per_wakeup(args) for _ in range(RUNS))


def collect(build):
    bench = Path(build) / "bench"
    figures = {}
    for name, mode, wakeups, period in CASES:
        print(f"   CPU per {name}: {RUNS} runs of {wakeups} wakeups every {period} ms", flush=True)
        figures[name] = {
            "service_us": median_of_runs([bench / "service_cpu", mode, str(wakeups), str(period)]),
            "bare_us": median_of_runs([bench / "bare_timer_loop", str(period), str(wakeups)]),
            "period_ms": period,
        }
        if name == "poll":
            figures[name]["bare_exchanges_us"] = median_of_runs([bench / "service_cpu", "exchanges", str(wakeups),
                                                                 str(period)])
    return figures
