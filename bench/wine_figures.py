"""Figures of the real service under Wine, next to a minimal service built
for the comparison and installed in the same prefix: memory after start and
after the polls, control latency idle and with a hung central server, the
executable's size and imports.

Memory is that of the Wine process of each service, read from Linux:
VmRSS of /proc/<pid>/status (resident) and Anonymous of
/proc/<pid>/smaps_rollup (private: heap, stacks and written pages, the
nearest to Windows' private bytes; Private_* would count a shared DLL page
as this process's own as soon as other Wine processes stop mapping it).
Control latency is timed inside the prefix by control_latency.exe, from
the request that "sc start" or "sc stop" sends to the state RUNNING or
STOPPED, so Wine's start-up of the timing program itself is not counted. The prefix and the central server are the
shared harness's (TAV_E2E_WORK, TAV_E2E_HOST).
"""
import re
import shutil
import statistics
import subprocess
import time
from pathlib import Path

from harness import (APP, BUILD, EXE_NAME, EXE_WIN, PREFIX, RUNNING, SERVICE, CentralServer,
                     Report, all_settings, end_wine, launches, processes_of, reg_import, resident_kib,
                     service_processes, set_up, state, trace_entries, trace_size, wait_for, wine, WORK)

MINIMAL = "TavMinimalService"
MINIMAL_EXE = "minimal_service.exe"
# The same with a timer on a message-only window: what user32 adds.
WINDOW = "TavMinimalWindowService"
WINDOW_EXE = "minimal_window_service.exe"
BASELINES = {"minimal": (MINIMAL, MINIMAL_EXE), "window": (WINDOW, WINDOW_EXE)}
TOOLS = PREFIX / "drive_c" / "bench"
TOOLS_WIN = "C:\\bench"
# A pending request that names another company: the poll does all its work
# and launches nothing.
REQUEST_FOR_OTHERS = "17|98.765.432/0001-10|S1|10/12/2026"
LATENCY_ROUNDS = 3
SETTLE_S = 15  # past the first schedule tick, 10 s after the start


def say(text):
    print(f"   {text}", flush=True)


def memory_kib(pid):
    rss = resident_kib(pid)
    rollup = Path(f"/proc/{pid}/smaps_rollup").read_text()
    private = int(re.search(r"^Anonymous:\s+(\d+) kB", rollup, re.M).group(1))
    return {"rss": rss, "private": private}


def one_process(finder, what):
    pids = wait_for(finder, 20)
    if not pids or len(pids) != 1:
        raise RuntimeError(f"expected one process of {what}, found {pids}")
    return pids[0]


def all_memories():
    found = {"service": memory_kib(one_process(service_processes, SERVICE))}
    for key, (name, exe) in BASELINES.items():
        found[key] = memory_kib(one_process(lambda: processes_of(exe), name))
    return found


def control_ms(action, name, timeout_ms=30000):
    rc, out, err = wine(f"{TOOLS_WIN}\\control_latency.exe", action, name, str(timeout_ms),
                        timeout=timeout_ms / 1000 + 60)
    match = re.search(r"ms=([0-9.]+)", out)
    if rc != 0 or not match:
        raise RuntimeError(f"{action} {name}: rc={rc} {out.strip()} {err.strip()}")
    return float(match.group(1))


def latency_rounds(name):
    """Median of a few start and stop rounds of an idle service."""
    starts, stops = [], []
    for _ in range(LATENCY_ROUNDS):
        starts.append(control_ms("start", name))
        time.sleep(2)
        stops.append(control_ms("stop", name))
        time.sleep(1)
    say(f"{name}: start {starts} ms, stop {stops} ms")
    return statistics.median(starts), statistics.median(stops)


def imports(exe):
    out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(exe)], capture_output=True, text=True,
                         check=True).stdout
    return sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", out)})


def stripped_bytes(exe):
    stripped = WORK / (exe.stem + ".stripped.exe")
    subprocess.run(["x86_64-w64-mingw32-strip", "-o", str(stripped), str(exe)], check=True)
    return stripped.stat().st_size


def system_dlls():
    return {p.name.lower() for p in (PREFIX / "drive_c" / "windows" / "system32").iterdir()}


