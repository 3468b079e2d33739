"""What every run of the real service under Wine shares: a throwaway
prefix, Wine's sc and reg, the service_probe helper, the stand-in central
server, the event-log trace and a JUnit report.

TAV_E2E_WORK names the run's own folder (its prefix lives there) and
TAV_E2E_HOST the loopback address its central server listens on, so that
several runs (scenarios, soak, benchmark) can go on side by side: the
service always calls port 5660.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path
from xml.sax.saxutils import quoteattr

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("TAV_WINDOWS_BUILD", ROOT / "build" / "windows"))
WORK = Path(os.environ.get("TAV_E2E_WORK", ROOT / "build" / "e2e"))
HOST = os.environ.get("TAV_E2E_HOST", "127.0.0.1")
RESULTS = ROOT / "build" / "e2e-results"
PREFIX = WORK / "wineprefix"
TRACE = WORK / "wine-trace.txt"
APP_WIN = "C:\\Program Files\\TAV Backup"
APP = PREFIX / "drive_c" / "Program Files" / "TAV Backup"
EXE_WIN = APP_WIN + "\\SrvBackupVostrani.exe"
EXE_NAME = "SrvBackupVostrani.exe"
SERVICE = "TavSrvBackup"
DISPLAY = "TAV Servi\u00e7o de Backup"
KEY = "HKEY_LOCAL_MACHINE\\Software\\Tav7Backup"
EVENT_SOURCES = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\"
DAYS = ["Domingo", "Segunda", "Ter\u00e7a", "Quarta", "Quinta", "Sexta", "S\u00e1bado"]
COMPANY = "12345678000190"
# The company number as the central server writes it: the punctuation
# must not matter, also under an English locale (LC_ALL below).
REQUEST_FOR_US = "17|12.345.678/0001-90|S1|10/12/2026"
SOAP_ACTION = '"urn:coKelvoIntf-IcoKelvo#{}"'
STOPPED, START_PENDING, RUNNING, PAUSED = 1, 2, 4, 7
TRACE_LINE = re.compile(r'^([0-9a-f]{4}):[0-9a-f]{4}:err:eventlog:ReportEventW L"(.*)"$')

ENV = dict(os.environ, WINEPREFIX=str(PREFIX), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
           LC_ALL="C.UTF-8")
ENV.pop("DISPLAY", None)
TRACE_DEBUG = "-all,err+eventlog,+pid"


def win_path(path):
    return "Z:" + str(path).replace("/", "\\")


class Report:
    def __init__(self):
        self.cases = []
        self.scenario = ""
        self.started = time.monotonic()

    def begin(self, scenario):
        self.scenario = scenario
        print(f"== {scenario} (at {self.elapsed():.0f} s)", flush=True)

    def check(self, what, ok, detail=""):
        self.cases.append((self.scenario, what, bool(ok), detail))
        print(f"   {'ok  ' if ok else 'FAIL'} {what}" + ("" if ok or not detail else f": {detail}"), flush=True)
        return ok

    def elapsed(self):
        return time.monotonic() - self.started

    def write(self, name="e2e"):
        RESULTS.mkdir(parents=True, exist_ok=True)
        failed = sum(1 for c in self.cases if not c[2])
        lines = [f'<testsuites tests="{len(self.cases)}" failures="{failed}" errors="0" disabled="0">',
                 f'<testsuite name="{name}" tests="{len(self.cases)}" failures="{failed}">']
        for scenario, what, ok, detail in self.cases:
            lines.append(f'<testcase classname={quoteattr(scenario)} name={quoteattr(what)}>'
                         + ("" if ok else f"<failure message={quoteattr(str(detail) or 'failed')}/>") + "</testcase>")
        lines += ["</testsuite>", "</testsuites>"]
        (RESULTS / f"{name}.xml").write_text("\n".join(lines) + "\n", encoding="utf-8")
        return failed


def run(args, timeout=60, debug=None, **kwargs):
    env = dict(ENV, WINEDEBUG=debug) if debug else ENV
    try:
        done = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout,
                              **kwargs)
        return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        return None, "", f"timed out after {timeout} s"


def wine(*args, **kwargs):
    return run(["wine", *args], **kwargs)


def probe(*args):
    return wine(str(BUILD / "tests" / "fixtures" / "service_probe.exe"), *args)


def probe_values(*args):
    """One "key=value" a line."""
    _, out, _ = probe(*args)
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def state():
    _, out, _ = probe("status", SERVICE)
    values = dict(part.split("=", 1) for part in out.split() if "=" in part)
    return int(values.get("state", 0)), int(values.get("pid", 0))


def wait_for(condition, timeout, step=0.25):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= end:
            return value
        time.sleep(step)


def wait_state(wanted, timeout):
    return wait_for(lambda: state()[0] == wanted, timeout)


def reg_import(keys):
    """Writes values through a .reg file that Wine's reg imports in one go."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys.items():
        lines.append(f"[{key}]")
        for name, value in values.items():
            data = f"dword:{value:08x}" if isinstance(value, int) else '"' + value + '"'
            lines.append(f'"{name}"={data}')
        lines.append("")
    path = WORK / "settings.reg"
    path.write_text("\r\n".join(lines) + "\r\n", encoding="utf-16")
    return wine("reg", "import", win_path(path), "/reg:32")[0] == 0


