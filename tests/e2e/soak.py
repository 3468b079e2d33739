#!/usr/bin/env python3
"""The hostile-server soak: the real SrvBackupVostrani.exe under Wine, poll
after poll against a central server that misbehaves (hostile_server.py).

Full form (POLLS polls, at least 20, 22 by default; about a minute each):
one quiet poll loads the WSDL document, then the hostile answers in turn on
the calls (a hang, a one-byte-a-second drip, a head of one line a second, a
flood of header lines, a 100 MB body, a reset mid-body, text/html, a 302, a
500 fault, malformed XML, a DOCTYPE with entity expansion, 8 MB of empty
elements, a request for another company), then a hang during which the
service is stopped and started again, and on the new start, whose proxy
fetches the document afresh: a storm of 100 imports that answer 404,
8 MB of empty elements as the WSDL and as four imports, an empty WSDL, a
WSDL without the port and at last a valid request for this company.

Short form: polls come only every 60 s, so the hostile answers are first
played to "/STATUS", which runs the same web client in the same executable
at once, one answer per run; then the installed service polls once into a
hang and is stopped during it. About two minutes.

Checks: the service stays RUNNING; the only launch is "ok SERVICO KELVO"
for the valid request; every poll ends within the web client's deadline
(15 s an exchange) and within the poll's budget (45 s for all its
exchanges); the import storm costs at most 33 GETs a poll; a node bomb
raises the peak resident memory by at most 64 MiB; after a header drip
the service's threads are back to their number and the server saw the
connection closed; resident memory at the last poll of the first start
is within 5 % of the third; the stop during the hang reaches STOPPED within
a few seconds; no event-log entry; no redirection followed. Results go to
build/e2e-results/soak.xml (soak-short.xml).
"""
import argparse
import json
import os
import sys
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path

SHORT = "--short" in sys.argv[1:]
os.environ.setdefault("TAV_E2E_WORK", str(Path(__file__).resolve().parents[2] / "build"
                                          / ("soak-short" if SHORT else "soak")))
os.environ.setdefault("TAV_E2E_HOST", "127.0.0.3")

from harness import *  # noqa: E402,F401,F403 (the shared run of the service under Wine)

EXCHANGE_LIMIT = 15.0  # the web client's deadline for one exchange
MARGIN = 3.0           # Wine on a loaded two-core machine
POLL_PERIOD = 60.0
LAUNCH_WAIT = 10.0     # a requested launch holds the poll while its worker sleeps
QUIET_AFTER = 20.0     # no exchange of a poll starts later than this after the one before
STOP_LIMIT = 5.0
RSS_GROWTH = 0.05
POLL_BUDGET = 45.0     # all exchanges of one poll together
MAX_GETS = 33          # the WSDL and at most 32 import attempts
PEAK_GROWTH_KIB = 64 * 1024

QUIET = {"wsdl": "valid", "TestaConexao": "ok", "BuscaSolic": "quiet"}


def on(exchange, mode):
    return dict(QUIET, **{exchange: mode})


