#!/usr/bin/env python3
"""Bad local input: the real service under Wine, restarted on each broken
setting or file it reads, in one throwaway prefix (build/bad-input, central
server on 127.0.0.4).

Registry settings of the wrong type or missing are read at each start: one
start per case, checking the state reached and the event-log entry. The
company file is read at each poll and by /STATUS through the same code, so
its variants go through /STATUS, and the most hostile one (a 1 MB number)
through one real poll. A read-only run log and a directory in place of the
backup program need a schedule tick: the current hour is enabled for them.
Through all of it the service must never crash: no unhandled exception in
the trace, and its process ends only after a stop or a refused start.
Results go to build/e2e-results/bad-input.xml.
"""
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

_ROOT = Path(__file__).resolve().parents[2]
os.environ.setdefault("TAV_E2E_WORK", str(_ROOT / "build" / "bad-input"))
os.environ.setdefault("TAV_E2E_HOST", "127.0.0.4")

from harness import *  # noqa: E402,F401,F403 (the shared run of the service under Wine)

HOURS_KEY = KEY + "\\Horarios"
EVERY_INSTALLATION = "11222333000181"
CRASH_SIGNS = ("Unhandled exception", "Application Error", "unhandled exception", "page fault", "wine: Assertion")


class Raw(str):
    """Data as a .reg file writes it after the "=", for the types reg_import lacks."""


DELETE = Raw("-")


def data_line(name, value):
    if isinstance(value, Raw):
        return f'"{name}"={value}'
    if isinstance(value, int):
        return f'"{name}"=dword:{value:08x}'
    return f'"{name}"="{value}"'


def utf16_hex(text, type_code=1):
    """A string value with its NUL, given as raw UTF-16 bytes: hex(1) REG_SZ, hex(2) REG_EXPAND_SZ."""
    data = (text + "\0").encode("utf-16-le")
    return Raw(f"hex({type_code}):" + ",".join(f"{b:02x}" for b in data))