def install(report, server):
    TOOLS.mkdir(parents=True, exist_ok=True)
    for tool in (MINIMAL_EXE, WINDOW_EXE, "control_latency.exe"):
        shutil.copy(BUILD / "bench" / tool, TOOLS / tool)
    for name, exe in BASELINES.values():
        rc, out, err = wine("sc", "create", name, "binpath=", f"{TOOLS_WIN}\\{exe}")
        report.check(f"{name} installed with sc", rc == 0, f"rc={rc} {out} {err}")
    rc, _, err = wine(EXE_WIN, "/INSTALL", "/SILENT")
    report.check("service installed", rc == 0, f"rc={rc} {err}")
    # One enabled hour, far from now: the schedule ticks and launches nothing.
    report.check("settings written", reg_import(all_settings({(time.localtime().tm_hour + 12) % 24})))
    server.answer({"TestaConexao": {"return": "OK"}, "BuscaSolic": {"return": REQUEST_FOR_OTHERS}})
    report.check("central server started", server.start())


def wait_for_poll(server, count, started):
    """Until the count-th poll has asked BuscaSolic and had time to end."""
    limit = 60 * (count + 1) + 30 - (time.monotonic() - started)
    done = wait_for(lambda: len(server.posts("BuscaSolic")) >= count, max(limit, 10), step=1)
    time.sleep(3)
    return bool(done)


def measure(report, server, polls):
    figures = {}
    report.begin("control latency, both services idle")
    figures["start_idle_ms"], figures["stop_idle_ms"] = latency_rounds(SERVICE)
    figures["minimal_start_idle_ms"], figures["minimal_stop_idle_ms"] = latency_rounds(MINIMAL)

    report.begin(f"footprint: both running, {polls} polls of the central server (one a minute)")
    control_ms("start", MINIMAL)
    control_ms("start", WINDOW)
    control_ms("start", SERVICE)
    started = time.monotonic()
    service_pid = state()[1]
    mark = trace_size()
    time.sleep(SETTLE_S)
    figures["after_start"] = all_memories()
    say(f"after start: {figures['after_start']}")
    for poll in range(1, polls + 1):
        done = wait_for_poll(server, poll, started)
        report.check(f"poll {poll} of {polls} done (at {time.monotonic() - started:.0f} s)", done)
        if poll == min(3, polls):
            figures["after_3_polls"] = all_memories()
            say(f"after poll {poll}: {figures['after_3_polls']}")
    figures["after_all_polls"] = all_memories()
    say(f"after poll {polls}: {figures['after_all_polls']}")
    report.check("still running, same process", state() == (RUNNING, service_pid), state())
    report.check("no launch for a request naming another company", not launches("ok SERVICO"))
    report.check("no event-log entry from the service", [e for e in trace_entries(mark) if e[0] == service_pid] == [],
                 trace_entries(mark))

    report.begin("control latency with a hung central server")
    server.answer({"TestaConexao": {"hang": True}})
    asked = len(server.posts("TestaConexao"))
    say("waiting for the next poll to hang on the server")
    report.check("the poll waits on the server",
                 wait_for(lambda: len(server.posts("TestaConexao")) > asked, 90, step=0.5))
    time.sleep(1)
    figures["stop_hung_ms"] = control_ms("stop", SERVICE)
    report.check("its process has ended", wait_for(lambda: not service_processes(), 10), service_processes())
    figures["start_hung_ms"] = control_ms("start", SERVICE)
    time.sleep(2)
    control_ms("stop", SERVICE)
    control_ms("stop", MINIMAL)
    control_ms("stop", WINDOW)
    say(f"stop during the hung poll {figures['stop_hung_ms']} ms, start {figures['start_hung_ms']} ms")
    return figures


def executables():
    system = system_dlls()
    found = {}
    for key, exe in (("service", APP / EXE_NAME), ("minimal", TOOLS / MINIMAL_EXE)):
        dlls = imports(exe)
        found[key] = {"bytes": exe.stat().st_size, "stripped_bytes": stripped_bytes(exe), "dlls": dlls, "foreign": [d for d in dlls if d not in system]}
    return found


def clean_up(report, server):
    wine(EXE_WIN, "/UNINSTALL", "/SILENT")
    for name, _ in BASELINES.values():
        wine("sc", "delete", name)
    end_wine(report, server)


def collect(polls):
    """All the Wine figures, and the checks that must hold for them to count."""
    report = Report()
    server = None
    figures = {}
    try:
        set_up(report)
        server = CentralServer()
        install(report, server)
        figures = measure(report, server, polls)
        figures["executables"] = executables()
    except Exception as e:  # a broken step fails the run, and the clean-up still runs
        report.check("measurement ran to its end", False, repr(e))
    finally:
        clean_up(report, server or CentralServer())
    figures["failed_checks"] = [f"{s}: {w} {d}" for s, w, ok, d in report.cases if not ok]
    return figures