HOSTILE = [
    ("hang", on("TestaConexao", "hang")),
    ("one byte a second", on("TestaConexao", "drip")),
    ("head of one line a second", on("TestaConexao", "headdrip")),
    ("flood of header lines", on("TestaConexao", "headflood")),
    ("node bomb as an answer", on("BuscaSolic", "nodebomb")),
    ("100 MB body", on("BuscaSolic", "huge")),
    ("reset mid-body", on("BuscaSolic", "reset")),
    ("200 text/html", on("TestaConexao", "html")),
    ("302 to elsewhere", on("TestaConexao", "redirect")),
    ("fault with 500", on("TestaConexao", "fault")),
    ("malformed XML", on("BuscaSolic", "malformed")),
    ("DOCTYPE with entity expansion", on("BuscaSolic", "doctype")),
    ("request for another company", on("BuscaSolic", "other")),
]
STOP_IN_HANG = ("hang, stopped during it", on("TestaConexao", "hang"))
NEW_START = [
    ("import storm", on("wsdl", "importstorm")),
    ("node bomb as the WSDL", on("wsdl", "nodebomb")),
    ("node bomb as imports", dict(on("wsdl", "importbomb"), **{"import": "nodebomb"})),
    ("empty WSDL", on("wsdl", "empty")),
    ("WSDL without the port", on("wsdl", "noport")),
    ("valid request for this company", on("BuscaSolic", "request")),
]
# Played to "/STATUS" in the short form; each run fetches the document.
STATUS_ANSWERS = [
    ("one byte a second", on("TestaConexao", "drip")),
    ("head of one line a second", on("TestaConexao", "headdrip")),
    ("import storm", on("wsdl", "importstorm")),
    ("100 MB body", on("wsdl", "huge")),
    # /STATUS never calls BuscaSolic: its hostile answers go to TestaConexao.
    ("reset mid-body", on("TestaConexao", "reset")),
    ("DOCTYPE with entity expansion", on("wsdl", "doctype")),
    ("302 to elsewhere", on("TestaConexao", "redirect")),
    ("malformed XML", on("TestaConexao", "malformed")),
]


def full_sequence(polls):
    hostile = [HOSTILE[i % len(HOSTILE)] for i in range(polls - 2 - len(NEW_START))]
    return [("quiet: the WSDL is loaded", QUIET)] + hostile + [STOP_IN_HANG] + NEW_START


class HostileServer(CentralServer):
    PROGRAM = "hostile_server.py"
    SCRIPT_OPTION = "--plan"
    SCRIPT_FILE = "plan.json"

    def __init__(self):
        super().__init__()
        self.play(QUIET)

    def play(self, plan):
        self.answer(plan)

    def requests(self):
        """Every request so far: its begin entry, with "end" and "how" once it ended."""
        if not self.log.exists():
            return []
        by_id = {}
        for line in self.log.read_text(encoding="utf-8").splitlines():
            entry = json.loads(line)
            if entry["event"] == "begin":
                by_id[entry["id"]] = entry
            elif entry["id"] in by_id:
                by_id[entry["id"]].update(end=entry["time"], how=entry["how"])
        return sorted(by_id.values(), key=lambda r: r["time"])


def exchange_name(request):
    return "WSDL" if request["method"] == "GET" else request["operation"]


def describe(requests):
    def one(r):
        took = f" {r['end'] - r['time']:.1f}s" if "end" in r else ""
        return f"{exchange_name(r)}:{r['mode']}->{r.get('how', 'open')}{took}"
    return ", ".join(map(one, requests))


def service_resident_kib():
    pids = service_processes()
    return resident_kib(pids[0]) if pids else None


def service_threads():
    pids = service_processes()
    try:
        return len(os.listdir(f"/proc/{pids[0]}/task")) if pids else None
    except OSError:
        return None


class PeakMemory:
    """Samples the service's resident memory, so a poll's peak is known."""

    def __init__(self):
        self.samples = []  # (monotonic time, KiB)
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while not self.done.wait(0.1):
            kib = service_resident_kib()
            if kib:
                self.samples.append((time.monotonic(), kib))

    def peak_since(self, began):
        return max((kib for t, kib in self.samples if t >= began), default=None)

    def stop(self):
        self.done.set()
        self.thread.join()


def start_service(report):
    wine("sc", "start", SERVICE)
    running = wait_state(RUNNING, 30)
    report.check("the service reaches RUNNING", running, state())
    return time.monotonic()


def stop_service(report, what):
    began = time.monotonic()
    wine("sc", "stop", SERVICE)
    stopped = wait_state(STOPPED, 30)
    seconds = time.monotonic() - began
    report.check(f"{what}: STOPPED in {seconds:.1f} s (limit {STOP_LIMIT:.0f} s)", stopped and seconds <= STOP_LIMIT)
    report.check(f"{what}: its process has ended", wait_for(lambda: not service_processes(), 10),
                 service_processes())
    return seconds


