"""End-to-end cases: each installs and/or removes the demo package under Wine's
msiexec and checks the installer log and msiexec's exit code.

A case lists, per msiexec run, the actions whose lines must appear, in order,
each inside its own "Action start"/"Action ended" block of the log. Deferred
actions must also run inside InstallFinalize, where the installer executes
its script. Prints "ok"/"not ok" per check and a closing
"e2e: N passed, N failed" line.
"""
import os
import re
import shutil
import subprocess
import sys
import time

MSI, WORK, STANDIN = sys.argv[1], sys.argv[2], sys.argv[3]
PREFIX = "CUSTOM IMMEDIATE ACTION   "
PROGRAM_FILES = os.path.join(os.environ["WINEPREFIX"], "drive_c", "Program Files (x86)")
INSTALL_DIR = os.path.join(PROGRAM_FILES, "Korvi Demo")

passed = 0
failed = 0


def check(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print(f"ok {name}")
    else:
        failed += 1
        print(f"not ok {name}" + (f": {detail}" if detail else ""))


def winpath(path):
    return subprocess.run(["winepath", "-w", path], capture_output=True, text=True).stdout.strip()


def msiexec(mode, log, props=()):
    """Runs msiexec; returns (exit code as Unix shows it, log text)."""
    if os.path.exists(log):
        os.remove(log)
    cmd = ["wine", "msiexec", mode, winpath(MSI), "/qn", "/l*v", winpath(log), *props]
    rc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600).returncode
    text = ""
    if os.path.exists(log):
        with open(log, "rb") as f:
            raw = f.read()
        text = raw.decode("utf-16-le") if raw[:2] == b"\xff\xfe" else raw.decode("utf-8", "replace")
    return rc, text.replace("\r", "")


def action_blocks(text):
    """Maps action name -> list of (start line index, end line index, lines)."""
    lines = text.split("\n")
    blocks, open_at = {}, {}
    for i, line in enumerate(lines):
        m = re.match(r"Action start [\d:]+: (\w+)\.$", line)
        if m:
            open_at.setdefault(m.group(1), []).append(i)
            continue
        m = re.match(r"Action ended [\d:]+: (\w+)\. Return value", line)
        if m and open_at.get(m.group(1)):
            start = open_at[m.group(1)].pop()
            blocks.setdefault(m.group(1), []).append((start, i, lines[start:i + 1]))
    return blocks


class InOrder:
    """Lines that must appear in this order among an action's lines; others may stand between."""

    def __init__(self, lines):
        self.lines = lines

    def matches(self, got):
        it = iter(got)
        return all(any(line == g for g in it) for line in self.lines)

    def __repr__(self):
        return f"InOrder({self.lines})"


def library_lines(block_lines):
    return [l[len(PREFIX):] for l in block_lines if l.startswith(PREFIX)]


def expect_actions(case, text, expectations, deferred=()):
    """expectations: list of (action, [lines]); each action's block holds exactly those library lines."""
    blocks = action_blocks(text)
    last_start = -1
    finalize = blocks.get("InstallFinalize", [])
    for action, expected in expectations:
        found = blocks.get(action)
        if not found:
            check(f"{case}: {action} ran", False, "no Action start/ended block in the log")
            continue
        start, end, lines = found[0]
        got = library_lines(lines)
        ok = expected.matches(got) if isinstance(expected, InOrder) else got == expected
        check(f"{case}: {action} lines", ok, f"expected {expected}, got {got}")
        check(f"{case}: {action} in sequence order", start > last_start, "ran before the previous action")
        last_start = start
        if action in deferred:
            inside = any(fs < start and end < fe for fs, fe, _ in finalize)
            check(f"{case}: {action} deferred into the install script", inside,
                  "not inside InstallFinalize")


def exit_code(case, rc, windows_code):
    check(f"{case}: msiexec exit code {windows_code}", rc == windows_code % 256, f"got {rc} (mod 256)")


def cancel_lines(action):
    return [f"Entering {action}", f"Exiting {action}"]


NO_APPLICATIONS = "Found no Applications to be shut down"