def write_settings(changes, hours=frozenset()):
    """The whole schedule afresh, with the case's changes, in one import."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in all_settings(set(hours)).items():
        values = dict(values, **changes.get(key, {}))
        lines.append(f"[{key}]")
        lines += [data_line(name, value) for name, value in values.items()]
        lines.append("")
    path = WORK / "case.reg"
    path.write_text("\r\n".join(lines) + "\r\n", encoding="utf-16")
    return wine("reg", "import", win_path(path), "/reg:32")[0] == 0


def hours_key_exists():
    return wine("reg", "query", HOURS_KEY, "/reg:32")[0] == 0


# Wine's trace writes a character outside ASCII as a backslash and four hex digits.
TRACE_ESCAPE = re.compile(r"\\([0-9a-f]{4}|.)")


def decoded(text):
    return TRACE_ESCAPE.sub(lambda m: chr(int(m.group(1), 16)) if len(m.group(1)) == 4
                            else {"n": "\n", "r": "\r", "t": "\t"}.get(m.group(1), m.group(1)), text)


def service_entries(mark):
    return [decoded(text) for _, text in trace_entries(mark)]


def check_no_crash(report, mark):
    signs = [line for line in TRACE.read_text(encoding="utf-8", errors="replace")[mark:].splitlines()
             if any(s in line for s in CRASH_SIGNS)]
    report.check("no crash", not signs, str(signs[:5]))


def start_service():
    mark = trace_size()
    wine("sc", "start", SERVICE)
    return mark


def ended():
    """The process is gone and the control manager says STOPPED (probed only then)."""
    return not service_processes() and state()[0] == STOPPED


def stop_service(report):
    wine("sc", "stop", SERVICE)
    report.check("stops, and its process ends", wait_for(ended, 30), str(service_processes()))


def check_entries(report, mark, expected):
    report.check("event log: " + (expected[0] if expected else "nothing"), service_entries(mark) == expected,
                 str(service_entries(mark)))


# (case, registry changes, the failure the start reports, or None when it is refused quietly or runs)
REFUSED_STARTS = [
    ('"SERVICO" missing', {KEY: {"SERVICO": DELETE}}, None),
    ('"SERVICO" lower case "s"', {KEY: {"SERVICO": "s"}}, None),
    ('"SERVICO" blank-padded " S "', {KEY: {"SERVICO": " S "}}, None),
    ('"SERVICO" empty', {KEY: {"SERVICO": ""}}, None),
    ('"SERVICO" the text "1"', {KEY: {"SERVICO": "1"}}, None),
    ('"SERVICO" a number (REG_DWORD 1)', {KEY: {"SERVICO": 1}}, "Invalid data type for 'SERVICO'"),
    ('"SERVICO" binary "S"', {KEY: {"SERVICO": Raw("hex:53,00,00,00")}}, "Invalid data type for 'SERVICO'"),
    ('"Ter\u00e7a" missing', {KEY: {"Ter\u00e7a": DELETE}}, "Failed to get data for 'Ter\u00e7a'"),
    ('"S\u00e1bado" the text "1"', {KEY: {"S\u00e1bado": "1"}}, "Invalid data type for 'S\u00e1bado'"),
    ('"Domingo" binary of 4 bytes', {KEY: {"Domingo": Raw("hex:01,00,00,00")}}, "Invalid data type for 'Domingo'"),
    ('"Segunda" a 64-bit number', {KEY: {"Segunda": Raw("hex(b):01,00,00,00,00,00,00,00")}},
     "Failed to get data for 'Segunda'"),
    ('"Todo Dia" missing', {KEY: {"Todo Dia": DELETE}}, "Failed to get data for 'Todo Dia'"),
    ('"Todo Dia" the text "sim"', {KEY: {"Todo Dia": "sim"}}, "Failed to get data for 'Todo Dia'"),
    ('"07:00" missing', {HOURS_KEY: {"07:00": DELETE}}, "Failed to get data for '07:00'"),
    ('"00:00" the text "1"', {HOURS_KEY: {"00:00": "1"}}, "Invalid data type for '00:00'"),
    ('"23:00" a 64-bit number', {HOURS_KEY: {"23:00": Raw("hex(b):01,00,00,00,00,00,00,00")}},
     "Failed to get data for '23:00'"),
    ('"ServidorBackup" a number', {KEY: {"ServidorBackup": 1}}, "Invalid data type for 'ServidorBackup'"),
]


def refused_start(report, name, changes, failure, delete_hours=False):
    report.begin(name)
    if not report.check("settings written", write_settings(changes)):
        return
    if delete_hours:
        wine("reg", "delete", HOURS_KEY, "/f", "/reg:32")
    expected = [] if failure is None else [f"Service failed on start: {failure}"]
    mark = start_service()
    report.check("reaches STOPPED, and its process ends",
                 wait_for(lambda: len(trace_entries(mark)) >= len(expected) and ended(), 30), str(state()))
    check_entries(report, mark, expected)
    check_no_crash(report, mark)


def accepted_start(report, name, changes, delete_hours=False):
    report.begin(name)
    report.check("settings written", write_settings(changes))
    if delete_hours:
        wine("reg", "delete", HOURS_KEY, "/f", "/reg:32")
    mark = start_service()
    report.check("runs", wait_state(RUNNING, 30), str(state()))
    stop_service(report)
    check_entries(report, mark, [])
    check_no_crash(report, mark)


def registry_cases(report):
    for name, changes, failure in REFUSED_STARTS:
        refused_start(report, name, changes, failure)
    refused_start(report, '"Horarios" missing: the start creates it, then "00:00" is missing', {},
                  "Failed to get data for '00:00'", delete_hours=True)
    report.check('"Horarios" created', hours_key_exists())
    # A string value of the expandable type is accepted, and ends at its first NUL.
    accepted_start(report, '"SERVICO" expandable "S", a NUL, then "N"; "ServidorBackup" blank',
                   {KEY: {"SERVICO": utf16_hex("S\0N", 2), "ServidorBackup": "   "}})
    accepted_start(report, '"ServidorBackup" missing; every weekday 0 and "Horarios" missing',
                   {KEY: {"ServidorBackup": DELETE, "Todo Dia": 0}}, delete_hours=True)
    report.check('"Horarios" neither opened nor created', not hours_key_exists())


def utf16(text, bom):
    return ("\ufeff" if bom else "").encode("utf-16-le") + text.encode("utf-16-le")


BIG_NUMBER = "9" * (1 << 20)
COMPANY_FILE = f"[EMPRESA]\r\nCNPJ={COMPANY}\r\n"
BIG_COMPANY_FILE = f"[EMPRESA]\r\nCNPJ={BIG_NUMBER}\r\n".encode()
GARBAGE = bytes((i * 151 + 7) % 256 for i in range(4096)).replace(b"[", b"{").replace(b"=", b"-")

# (case, content of backup.ini or None for none, the CNPJ line /STATUS prints, its exit code
# against the running service: 1, WARNING, when only the requested runs are off)
COMPANY_FILE_CASES = [
    ("missing", None, "blank: no poll calls the web service", 1),
    ("empty", b"", "blank: no poll calls the web service", 1),
    ("binary garbage", GARBAGE, "blank: no poll calls the web service", 1),
    ("UTF-16 with a byte-order mark", utf16(COMPANY_FILE, True), COMPANY, 0),
    ("UTF-16 without a byte-order mark", utf16(COMPANY_FILE, False), "blank: no poll calls the web service", 1),
    ("a 1 MB number: the first 2047 digits", BIG_COMPANY_FILE, "9" * 2047, 0),
]


def write_company_file(content):
    path = APP / "backup.ini"
    path.unlink(missing_ok=True)
    if content is not None:
        path.write_bytes(content)


def company_file_cases(report):
    for name, content, cnpj, code in COMPANY_FILE_CASES:
        report.begin(f'"backup.ini" {name}, through "/STATUS"')
        write_company_file(content)
        rc, out, err = wine(EXE_WIN, "/STATUS", timeout=120)
        out = out.replace("\r\n", "\n")
        report.check(f"exit code {code}", rc == code, f"rc={rc} {err.strip()[:300]}")
        report.check(f"CNPJ: {cnpj[:40]}", f"\n  CNPJ: {cnpj}\n" in out,
                     next((line[:80] for line in out.splitlines() if "CNPJ" in line), out[:300]))
        report.check("no crash", not any(s in err for s in CRASH_SIGNS), err.strip()[:300])


RUN_LOG = APP / "LOGSrvBackup.ini"
MISSING_PROGRAM = f"Arquivo n\u00e3o localizado: {APP_WIN}\\backup_vostrani.exe"


def run_log():
    return RUN_LOG.read_bytes() if RUN_LOG.exists() else b""


def run_log_value(key):
    text = run_log().decode("utf-16", errors="replace") if run_log()[:2] == b"\xff\xfe" else ""
    return next((line.split("=", 1)[1] for line in text.splitlines() if line.startswith(key + "=")), None)


def set_run_log_read_only(on):
    """The read-only attribute as Wine keeps it, and for root, whom permissions do not stop,
    immutable besides."""
    if not RUN_LOG.exists():
        return True
    if not on:
        subprocess.run(["chattr", "-i", str(RUN_LOG)], capture_output=True)
        RUN_LOG.chmod(0o644)
        return True
    RUN_LOG.chmod(0o444)
    return os.geteuid() != 0 or subprocess.run(["chattr", "+i", str(RUN_LOG)], capture_output=True).returncode == 0


def program_is_a_directory(report, hours):
    report.begin("the backup program replaced by a directory, the current hour enabled")
    program = APP / "backup_vostrani.exe"
    program.unlink()
    program.mkdir()
    write_settings({}, hours=hours)
    mark = start_service()
    report.check("runs", wait_state(RUNNING, 30), str(state()))
    report.check("ERRO names the program", wait_for(lambda: run_log_value("ERRO") == MISSING_PROGRAM, 30),
                 str(run_log_value("ERRO")))
    report.check("EXECUTADO written", run_log_value("EXECUTADO") is not None)
    report.check("nothing launched", not launches("ok SERVICO"), str(launches("ok SERVICO")))
    stop_service(report)
    check_entries(report, mark, [])
    check_no_crash(report, mark)
    program.rmdir()
    shutil.copy(BUILD / "tests" / "fixtures" / "record_start.exe", program)


def read_only_run_log_and_poll(report, server, hours):
    """One start for what needs a tick and what needs a poll, 60 s later; the company file's cases
    go through /STATUS meanwhile."""
    report.begin('"LOGSrvBackup.ini" read-only, the current hour enabled')
    kept = run_log()
    report.check("run log made read-only", set_run_log_read_only(True))
    write_settings({}, hours=hours)
    server.answer({"TestaConexao": {"return": "OK"}, "BuscaSolic": {"return": f"9|{EVERY_INSTALLATION}|S1"}})
    mark = start_service()
    began = time.monotonic()
    report.check("runs", wait_state(RUNNING, 30), str(state()))
    pid = state()[1]

    company_file_cases(report)
    calls = len(server.posts("TestaConexao"))

    report.begin('a poll reading a 1 MB number, with a request for every installation')
    write_company_file(BIG_COMPANY_FILE)
    print("   waiting for the first poll (60 s after the start)", flush=True)
    report.check('a launch with "ok SERVICO KELVO"',
                 wait_for(lambda: launches("ok SERVICO KELVO"), 90 - (time.monotonic() - began)),
                 "no requested launch")
    report.check("both calls made", len(server.posts("TestaConexao")) > calls and bool(server.posts("BuscaSolic")))
    report.check("still running, same process", state() == (RUNNING, pid), str(state()))
    stop_service(report)
    report.check("exactly one requested launch", len(launches("ok SERVICO KELVO")) == 1,
                 str(launches("ok SERVICO KELVO")))

    report.begin('"LOGSrvBackup.ini" read-only: after the first tick and the poll')
    report.check("no scheduled launch", not launches("ok SERVICO"), str(launches("ok SERVICO")))
    report.check("run log untouched", run_log() == kept, str(run_log()[:200]))
    check_entries(report, mark, [])
    check_no_crash(report, mark)


def main():
    report = Report()
    server = None
    set_run_log_read_only(False)  # left by a run that was killed, it would stop the prefix's removal
    try:
        set_up(report)
        server = CentralServer()
        server.answer({"TestaConexao": {"return": "OK"}, "BuscaSolic": {"return": REQUEST_FOR_US}})
        report.check("central server started", server.start())
        report.begin("install")
        rc, _, err = wine(EXE_WIN, "/INSTALL", "/SILENT")
        report.check("installed", rc == 0 and probe_values("config", SERVICE).get("binary"), err.strip())
        registry_cases(report)
        hour = time.localtime().tm_hour
        hours = {hour, (hour + 1) % 24}  # a run near the full hour may tick in the next one
        program_is_a_directory(report, hours)
        read_only_run_log_and_poll(report, server, hours)
    except Exception as e:  # a broken step is a failure, and the clean-up still runs
        report.check("cases ran to their end", False, repr(e))
    finally:
        set_run_log_read_only(False)
        end_wine(report, server)
    failed = report.write("bad-input")
    print(f"== bad local input: {len(report.cases) - failed} passed, {failed} failed, "
          f"{report.elapsed():.0f} s", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