def install_and_configure(report):
    report.begin("install, no scheduled hour, a company number")
    rc, _, err = wine(EXE_WIN, "/INSTALL", "/SILENT")
    report.check("installed", rc == 0, err.strip())
    report.check("settings written", reg_import(all_settings(set())))


class Polls:
    """Follows the polls in the server's log: a poll is the exchanges that
    begin less than QUIET_AFTER apart; it is over once that long has passed
    since its last exchange began."""

    def __init__(self, server):
        self.server = server
        self.seen = 0

    def wait_begin(self, timeout):
        def first_new():
            requests = self.server.requests()
            return requests[self.seen:] and requests[self.seen]
        return wait_for(first_new, timeout, step=0.25)

    def wait_end(self):
        def over():
            requests = self.server.requests()[self.seen:]
            return time.time() - requests[-1]["time"] > QUIET_AFTER
        wait_for(over, 120, step=0.5)
        requests = self.server.requests()[self.seen:]
        self.seen += len(requests)
        return requests


@dataclass
class Poll:
    n: int
    name: str
    begin: float = None  # when its first exchange began (server clock)
    requests: list = field(default_factory=list)
    launched: bool = False
    rss: int = None
    rss_before: int = None
    peak: int = None
    threads_before: int = None
    threads_after: int = None
    next_begin: float = None  # the next poll's, within the same start of the service

    def service_side(self):
        """The service's side of a poll ends 60 s before the next one begins."""
        return self.next_begin - POLL_PERIOD - self.begin

    def limit(self):
        return EXCHANGE_LIMIT * len(self.requests) + MARGIN + (LAUNCH_WAIT if self.launched else 0)


def play_stop_in_hang(report, server, polls, poll):
    hung = wait_for(lambda: [r for r in server.requests()[polls.seen:] if r["mode"] == "hang"], 30)
    report.check(f"poll {poll.n}: the service waits on the hung call", hung and state()[0] == RUNNING,
                 describe(server.requests()[polls.seen:]))
    time.sleep(1)
    stop_service(report, f"poll {poll.n}: stop during the hang")
    polls.seen = len(server.requests())
    start_service(report)


def play_poll(report, polls, poll, valid, memory, began):
    kelvo_before = len(launches("ok SERVICO KELVO"))
    poll.requests = polls.wait_end()
    poll.peak = memory.peak_since(began)
    poll.threads_after = service_threads()
    poll.launched = len(launches("ok SERVICO KELVO")) > kelvo_before
    took = max(r.get("end", r["time"]) for r in poll.requests) - poll.begin
    poll.rss = service_resident_kib()
    print(f"   poll {poll.n:2d}  {poll.name:32s} {took:6.1f} s  RSS {poll.rss} KiB  [{describe(poll.requests)}]",
          flush=True)
    report.check(f"poll {poll.n}: still RUNNING", state()[0] == RUNNING)
    report.check(f"poll {poll.n}: {'one launch' if valid else 'no launch'}", poll.launched == valid,
                 launches("ok SERVICO KELVO"))
    slow = [r for r in poll.requests if r.get("end", time.time()) - r["time"] > EXCHANGE_LIMIT + MARGIN]
    report.check(f"poll {poll.n}: every exchange ended (or was given up) within {EXCHANGE_LIMIT:.0f} s",
                 not slow, describe(slow))
    gets = [r for r in poll.requests if r["method"] == "GET"]
    report.check(f"poll {poll.n}: {len(gets)} GETs (at most {MAX_GETS})", len(gets) <= MAX_GETS)
    if "bomb" in poll.name and poll.peak and poll.rss_before:
        growth = poll.peak - poll.rss_before
        report.check(f"poll {poll.n}: peak resident memory {poll.peak} KiB, {growth:+d} KiB over the "
                     f"{poll.rss_before} KiB before it (at most {PEAK_GROWTH_KIB} KiB)", growth <= PEAK_GROWTH_KIB)
    if "head" in poll.name:
        report.check(f"poll {poll.n}: threads back to {poll.threads_before} (now {poll.threads_after})",
                     poll.threads_after is not None and poll.threads_after <= poll.threads_before,
                     describe(poll.requests))
        held = [r for r in poll.requests if r["mode"].startswith("head")
                and not (r.get("how", "").startswith("client closed")
                         and r["end"] - r["time"] <= EXCHANGE_LIMIT + MARGIN)]
        report.check(f"poll {poll.n}: the service closed the connection of the head by its deadline",
                     not held, describe(held))