def reg_delete(name):
    return wine("reg", "delete", "HKLM\\Software\\Tav7Backup", "/v", name, "/f", "/reg:32")[0] == 0


def reg_query_value(key, name, attempts=3):
    """What `reg query` prints for one value. Wine's reg.exe now and then
    prints nothing at all for a value that is there, so an empty answer is
    asked again; a missing value stays empty."""
    out = ""
    for _ in range(attempts):
        _, out, _ = wine("reg", "query", key, "/v", name)
        if out.strip():
            break
    return out


def trace_entries(start=0):
    """(process id, text) of each event-log entry in the prefix's trace."""
    text = TRACE.read_text(encoding="utf-8", errors="replace")[start:]
    return [(int(m.group(1), 16), m.group(2)) for m in map(TRACE_LINE.match, text.splitlines()) if m]


def trace_size():
    return len(TRACE.read_text(encoding="utf-8", errors="replace"))


def launches(argument):
    calls = APP / "backup_vostrani.exe.calls"
    lines = calls.read_text(errors="replace").splitlines() if calls.exists() else []
    return [line for line in lines if line.startswith(f"args={argument}|")]


def all_settings(enabled_hours, servico="S"):
    days = {day: 0 for day in DAYS}
    days["Todo Dia"] = 1
    return {KEY: {"SERVICO": servico, "ServidorBackup": HOST, **days},
            KEY + "\\Horarios": {f"{h:02d}:00": int(h in enabled_hours) for h in range(24)}}


class CentralServer:
    PROGRAM = "central_server.py"
    SCRIPT_OPTION = "--script"
    SCRIPT_FILE = "answers.json"

    def __init__(self):
        self.script = WORK / self.SCRIPT_FILE
        self.log = WORK / "requests.log"
        self.process = None
        self.answer({})

    def answer(self, answers):
        tmp = self.script.with_suffix(".tmp")
        tmp.write_text(json.dumps(answers), encoding="utf-8")
        tmp.replace(self.script)

    def start(self):
        self.output = open(WORK / "server.out", "w")
        self.process = subprocess.Popen(
            [sys.executable, str(Path(__file__).with_name(self.PROGRAM)), "--host", HOST, "--port", "5660",
             self.SCRIPT_OPTION, str(self.script), "--log", str(self.log)], stdout=self.output,
            stderr=subprocess.STDOUT)
        return wait_for(lambda: "listening" in (WORK / "server.out").read_text(), 20)

    def requests(self):
        if not self.log.exists():
            return []
        return [json.loads(line) for line in self.log.read_text(encoding="utf-8").splitlines() if line]

    def posts(self, operation):
        return [r for r in self.requests() if r["method"] == "POST" and r["operation"] == operation]

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.process:
            self.output.close()


def prefix_processes():
    """Processes of this prefix, found by their environment."""
    wanted = f"WINEPREFIX={PREFIX}".encode()
    found = []
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if wanted in (entry / "environ").read_bytes().split(b"\0"):
                    found.append(int(entry.name))
            except OSError:
                pass
    return found


def processes_of(exe):
    """Processes of this prefix running the executable named `exe`."""
    found = []
    for pid in prefix_processes():
        try:
            if exe.encode() in Path(f"/proc/{pid}/cmdline").read_bytes():
                found.append(pid)
        except OSError:
            pass
    return found


def service_processes():
    return processes_of(EXE_NAME)


def resident_kib(pid):
    """VmRSS of a process, read from Linux; None once it has ended."""
    try:
        status = Path(f"/proc/{pid}/status").read_text()
    except OSError:
        return None
    match = re.search(r"^VmRSS:\s+(\d+) kB", status, re.M)
    return int(match.group(1)) if match else None


def end_wine(report, server):
    """Stops the stand-in server and the prefix, and checks nothing of it is left."""
    report.begin("clean-up")
    if server:
        server.stop()
    subprocess.run(["wineserver", "-k"], env=ENV)
    left = wait_for(lambda: not prefix_processes(), 20)
    report.check("no process left behind", left, prefix_processes())


def set_up(report):
    report.begin("setting up a throwaway prefix")
    shutil.rmtree(WORK, ignore_errors=True)
    APP.mkdir(parents=True)
    shutil.copy(BUILD / "app" / EXE_NAME, APP / EXE_NAME)
    shutil.copy(BUILD / "tests" / "fixtures" / "record_start.exe", APP / "backup_vostrani.exe")
    (APP / "backup.ini").write_text(f"[EMPRESA]\r\nCNPJ={COMPANY}\r\n")
    subprocess.run(["wineserver", "-p"], env=ENV, check=True)
    # The services the boot starts inherit its standard error, and with it
    # this trace setting: their event-log entries land in the trace.
    with open(TRACE, "ab") as trace:
        subprocess.run(["wineboot"], env=dict(ENV, WINEDEBUG=TRACE_DEBUG), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=trace, timeout=300)
    report.check("prefix booted", (PREFIX / "drive_c" / "windows" / "system32").is_dir())