def clean_machine_checks():
    """The four detection actions on a machine where none of their applications runs."""
    return [
        ("CheckRunningApps", InOrder(["Entering CheckRunningApps", "Entering FindFENWA", "Entering FindDRAVO",
                                      "Entering FindKORVI", "Checking KORVI via window handle", NO_APPLICATIONS,
                                      "Exiting CheckRunningApps with success"])),
        ("CheckRunningMOC", InOrder(["Entering CheckRunningMOC", "records = 0", NO_APPLICATIONS,
                                     "Exiting CheckRunningMOC with success"])),
        ("CheckRunningOutlook", InOrder(["Entering CheckRunningOutlook", "Entering FindOutlook",
                                         "No matches in enumerated processes!", "records = 0", NO_APPLICATIONS,
                                         "Exiting CheckRunningOutlook with success"])),
        ("CheckRunningBXRApps", ["Entering CheckRunningApps",
                                 "Not able to open RegisteredApplications hive. No applications to close.",
                                 "Exiting CheckRunningApps with success"]),
    ]


class DummyProcess:
    """The stand-in program running under a chosen image name."""

    def __init__(self, image_name):
        self.folder = os.path.join(WORK, "dummy-" + image_name)
        os.makedirs(self.folder, exist_ok=True)
        self.path = os.path.join(self.folder, image_name)
        shutil.copy(STANDIN, self.path)
        self.image_name = image_name

    def __enter__(self):
        ready = self.path + ".ready"
        self.process = subprocess.Popen(["wine", self.path, "--hold"], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        for _ in range(500):
            if os.path.exists(ready):
                break
            time.sleep(0.02)
        return self

    def __exit__(self, *exc):
        subprocess.run(["wine", "taskkill", "/f", "/im", self.image_name], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.process.kill()
        self.process.wait()


# ---------------------------------------------------------------- the cases

def case_install_and_remove():
    case = "clean install"
    rc, text = msiexec("/i", os.path.join(WORK, "install.log"), ["KCI_TEST_MESSAGE=1"])
    exit_code(case, rc, 0)
    expect_actions(case, text, clean_machine_checks() + [
        ("DisableCancel", cancel_lines("DisableCancel")),
        ("TestMessage", []),
        ("EnableCancel", cancel_lines("EnableCancel")),
    ])
    check(f"{case}: TestMessage user message in the log", "\nhey dude\n" in text)
    check(f"{case}: product files installed", os.path.exists(os.path.join(INSTALL_DIR, "readme.txt")))

    case = "removal"
    rc, text = msiexec("/x", os.path.join(WORK, "remove.log"))
    exit_code(case, rc, 0)
    expect_actions(case, text, clean_machine_checks() + [
        ("DisableCancel", cancel_lines("DisableCancel")),
        ("EnableCancel", cancel_lines("EnableCancel")),
    ])
    check(f"{case}: product files removed", not os.path.exists(os.path.join(INSTALL_DIR, "readme.txt")))


def case_running_mail_client_stops_a_silent_install():
    # Under msiexec /qn nobody can answer the files-in-use prompt (it returns
    # 0): the check gives up after its bounded retries and cancels.
    case = "mail client running"
    with DummyProcess("OUTLOOK.EXE"):
        rc, text = msiexec("/i", os.path.join(WORK, "outlook.log"))
    exit_code(case, rc, 1602)
    expect_actions(case, text, [
        ("CheckRunningOutlook", InOrder(["Entering CheckRunningOutlook", "This is a match: process OUTLOOK.EXE",
                                         "records = 2",
                                         "Found MS Outlook process running that need to be shut down",
                                         "Result = 0", "Number of tries reached to MAX_TRY=10",
                                         "Terminate the install since MAX_TRY is reached at a silent install."])),
    ])
    prompts = len(re.findall(r"^" + re.escape(PREFIX) + r"Result = 0$", text, re.M))
    check(f"{case}: ten silent prompts", prompts == 10, f"got {prompts}")
    check(f"{case}: nothing installed", not os.path.exists(os.path.join(INSTALL_DIR, "readme.txt")))


CASES = [case_install_and_remove, case_running_mail_client_stops_a_silent_install]


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    # Leftovers of an interrupted run would turn an install into maintenance.
    msiexec("/x", os.path.join(WORK, "cleanup.log"))
    for case in CASES:
        started = time.time()
        try:
            case()
        except Exception as e:  # a broken case is a failure, not a crash of the run
            check(case.__name__, False, repr(e))
        print(f"# {case.__name__}: {time.time() - started:.1f}s")
    print(f"e2e: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