def check_quiet(report, server, mark):
    report.check("no redirection followed", not [r for r in server.requests() if r["mode"] == "redirected here"])
    report.check("no event-log entry", trace_entries(mark) == [], trace_entries(mark))


def check_whole_soak(report, server, mark, history, first_start):
    report.begin("each poll ended within the web client's deadline")
    for poll in history:
        if poll.begin is not None and poll.next_begin is not None:
            took, limit = poll.service_side(), poll.limit()
            report.check(f"poll {poll.n} ({poll.name}): {took:.1f} s of at most {limit:.0f} s",
                         -MARGIN <= took <= limit, describe(poll.requests))
            budget = POLL_BUDGET + MARGIN + (LAUNCH_WAIT if poll.launched else 0)
            report.check(f"poll {poll.n} ({poll.name}): within the poll's budget of {POLL_BUDGET:.0f} s",
                         took <= budget, describe(poll.requests))
    timed = [p for p in history if p.begin is not None and p.next_begin is not None]
    if timed:
        longest = max(timed, key=lambda p: p.service_side())
        print(f"   longest poll: {longest.n} ({longest.name}), {longest.service_side():.1f} s", flush=True)
    report.begin("over the whole soak")
    kelvo = launches("ok SERVICO KELVO")
    report.check("exactly one \"ok SERVICO KELVO\"", len(kelvo) == 1, kelvo)
    report.check("no \"ok SERVICO\"", not launches("ok SERVICO"), launches("ok SERVICO"))
    check_quiet(report, server, mark)
    measured = [p for p in history[:first_start] if p.rss]
    third, last = (measured[2], measured[-1]) if len(measured) >= 3 else (None, None)
    growth = last.rss / third.rss - 1 if third else float("nan")
    report.check(f"RSS at poll {last and last.n} ({last and last.rss} KiB) within {RSS_GROWTH:.0%} of poll "
                 f"{third and third.n} ({third and third.rss} KiB): {growth:+.1%}", abs(growth) <= RSS_GROWTH)


def soak(report, server, sequence):
    install_and_configure(report)
    mark = trace_size()
    report.begin("polls against the hostile server")
    start_service(report)
    polls = Polls(server)
    history = []
    memory = PeakMemory()
    first_start = len(sequence)  # polls of the first start of the service
    for n, (name, plan) in enumerate(sequence, 1):
        server.play(plan)
        rss_before, threads_before = service_resident_kib(), service_threads()
        first = polls.wait_begin(POLL_PERIOD + 3 * EXCHANGE_LIMIT + 30)
        began = time.monotonic() - 1.0
        if not report.check(f"poll {n} ({name}) came", bool(first)):
            break
        if history and history[-1].begin is not None:
            history[-1].next_begin = first["time"]
        poll = Poll(n, name, rss_before=rss_before, threads_before=threads_before)
        history.append(poll)
        if plan is STOP_IN_HANG[1]:
            play_stop_in_hang(report, server, polls, poll)
            first_start = n - 1
            continue
        poll.begin = first["time"]
        play_poll(report, polls, poll, valid=plan is NEW_START[-1][1], memory=memory, began=began)
    memory.stop()
    check_whole_soak(report, server, mark, history, first_start)
    stop_service(report, "final stop")


def short_soak(report, server):
    install_and_configure(report)
    report.begin("hostile answers to \"/STATUS\" (the same web client, at once)")
    for name, plan in STATUS_ANSWERS:
        server.play(plan)
        seen = len(server.requests())
        began = time.monotonic()
        rc, out, err = wine(EXE_WIN, "/STATUS", timeout=120)
        took = time.monotonic() - began
        failure = next((line.strip() for line in out.splitlines() if ": fails" in line or "Unable" in line), "")
        print(f"   {name:32s} {took:5.1f} s  rc={rc}  {failure[:150]}", flush=True)
        # Wine's start and end of the process come on top of the exchange. The
        # service is stopped here, so the verdict is CRITICAL (2) whatever the
        # server does; the live check's failure is in the requested-runs line.
        live_failed = any(line.startswith("  Requested runs: ") and ("does not answer" in line or "is blank" in line)
                          for line in out.replace("\r\n", "\n").splitlines())
        report.check(f"{name}: the live check fails within its deadline",
                     rc == 2 and live_failed and took <= 2 * EXCHANGE_LIMIT, f"rc={rc} after {took:.1f} s: {out[-400:]}")
        gets = [r for r in server.requests()[seen:] if r["method"] == "GET"]
        report.check(f"{name}: {len(gets)} GETs (at most {MAX_GETS})", len(gets) <= MAX_GETS)
        def heads_open():
            return [r for r in server.requests()[seen:]
                    if r["mode"].startswith("head") and not r.get("how", "").startswith("client closed")]
        wait_for(lambda: not heads_open(), 5)
        report.check(f"{name}: the service closed the connection of the head", not heads_open(),
                     describe(heads_open()))
    mark = trace_size()
    report.begin("the service's poll into a hang, stopped during it")
    server.play(on("TestaConexao", "hang"))
    start_service(report)
    polls = Polls(server)
    polls.seen = len(server.requests())
    print(f"   waiting for the first poll ({POLL_PERIOD:.0f} s after the start)", flush=True)
    hung = wait_for(lambda: [r for r in server.requests()[polls.seen:] if r["mode"] == "hang"],
                    POLL_PERIOD + 2 * EXCHANGE_LIMIT + 30)
    report.check("the poll waits on the hung call", hung, describe(server.requests()[polls.seen:]))
    report.check("still RUNNING, RSS " + str(service_resident_kib()) + " KiB", state()[0] == RUNNING)
    time.sleep(1)
    stop_service(report, "stop during the hang")
    report.check("no launch", not launches("ok SERVICO KELVO") and not launches("ok SERVICO"),
                 launches("ok SERVICO"))
    check_quiet(report, server, mark)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--short", action="store_true", help="the short form (about two minutes)")
    parser.add_argument("polls", nargs="?", type=int, default=22, help="polls of the full form (at least 20)")
    args = parser.parse_args()
    if not args.short and args.polls < 20:
        parser.error("the full soak plays at least 20 polls")
    name = "soak-short" if args.short else "soak"
    report = Report()
    server = None
    try:
        set_up(report)
        server = HostileServer()
        report.check(f"hostile server listening on {HOST}:5660", server.start())
        if args.short:
            short_soak(report, server)
        else:
            soak(report, server, full_sequence(args.polls))
    except Exception as e:  # a broken step is a failure, and the clean-up still runs
        report.check("soak ran to its end", False, repr(e))
    finally:
        end_wine(report, server)
    failed = report.write(name)
    verdict = "PASS" if not failed else "FAIL"
    print(f"== {name}: {verdict}: {len(report.cases) - failed} passed, {failed} failed, "
          f"{report.elapsed():.0f} s", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
