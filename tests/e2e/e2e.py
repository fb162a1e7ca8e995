"""End-to-end cases: the demo package installed and/or removed by Wine's msiexec; each run's
exit code is checked, and per action its library lines, in order, inside its own "Action
start"/"Action ended" block (deferred actions inside InstallFinalize, where the installer runs
its script). Prints "ok"/"not ok" per check and a closing "e2e: N passed, N failed" line.
"""
import contextlib
import os
import re
import shutil
import subprocess
import sys
import time
import typing

MSI, WORK, STANDIN = sys.argv[1], sys.argv[2], sys.argv[3]
PREFIX = "CUSTOM IMMEDIATE ACTION   "
PROGRAM_FILES = os.path.join(os.environ["WINEPREFIX"], "drive_c", "Program Files (x86)")
INSTALL_DIR = os.path.join(PROGRAM_FILES, "Korvi Demo")
README = os.path.join(INSTALL_DIR, "readme.txt")
RTMX_DIR = os.path.join(PROGRAM_FILES, "Common Files", "Tenvor Systems", "Media Driver")
WIN_INSTALL_DIR = "C:\\Program Files (x86)\\Korvi Demo\\"
WIN_RTMX_DIR = "C:\\Program Files (x86)\\Common Files\\Tenvor Systems\\Media Driver\\"
REPORT_HEADER = "The following error(s) occurred:"
# The registration case runs the registration actions; every other install leaves them out.
SKIP_REGISTRATION = "KCI_SKIP_REGISTRATION=1"
DEMO_PRODUCT = "{4C1B7E2A-9D3F-4E85-B6A0-7F2C9D1E3B54}"
NEEDS_RESERVATIONS = f"Product {DEMO_PRODUCT} needs UrlReservations"

passed = 0
failed = 0


def check(name, ok, detail=""):
    global passed, failed
    passed, failed = passed + bool(ok), failed + (not ok)
    print(f"ok {name}" if ok else f"not ok {name}" + (f": {detail}" if detail else ""))


def winpath(path):
    return subprocess.run(["winepath", "-w", path], capture_output=True, text=True).stdout.strip()


def msiexec(mode, name, props=(), case=None, code=0, msi=MSI):
    """Runs msiexec, logging to WORK/<name>.log, and returns the log text. With a case, checks
    that msiexec's exit code (as Unix shows it) is the Windows `code` mod 256."""
    log = os.path.join(WORK, name + ".log")
    if os.path.exists(log):
        os.remove(log)
    cmd = ["wine", "msiexec", mode, winpath(msi) if os.path.exists(msi) else msi, "/qn", "/l*v", winpath(log), *props]
    try:
        rc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600).returncode
    except subprocess.TimeoutExpired:
        # The Windows msiexec outlives its launcher: end everything in the prefix.
        subprocess.run(["wineserver", "-k"])
        raise
    if case:
        check(f"{case}: msiexec exit code {code}", rc == code % 256, f"got {rc} (mod 256)")
    raw = open(log, "rb").read() if os.path.exists(log) else b""
    text = raw.decode("utf-16-le") if raw[:2] == b"\xff\xfe" else raw.decode("utf-8", "replace")
    return text.replace("\r", "")


def action_blocks(text):
    """Maps action name -> list of (start line index, end line index, lines)."""
    lines = text.split("\n")
    blocks, open_at = {}, {}
    for i, line in enumerate(lines):
        m = re.match(r"Action (?:start [\d:]+: (\w+)\.$|ended [\d:]+: (\w+)\. Return value)", line)
        if m and m[1]:
            open_at.setdefault(m[1], []).append(i)
        elif m and open_at.get(m[2]):
            start = open_at[m[2]].pop()
            blocks.setdefault(m[2], []).append((start, i, lines[start:i + 1]))
    return blocks


class InOrder:
    """Lines that must appear in this order among an action's lines; others may stand between."""

    def __init__(self, lines):
        self.lines = lines

    def matches(self, got):
        it = iter(got)
        return all(any(line == g for g in it) for line in self.lines)

    def __repr__(self):
        return f"{type(self).__name__}({self.lines})"


class Matching(InOrder):
    """Lines that match these regular expressions one to one, in order."""

    def matches(self, got):
        return len(got) == len(self.lines) and all(re.fullmatch(p, g) for p, g in zip(self.lines, got))


def literal(*lines):
    return [re.escape(line) for line in lines]


def expect_actions(case, text, expectations):
    """expectations: list of (action, lines); the action's block holds exactly those library
    lines (or, for InOrder, at least those in that order). A DEFERRED action is scheduled in
    the sequence but runs, and logs, inside InstallFinalize: its block there is the one read."""
    blocks = action_blocks(text)
    script = [(start, end) for start, end, _ in blocks.get("InstallFinalize", [])]
    last_start = -1
    for action, expected in expectations:
        found = [(start, end, lines) for start, end, lines in blocks.get(action, [])
                 if any(fs < start and end < fe for fs, fe in script) == (action in DEFERRED)]
        if not found:
            where = "inside InstallFinalize" if action in DEFERRED else "in the sequence"
            check(f"{case}: {action} ran {where}", False, "no Action start/ended block there")
            continue
        start, end, lines = found[0]
        got = [l[len(PREFIX):] for l in lines if l.startswith(PREFIX)]
        ok = expected.matches(got) if hasattr(expected, "matches") else got == expected
        check(f"{case}: {action} lines", ok, f"expected {expected}, got {got}")
        check(f"{case}: {action} in sequence order", start > last_start, "ran before the previous action")
        last_start = start


def expect_progress(case, text, rows):
    """rows: (action, its log line's text, its data lines), in Wine's forms (see docs/actions.md, Progress)."""
    lines, blocks = text.split("\n"), action_blocks(text)
    for action, title, data in rows:
        start, end, block = blocks.get(action, [(1, 0, [])])[-1]
        got = [l for l in block[1:-1] if l and not l.startswith((PREFIX, "Action "))]
        check(f"{case}: {action} text and data", re.fullmatch(rf"Action [\d:]+: {action}\. {re.escape(title)}",
                                                            lines[start - 1]) and got == data, f"got {got}")


def cancel(action):
    return action, [f"Entering {action}", f"Exiting {action}"]


NO_APPLICATIONS = "Found no Applications to be shut down"
# The detection actions on a machine where none of their applications runs.
CLEAN_MACHINE = [
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
    # Of the six add-in features the package has only Firefox's: looked for through
    # WMI on install (see the browser case); not local on removal under Wine.
    ("CheckRunningC2CApps", InOrder(["Entering CheckRunningC2CApps", "ProcessAppsToFileInUseWin In.",
                                     "MsiGetFeatureStateW failed failed for Word. pInstalled=0 pAction=0",
                                     "Number of applications to close is 0", NO_APPLICATIONS,
                                     "Exiting CheckRunningC2CApps"])),
]


class LargestSpeed(InOrder):
    """CpuSpeedInMhz's lines: one per source, then the exit line with the largest value logged."""
    SOURCES = [r"Registry speed returned (-?\d+)", r"CallNtPowerInformation returned (-?\d+)/(-?\d+)",
               r"CpuSpeedInMhz WMI returned (-?\d+)", r"ProcessorNameString WMI returned (-?\d+)"]

    def __init__(self):
        super().__init__(["Entering CpuSpeedInMhz", *self.SOURCES, "Exiting ... with the largest"])

    def matches(self, got):
        matched = [re.fullmatch(p, line) for p, line in zip(self.SOURCES, got[1:5])]
        if len(got) != 6 or got[0] != "Entering CpuSpeedInMhz" or not all(matched):
            return False
        largest = max(int(v) for m in matched for v in m.groups())
        return largest > 0 and got[5] == f"Exiting CpuSpeedInMhz with return code of {largest}"


@contextlib.contextmanager
def dummy_process(image_name):
    """The stand-in program running under a chosen image name."""
    path = os.path.join(WORK, "dummy-" + image_name, image_name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    shutil.copy(STANDIN, path)
    process = subprocess.Popen(["wine", path, "--hold"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(500):
            if os.path.exists(path + ".ready"):
                break
            time.sleep(0.02)
        else:
            raise RuntimeError(f"{image_name} did not start within 10 s")
        yield
    finally:
        subprocess.run(["wine", "taskkill", "/f", "/im", image_name], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        process.kill()
        process.wait()


class Component(typing.NamedTuple):
    """A component program, installed as a stand-in; each row is built by keyword."""
    name: str          # the action suffix: Install<name>, Uninstall<name>
    folder: str        # where it is installed (Unix)
    win_dir: str       # the same folder as the library logs it
    data_key: str      # its CustomActionData key
    program: str
    install: str       # the install switch
    uninstall: str     # the uninstall switch
    data_name: str     # the name its uninstaller's folder has in CustomActionData


COMPONENTS = [
    Component(name="Camera", folder=os.path.join(INSTALL_DIR, "Camera"), win_dir=WIN_INSTALL_DIR + "Camera\\",
              data_key="WQInstallerExe", program="WQInstaller.exe", install="/install", uninstall="/uninstall",
              data_name="CAMERADRIVER"),
    Component(name="QdnAndFilter", folder=INSTALL_DIR, win_dir=WIN_INSTALL_DIR, data_key="QdnAxExe",
              program="InstallQdnAndAx.exe", install="/I", uninstall="/U",
              data_name="INSTALLDIR"),
    Component(name="Rtmx", folder=RTMX_DIR, win_dir=WIN_RTMX_DIR, data_key="RtmxDriverInstallerExe",
              program="RtmxDriverInstaller.exe", install="/install", uninstall="/uninstall",
              data_name="_RTMX_DIR_"),
]


def component_installs(*exit_codes):
    """The deferred component installs, each having run its program (exit codes default to 0)."""
    return [(f"Install{c.name}", [f"Entering Install{c.name}", "Entering ParseCustomActionData",
                                  "'CustomActionData' contains the following value: "
                                  f"'{c.data_key}|{c.win_dir}{c.program}'",
                                  "Exiting ParseCustomActionData",
                                  f'Going to try executing "{c.win_dir}{c.program}" {c.install}',
                                  f"Process returned 0x{code:x}",
                                  *([f"Reboot request recorded for {DEMO_PRODUCT}"] if c.name == "Camera" and code == 3 else []),
                                  f"Exiting Install{c.name}"])
            for c, code in zip(COMPONENTS, list(exit_codes) + [0, 0, 0])]


def script_uninstall(c, row, folder, exit_line="Process returned 0x0"):
    """A component's uninstaller run from a script row, from the folder its CustomActionData names."""
    return (f"Uninstall{c.name}{row}", [f"Entering Uninstall{c.name}", "Entering ParseCustomActionData",
                                        f"'CustomActionData' contains the following value: '{c.data_name}|{folder}'",
                                        "Exiting ParseCustomActionData", f"CustomActionData says {c.data_name} is {folder}",
                                        f'Going to try executing "{c.win_dir}{c.program}" {c.uninstall}', exit_line,
                                        f"Exiting Uninstall{c.name}"])


def component_uninstalls():
    # SetRtmxPath gives the media driver's folder without its separator.
    return [("SetRtmxPath", ["Entering SetRtmxPath",
                             "SHGetFolderPath returned valid folder: C:\\Program Files (x86)\\Common Files",
                             "RegOpenKey returned 2", "Setting _RTMX_DIR_ property to " + WIN_RTMX_DIR.rstrip("\\"),
                             "Leaving SetRtmxPath"])] + [
        script_uninstall(c, "Deferred", c.win_dir.rstrip("\\") if c.name == "Rtmx" else c.win_dir) for c in COMPONENTS]


def stand_in_runs(folder, program, count=0):
    """What each run of a stand-in received after its program, once `count` runs recorded it."""
    path = os.path.join(folder, program + ".cmdline")
    lines = []
    for _ in range(100):
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                lines = f.read().splitlines()
        if len(lines) >= count:
            break
        time.sleep(0.1)
    return [line.split('" ', 1)[1] if line.startswith('"') else line.split(" ", 1)[-1] for line in lines]


def remove_leftovers():
    """What the stand-ins wrote beside themselves is no product file: msiexec leaves it."""
    for folder in (INSTALL_DIR, os.path.dirname(RTMX_DIR)):  # the maker's folder is the demo's too
        shutil.rmtree(folder, ignore_errors=True)


# ---------------------------------------------------------------- the cases

def case_install_and_remove():
    # The stand-ins record elsewhere, so that the removal can leave the installation folder empty.
    records = os.path.join(WORK, "records")
    os.makedirs(records, exist_ok=True)
    os.environ["KCI_STANDIN_RECORDS"] = winpath(records)
    try:
        install_and_remove(records)
    finally:
        del os.environ["KCI_STANDIN_RECORDS"]


def install_and_remove(records):
    case = "clean install"
    text = msiexec("/i", "install", ["KCI_TEST_MESSAGE=1", SKIP_REGISTRATION], case)
    expect_actions(case, text, CLEAN_MACHINE + [
        ("CpuSpeedInMhz", LargestSpeed()),  # the package ignores the probes' results, the log carries them
        ("CpuHasMinimumInstructionSet", ["Entering CpuHasMinimumInstructionSet",
                                         "Exiting CpuHasMinimumInstructionSet with return code of 1"]),
        cancel("DisableCancel"), ("TestMessage", []), cancel("EnableCancel")] + component_installs())
    check(f"{case}: no error report", REPORT_HEADER not in text)
    check(f"{case}: stand-ins ran with their install switches",
          [stand_in_runs(records, c.program) for c in COMPONENTS] == [[c.install] for c in COMPONENTS])
    check(f"{case}: TestMessage user message in the log", "\nhey dude\n" in text)
    check(f"{case}: product files installed", os.path.exists(README))
    expect_progress(case, text, [("CreateDisplayableVersion", "Deriving the displayable version", []),
                                 ("InstallCamera", "", [f"1: {WIN_INSTALL_DIR}Camera\\WQInstaller.exe "])])

    case = "removal through the script rows"
    os.makedirs(os.path.join(INSTALL_DIR, "Logs"))
    open(os.path.join(INSTALL_DIR, "Logs", "client.log"), "w").close()
    text = msiexec("/x", "remove", case=case)
    uninstalls = component_uninstalls()
    win_logs = WIN_INSTALL_DIR + "Logs"
    expect_actions(case, text, CLEAN_MACHINE + [cancel("DisableCancel"), uninstalls[0], cancel("EnableCancel")]
                   + uninstalls[1:] + [
        ("RemoveLogsCommit", InOrder([f"CustomActionData says INSTALLDIR is {WIN_INSTALL_DIR}",
                                      f"Going to try removing log file folder: {win_logs}",
                                      "Installation folder left empty, removed: " + WIN_INSTALL_DIR.rstrip("\\"),
                                      "Exiting RemoveLogs"])),
        ("NukeRegistrySettingsCommit", InOrder(["Entering NukeRegistrySettings", "Leaving NukeRegistrySettings"]))])
    check(f"{case}: stand-ins ran with their uninstall switches",
          [stand_in_runs(records, c.program) for c in COMPONENTS] == [[c.install, c.uninstall] for c in COMPONENTS])
    check(f"{case}: the installation folder went with Logs", not os.path.exists(INSTALL_DIR))
    urls = ["http://+:8191/"] + [f"http://+:{port}/" for port in range(44440, 44453)]
    expect_progress(case, text, [
        ("netshUndoOperations", "Releasing URL reservations", ["Releasing " + url for url in urls]),
        ("httpcfgUndoOperations", "", [f"1: {url} " for url in urls]),
        ("UninstallCameraDeferred", "", [f"1: {WIN_INSTALL_DIR}Camera\\WQInstaller.exe "]),
        ("RemoveLogsCommit", "", [WIN_INSTALL_DIR + "Logs"])])


def silent_install_while_running(case, image_name, action, lines, prompts):
    """Installs under /qn while `image_name` runs: nobody can answer the files-in-use
    prompt (it returns 0), so `action` must end the installation with 1602 after
    `prompts` prompts, its `lines` in order."""
    with dummy_process(image_name):
        text = msiexec("/i", image_name, [SKIP_REGISTRATION], case, 1602)
    expect_actions(case, text, [(action, InOrder(lines))])
    shown = len(re.findall(r"^" + re.escape(PREFIX) + r"Result = 0$", text, re.M))
    check(f"{case}: {prompts} silent prompts", shown == prompts, f"got {shown}")
    check(f"{case}: nothing installed", not os.path.exists(README))


def case_running_mail_client_stops_a_silent_install():
    # The check gives up after its bounded retries and cancels.
    silent_install_while_running("mail client running", "OUTLOOK.EXE", "CheckRunningOutlook", [
        "Entering CheckRunningOutlook", "This is a match: process OUTLOOK.EXE", "records = 2",
        "Found MS Outlook process running that need to be shut down", "Result = 0",
        "Number of tries reached to MAX_TRY=10",
        "Terminate the install since MAX_TRY is reached at a silent install."], prompts=10)


def case_running_browser_stops_a_silent_install_in_the_tenth_try():
    # The click-to-call check reads UILevel (2 under /qn) in its tenth try.
    silent_install_while_running("browser running", "firefox.exe", "CheckRunningC2CApps", [
        "Entering CheckRunningC2CApps", "Find firefox.exe",
        "FindRunningProcessByNameWMI() Query result - process name:firefox.exe",
        "FindRunningProcessByNameWMI() Query result - nReturn=0 isProcessRunning = 1",
        "Application to be closed: Mozilla Firefox", "Number of applications to close is 1", "Result = 0",
        "Number of tries reached to MAX_TRY=10", "UILevel: '2'", "sscanf returned result = 1, UILevel=2 as integer",
        "Terminate the install since MAX_TRY is reached at a silent install.", "Exiting CheckRunningC2CApps"],
        prompts=9)


def case_component_failures_report_once_and_ask_for_reboot():
    case = "camera exits 3, discovery driver exits 0x5"
    for c, code in zip(COMPONENTS, (3, 0x5)):
        os.makedirs(c.folder, exist_ok=True)
        with open(os.path.join(c.folder, c.program + ".exitcode"), "w") as f:
            f.write(str(code))
    text = msiexec("/i", "component-failures", [SKIP_REGISTRATION], case, 3010)
    # The deferred camera install's reboot is recorded, and asked for after InstallFinalize.
    expect_actions(case, text, component_installs(3, 5) + [
        ("RequestRecordedReboot", ["A deferred action asked for a reboot: InstallCamera"])])
    check(f"{case}: no reboot record left", wine_reg("query", REBOOT_PENDING, "/reg:32")[0] != 0)
    report = (f"{REPORT_HEADER}\n   - QDN driver install failed   - QDN driver marked for deletion\n"
              "Finish install then use the Error Reporting Tool to report this problem")
    check(f"{case}: one error report with texts 9 and 11", text.count(REPORT_HEADER) == 1 and report in text,
          "report missing or not as expected")
    msiexec("/x", "component-failures-remove")


# ------------------------------------------------- shortcuts and cleanup

SHORTCUT = "Tenvor Omni Meridia.lnk"
OLD_LAYOUT = "C:\\kci-profiles"  # profiles root of the older layout, inside the prefix
QUICK_LAUNCH = "\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch"
SHELL_FOLDERS = ["HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\" + name
                 for name in ("User Shell Folders", "Shell Folders")]
OLD_LAYOUT_FOLDERS = {"Common AppData": OLD_LAYOUT + "\\All Users\\Application Data",
                      "Common Desktop": OLD_LAYOUT + "\\All Users\\DeskTop",
                      "Common StartUp": OLD_LAYOUT + "\\All Users\\Start Menu\\Programs\\StartUp"}
SETTINGS_KEY = "HKEY_CURRENT_USER\\Software\\Tenvor Systems, Inc.\\KORVI\\Tcp"


def unix_path(windows_path):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", *windows_path[3:].split("\\"))


def wine_reg(*args):
    """Runs Wine's reg tool; returns (exit code, output)."""
    done = subprocess.run(["wine", "reg", *args], capture_output=True, text=True)
    return done.returncode, done.stdout


def reg_value(data_type, value):
    """A value as a .reg file writes it."""
    if data_type == "REG_EXPAND_SZ":
        return "hex(2):" + ",".join(f"{b:02x}" for b in (value + "\0").encode("utf-16-le"))
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def import_reg(name, sections):
    """Imports {key: {value name: .reg value}} into the registry with one regedit run."""
    text = "Windows Registry Editor Version 5.00\n"
    for key, values in sections.items():
        text += f"\n[{key}]\n" + "".join(f'"{n}"={v}\n' for n, v in values.items())
    path = os.path.join(WORK, name)
    with open(path, "w", encoding="utf-16") as f:
        f.write(text)
    subprocess.run(["wine", "regedit", "/S", winpath(path)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def shell_folder_values():
    """The three common folders under both keys as they stand, to put back afterwards;
    a value that was not there goes again."""
    saved = {}
    for key in SHELL_FOLDERS:
        values = {name.lower(): (name, "-") for name in OLD_LAYOUT_FOLDERS}
        for line in wine_reg("query", key.replace("HKEY_LOCAL_MACHINE", "HKLM", 1))[1].replace("\r", "").splitlines():
            parts = line.strip().split("    ")
            if len(parts) == 3 and parts[0].lower() in values:
                values[parts[0].lower()] = (parts[0], reg_value(parts[1], parts[2]))
        saved[key] = dict(values.values())
    return saved


def case_shortcuts_made_and_removed_logs_removed():
    """The common folders point into an older profiles layout, as on the
    systems the product's walk was made for: every copy CreateShortcuts makes
    there, RemoveShortcuts takes away again."""
    case = "shortcuts and logs"
    profiles = [OLD_LAYOUT + "\\All Users", OLD_LAYOUT + "\\Alice"]
    desktop, startup = OLD_LAYOUT_FOLDERS["Common Desktop"], OLD_LAYOUT_FOLDERS["Common StartUp"]
    for folder in list(OLD_LAYOUT_FOLDERS.values()) + [p + QUICK_LAUNCH for p in profiles]:
        os.makedirs(unix_path(folder), exist_ok=True)
    saved = shell_folder_values()
    folders = {n: reg_value("REG_SZ", v) for n, v in OLD_LAYOUT_FOLDERS.items()}
    import_reg("old-layout.reg", {**{key: folders for key in SHELL_FOLDERS},
                                  SETTINGS_KEY: {"Left": reg_value("REG_SZ", "10")}})
    copies = [unix_path(c + "\\" + SHORTCUT) for c in [desktop, startup] + [p + QUICK_LAUNCH for p in profiles]]
    try:
        text = msiexec("/i", "shortcuts", ["ApplicationUsers=AllUsers", "DESKTOP_SHORTCUT=1", "STARTUP_SHORTCUT=1",
                                         "QUICKLAUNCH_SHORTCUT=1", SKIP_REGISTRATION], case)
        source = WIN_INSTALL_DIR + SHORTCUT
        expect_actions(case, text, [("KorviCreateShortcutsDeferred", InOrder([
            "Entering CreateShortcuts", "CustomActionData says ApplicationUsers is AllUsers", "Shortcut link is here: " + source,
            f"Copying {source} to {desktop}", f"Copying {source} to {startup}",
            f"Going to iterate quick launch bars at {OLD_LAYOUT_FOLDERS['Common AppData']}, result=0",
            "Copy operation returned 0x0", "Calling RemoveOldShortcuts", "Entering RemoveOldShortcuts",
            "Leaving RemoveOldShortcuts", "Exiting CreateShortcuts"]))])
        check(f"{case}: a copy in the common desktop, Startup and each Quick Launch bar",
              all(map(os.path.exists, copies)), str([c for c in copies if not os.path.exists(c)]))

        logs = os.path.join(INSTALL_DIR, "Logs")
        os.makedirs(logs, exist_ok=True)
        with open(os.path.join(logs, "client.log"), "w") as f:
            f.write("log")
        text = msiexec("/x", "shortcuts-remove", case=case + " removal")
        expect_actions(case + " removal", text, [
            ("KorviRemoveShortcutsDeferred", InOrder([
                "Entering RemoveShortcuts", "CustomActionData says ApplicationUsers is AllUsers",
                f"Deleting desktop icon at {desktop}\\{SHORTCUT}", "Result = 1",
                f"Deleting quick launch icon at {profiles[1]}{QUICK_LAUNCH}\\{SHORTCUT}", "Result = 1",
                "Leaving RemoveShortcuts"])),
            ("RemoveLogsCommit", InOrder(["Entering RemoveLogs",
                                    "Going to try removing log files: " + WIN_INSTALL_DIR + "Logs\\*.*",
                                    "Going to try removing log file folder: " + WIN_INSTALL_DIR + "Logs",
                                    "Exiting RemoveLogs"])),
            ("NukeRegistrySettingsCommit", InOrder(["Entering NukeRegistrySettings", "Leaving NukeRegistrySettings"])),
        ])
        check(f"{case}: every copy removed again", not any(map(os.path.exists, copies)),
              str([c for c in copies if os.path.exists(c)]))
        check(f"{case}: Logs folder removed", not os.path.exists(logs))
        check(f"{case}: per-user settings key removed", wine_reg("query", SETTINGS_KEY)[0] != 0)
    finally:
        import_reg("restore.reg", saved)
        shutil.rmtree(unix_path(OLD_LAYOUT), ignore_errors=True)


CURRENT_USER = "C:\\users\\" + next(name for name in sorted(os.listdir(unix_path("C:\\users"))) if name != "Public")
CURRENT_LAYOUT = {"common desktop": "C:\\users\\Public\\Desktop",
                  "common startup": "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp",
                  "user desktop": CURRENT_USER + "\\Desktop",
                  "user startup": CURRENT_USER + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp",
                  "user quick launch": CURRENT_USER + "\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch"}
NO_PROFILES_ROOT = ["Going to iterate through all users at C:\\ProgramData, result=0x0", "Stripping first component gave: C:",
                    "No profiles root above C:\\ProgramData, all-users profile not visited",
                    "Stripping second component gave: ", "No profiles root above C:\\ProgramData, no profile visited"]


def case_current_layout_stays_inside_what_the_product_made():
    """On the platform's own layout (C:\\ProgramData) the sweeps leave the drive root
    alone, removal takes away the copies CreateShortcuts made, and no delete passes a
    folder link (planted from the Unix side, as Wine shows symbolic links)."""
    case = "current layout"
    canaries = [unix_path(f"C:\\{folder}\\{name}") for folder in ("DeskTop", "Start Menu\\Programs\\Startup")
                for name in (SHORTCUT, "Tenvor Pelago.lnk")]
    outside = unix_path("C:\\kci-outside")
    kept = [os.path.join(outside, "logs", "keep.txt"), os.path.join(outside, "ie", "Quick Launch", SHORTCUT)]
    for path in canaries + kept:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write("not the product's")
    ie_link = os.path.dirname(unix_path(CURRENT_LAYOUT["user quick launch"]))
    logs = os.path.join(INSTALL_DIR, "Logs")
    logs_link = os.path.join(logs, "linked")
    copies = [unix_path(CURRENT_LAYOUT[f"common {n}"] + "\\" + SHORTCUT) for n in ("desktop", "startup")]
    try:
        text = msiexec("/i", "current-layout", ["DESKTOP_SHORTCUT=1", "STARTUP_SHORTCUT=1", "QUICKLAUNCH_SHORTCUT=1",
                                                SKIP_REGISTRATION], case)
        source = WIN_INSTALL_DIR + SHORTCUT
        expect_actions(case, text, [("KorviCreateShortcutsDeferred", InOrder([
            f"Copying {source} to {CURRENT_LAYOUT['common desktop']}",
            f"Copying {source} to {CURRENT_LAYOUT['common startup']}", "Calling RemoveOldShortcuts"] + NO_PROFILES_ROOT
            + [f"Deleting desktop icon at {CURRENT_LAYOUT['common desktop']}\\Tenvor Pelago.lnk",
               "Leaving RemoveOldShortcuts"]))])
        check(f"{case}: a copy in the common desktop and Startup folders", all(map(os.path.exists, copies)))

        os.makedirs(logs, exist_ok=True)
        with open(os.path.join(logs, "client.log"), "w") as f:
            f.write("log")
        os.symlink(os.path.join(outside, "logs"), logs_link)
        os.symlink(os.path.join(outside, "ie"), ie_link)
        text = msiexec("/x", "current-layout-remove", case=case + " removal")
        win_logs = WIN_INSTALL_DIR + "Logs"
        expect_actions(case + " removal", text, [
            # Under Wine both rows run as the one user: what each takes shows its data, not its token.
            ("KorviRemoveShortcutsDeferred", InOrder(["Entering RemoveShortcuts"] + NO_PROFILES_ROOT + [
                f"Deleting desktop icon at {CURRENT_LAYOUT['common desktop']}\\{SHORTCUT}", "Result = 1",
                f"Deleting startup icon at {CURRENT_LAYOUT['common startup']}\\{SHORTCUT}", "Result = 1",
                "Leaving RemoveShortcuts"])),
            ("KorviRemoveShortcutsForUser", InOrder([
                "Entering RemoveShortcuts", "CustomActionData says ApplicationUsers is CurrentUser",
                f"Deleting desktop icon at {CURRENT_LAYOUT['user desktop']}\\{SHORTCUT}", "Result = 0",
                f"Deleting startup icon at {CURRENT_LAYOUT['user startup']}\\{SHORTCUT}", "Result = 0",
                f"Link on the way, not deleted: {CURRENT_LAYOUT['user quick launch']}\\{SHORTCUT}",
                "Leaving RemoveShortcuts"])),
            ("RemoveLogsCommit", InOrder([f"Going to try removing log files: {win_logs}\\*.*",
                                    f"Link left in place: {win_logs}\\linked",
                                    f"SHFileOperation to delete log files: [{win_logs}\\*.*] returned 0",
                                    f"Log folder holds a link, kept: {win_logs}", "Exiting RemoveLogs"])),
        ])
        check(f"{case}: the copies removed", not any(map(os.path.exists, copies)))
        check(f"{case}: the drive-root canaries stay", all(map(os.path.exists, canaries)))
        check(f"{case}: the links' targets stay", all(map(os.path.exists, kept)))
        check(f"{case}: the product's log file removed", not os.path.exists(os.path.join(logs, "client.log")))
    finally:
        for link in (logs_link, ie_link):
            if os.path.islink(link):
                os.unlink(link)
        for folder in ("C:\\DeskTop", "C:\\Start Menu", "C:\\kci-outside"):
            shutil.rmtree(unix_path(folder), ignore_errors=True)


# ------------------------------------------- versions, drivers and settings

CRASH_CONTROL = r"HKLM\SYSTEM\CurrentControlSet\Control\CrashControl"
PRECERTIFICATION = r"HKLM\Software\Tenvor Systems, Inc.\Tenvor Pelago\Precertification"
REBOOT_PENDING = r"HKLM\SOFTWARE\Tenvor Systems, Inc.\KORVI\RebootPending"


PROCESSOR = r"HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0"


def own_processor_name(name):
    """The server rebuilds the processor description whenever it starts: keep one up from the
    change to the end of the run (its helpers outlive the call, so no pipes are shared)."""
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(["wineserver", "-k"], **quiet)
    subprocess.run(["wineserver", "-w"], **quiet)
    subprocess.run(["wineserver", "-p120"], **quiet)
    subprocess.run(["wine", "reg", "add", PROCESSOR, "/v", "ProcessorNameString", "/d", name, "/f"], **quiet)


def case_version_driver_check_crash_dumps_and_bits():
    case = "version, driver check, crash dumps, BITS, processor name"
    own_processor_name("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz")
    # Every real machine has crash control settings; a fresh Wine prefix has none.
    wine_reg("add", CRASH_CONTROL, "/v", "CrashDumpEnabled", "/t", "REG_DWORD", "/d", "0", "/f")
    try:
        text = msiexec("/i", "probes", [SKIP_REGISTRATION], case)
        dump = wine_reg("query", CRASH_CONTROL, "/v", "CrashDumpEnabled")[1]
    finally:
        wine_reg("delete", CRASH_CONTROL, "/f")
    expect_actions(case, text, [
        ("CreateDisplayableVersion", ["Entering CreateDisplayableVersion",
                                      "CreateDisplayableVersion: current version = 1.0.0",
                                      "sscanf returned result = 3, major=1, minor=0, build=0",
                                      "Leaving CreateDisplayableVersion"]),
        ("PrecertificationFailureCount", ["Entering PrecertificationFailureCount", "RegOpenKey returned 2",
                                          "Leaving PrecertificationFailureCount"]),
        # Wine lists its own network adapters; none has the driver's device.
        ("CheckQDNDriverOpen", InOrder(["Entering CheckQDNDriverOpen", "Checking (\\\\.\\ZephQdnPacket)",
                                        "-->GetLastError( ) = 0x00000002", "-->Error should be recoverable, continuing",
                                        "Leaving CheckQDNDriverOpen"])),
        # The speed written in the name, not the model number before it.
        ("CpuSpeedInMhz", InOrder(["ProcessorNameString WMI returned 3200"])),
        ("ForceFullDump", ["Entering ForceFullDump", "Recorded CrashDumpEnabled before the change: 0",
                           "RegSetValueEx succeeded", f"Product {DEMO_PRODUCT} needs CrashControl", "Exiting ForceFullDump"]),
        # Wine registers BITS, so its client setup is only deleted.
        ("InstallBitsDeferred", InOrder(["Entering InstallBits", "CustomActionData says AUTOUPDATE is "
                                         + WIN_INSTALL_DIR + "AutoUpdate\\", "Not installing BITS",
                                 "Delete of BITS install exe returned 0"])),
    ])
    check(f"{case}: PDisplayableVersion set", "Property(S): PDisplayableVersion = 1.0(0)\n" in text)
    check(f"{case}: no discovery device in use", "forcing reboot" not in text)
    check(f"{case}: CrashDumpEnabled is 1", re.search(r"CrashDumpEnabled\s+REG_DWORD\s+0x1\b", dump) is not None, dump)
    setup = os.path.join(INSTALL_DIR, "AutoUpdate", "Bits_v15_Client_Setup.exe")
    check(f"{case}: BITS setup deleted, never run",
          not os.path.exists(setup) and not os.path.exists(setup + ".cmdline"))
    msiexec("/x", "probes-remove")


def case_precertification_failures_fail_the_install():
    # 2 is returned as it is; the others the installer would read as success or a cancel.
    for count in ("2", "259", "1602", "1604", "1626"):
        case = f"precertification count {count}"
        wine_reg("add", PRECERTIFICATION, "/v", "FailureCount", "/t", "REG_SZ", "/d", count, "/f", "/reg:32")
        try:
            text = msiexec("/i", "precertification-" + count, [SKIP_REGISTRATION], case, 1603)
        finally:
            wine_reg("delete", PRECERTIFICATION, "/f", "/reg:32")
        misread = [] if count == "2" else [f"FailureCount {count} would read as success or cancel, returning 1603"]
        expect_actions(case, text, [("PrecertificationFailureCount", ["Entering PrecertificationFailureCount",
                                                                      f"RegQueryValueEx returned a string: {count}",
                                                                      *misread])])
        check(f"{case}: nothing installed", not os.path.exists(README))


# ------------------------------------------------------ runtime registration

RUNTIME_DIR = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "Microsoft.NET", "Framework", "v2.0.50727")
WIN_RUNTIME_DIR = "C:\\windows\\Microsoft.NET\\Framework\\v2.0.50727\\"
PORTS = [8191] + list(range(44440, 44453))
HTTPCFG_LINES = [f"set urlacl /u http://+:{p}/ /a D:(A;;GX;;;BU)" for p in PORTS]
ASSEMBLIES = ["LinkBridges.dll", "Tenvor.Qm.Desks.Shared.ViewThemePack.dll",
              "Tenvor.Qm.Desks.Shared.ViewThemeTools.dll", "Tenvor.Qm.Desks.Shared.ViewHostProxy.dll",
              "Tenvor.Qm.Desks.Shared.ViewTools.dll",
              "Tenvor.Qm.Desks.Chat.Hosts.dll", "CoreLinkBridges.dll", "tracekit.dll", "View.DropButton.dll",
              "lorimoc.exe", "Interop.ChatDeskAPI.dll", "Interop.ChatDeskPrivate.dll", "Interop.MailGate.dll",
              "Dial Assist\\Tenvor.DialAssist.Shared.ComBridge.dll", "Dial Assist\\Tenvor.DialAssist.Shared.Kernel.dll",
              "Dial Assist\\add-ins\\people\\TenvorDialAssistPeople.dll",
              "Dial Assist\\add-ins\\namecard\\TenvorNameCard.dll"]
NGEN_INSTALL, NGEN_UNINSTALL = "/nologo /silent ", "uninstall /nologo /silent "
# Each policy action's assembly folder below the installation, and whether it logs whole lines.
CASPOL_ACTIONS = {"CaspolOperations": ("Dial Assist\\add-ins\\namecard\\", False),
                  "CaspolOperationsC2C": ("add-ins\\smarttag\\plugin\\", True)}
DEFERRED = ("InstallCamera", "InstallQdnAndFilter", "InstallRtmx", "ForceFullDump", "InstallBitsDeferred",
            "KorviCreateShortcutsDeferred", "KorviRemoveShortcutsDeferred", "KorviRemoveShortcutsForUser",
            *(f"Uninstall{c.name}Deferred" for c in COMPONENTS), "RemoveLogsCommit",
            "NukeRegistrySettingsCommit", "netshOperations",
            "httpcfgOperations", *CASPOL_ACTIONS, "ProcessNGENInstall", "ProcessNGENUnInstall", "netshUndoOperations",
            "httpcfgUndoOperations", "CaspolUndoOperations", "UndoForceFullDump")
# 32-bit code that names the system folder reaches syswow64: the netsh.exe the library starts.
NETSH_DIR = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "syswow64")
NETSH_LINES = [f"http add urlacl url=http://+:{p}/ D:(A;;GX;;;BU)" for p in PORTS]
NETSH_UNDO_LINES = [f"http delete urlacl url=http://+:{p}/" for p in PORTS]
HTTPCFG_UNDO_LINES = [f"delete urlacl /u http://+:{p}/" for p in PORTS]
CASPOL_UNDO_LINES = ["-polchgprompt off -enterprise -remgroup TenvorSmartTags",
                     "-polchgprompt off -machine -remgroup TenvorSmartTags"]


def strong_name_key():
    source = os.path.join(os.path.dirname(__file__), "..", "..", "src", "registration", "core")
    text = open(os.path.join(source, "registration_tables.cpp"), encoding="utf-8").read()
    return "".join(re.findall(r'L"([0-9A-F]+)"', text.split("kStrongNamePublicKey[] =", 1)[1].split(";", 1)[0]))


def caspol_lines(action):
    """Every parent group grants Nothing; only the strong-name child grants full trust."""
    def line(level, membership):
        return (f'-polchgprompt off -{level} -addgroup 1 -allcode Nothing -name "TenvorSmartTags" '
                f'-{level} -addgroup TenvorSmartTags -strong {membership}')
    by_file = (f'-file "{WIN_INSTALL_DIR}{CASPOL_ACTIONS[action][0]}TenvorNameCard.dll" TenvorNameCard '
               '-noversion FullTrust -name "PersonName"')
    by_key = f'-hex {strong_name_key()} -noname -noversion FullTrust -name "PersonName"'
    return [line(level, membership) for level in ("enterprise", "machine") for membership in (by_file, by_key)]


def ngen_lines(prefix):
    return [f'{prefix}"{WIN_INSTALL_DIR}{assembly}"' for assembly in ASSEMBLIES]


def launches(announced, tool):
    """Each announced line, then the tool's launch logged as started (a value above 32)."""
    started = tool + r" successful returned: '(?:3[3-9]|[4-9]\d|[1-9]\d{2,})'"
    return [p for line in announced for p in (re.escape(line), started)]


def caspol(action):
    whole = CASPOL_ACTIONS[action][1]
    return Matching(literal(f"Entering {action}")
                    + ([r"MsiProcessMessage\(ACTIONSTART\) returned -?\d+"] if whole else [])
                    + literal(f"Installdir: '{WIN_INSTALL_DIR}'", f"caspolPath path: {WIN_RUNTIME_DIR}Caspol.Exe")
                    + launches([f"Caspoling : CASPOL{i} = {line} " if whole else f"Caspoling : CASPOL'{i}'"
                                for i, line in enumerate(caspol_lines(action))], "CASPOL")
                    + literal(f"Product {DEMO_PRODUCT} needs CodeAccessPolicy", *([f"Exiting {action}"] if whole else [])))


def process_ngen(prefix, exit_line):
    return Matching(literal("Entering ProcessNGENInstall", "Entering ProcessNGEN", "after RegOpenKeyEx ProcessNGEN",
                            f"InstallDir returned {WIN_INSTALL_DIR}", f"ngen path: {WIN_RUNTIME_DIR}ngen.exe")
                    + launches(["InstallDir + file: " + line for line in ngen_lines(prefix)], " ngen")
                    + literal("Exiting ProcessNGEN", exit_line))


def not_started(announced, tool):
    """Each announced line, then the tool's launch logged as not started: no such file."""
    return [p for line in announced for p in (re.escape(line), re.escape(f"{tool} not successful returned: '2'"))]


def url_undo(action, tool, lines, announce, head=(), started=True):
    announced = [f"{announce} : '{line}'" for line in lines]
    return Matching(literal(f"Entering {action}", f"Product {DEMO_PRODUCT} no longer needs UrlReservations", *head)
                    + (launches if started else not_started)(announced, tool) + literal(f"Exiting {action}"))


def caspol_undo():
    """The policy stand-in exits with 0, as the tool does while a group is left: 8 runs per level."""
    runs = [p for line in CASPOL_UNDO_LINES for _ in range(8)
            for p in launches([f"Caspoling : {line}"], "CASPOL") + [re.escape("CASPOL exit code: 0")]]
    return Matching(literal("Entering CaspolUndoOperations", f"Product {DEMO_PRODUCT} no longer needs CodeAccessPolicy",
                            f"caspolPath path: {WIN_RUNTIME_DIR}Caspol.Exe")
                    + runs + literal("Exiting CaspolUndoOperations"))


def last_blocks(text, actions):
    """Each action's lines in its last Action start/ended block, and where that block starts."""
    blocks = action_blocks(text)
    return {a: (blocks[a][-1][0], [l[len(PREFIX):] for l in blocks[a][-1][2] if l.startswith(PREFIX)])
            for a in actions if a in blocks}


@contextlib.contextmanager
def registration_stand_ins():
    """The policy and native image tools, and netsh.exe in place of Wine's own, as stand-ins."""
    netsh, saved = os.path.join(NETSH_DIR, "netsh.exe"), os.path.join(NETSH_DIR, "netsh.exe.kci-saved")
    os.makedirs(RUNTIME_DIR, exist_ok=True)
    for tool in ("Caspol.Exe", "ngen.exe"):
        shutil.copy(STANDIN, os.path.join(RUNTIME_DIR, tool))
    shutil.copy(netsh, saved)
    shutil.copy(STANDIN, netsh)
    try:
        yield
    finally:
        shutil.move(saved, netsh)
        if os.path.exists(netsh + ".cmdline"):
            os.remove(netsh + ".cmdline")
        for name in os.listdir(RUNTIME_DIR):
            if name.split(".")[0] in ("Caspol", "ngen"):
                os.remove(os.path.join(RUNTIME_DIR, name))


def registration_installed(case, text):
    expect_actions(case, text, [
        ("netshOperations", Matching(literal("Entering netshOperations") + launches(
            [f"Netshing : '{line}'" for line in NETSH_LINES], "netsh") + literal(NEEDS_RESERVATIONS))),
        ("httpcfgOperations", Matching(literal("Entering httpcfgOperations", f"httpcfg.exe path: '{WIN_INSTALL_DIR}'")
                                       + launches([f"httpcfging : '{l}'" for l in HTTPCFG_LINES], "httpcfg")
                                       + literal(NEEDS_RESERVATIONS))),
        *((action, caspol(action)) for action in CASPOL_ACTIONS),
        ("ProcessNGENInstall", process_ngen(NGEN_INSTALL, "Existing ProcessNGENInstall")),
    ])
    check(f"{case}: action start text 42", "Processing the Caspol Operations" in text)
    check(f"{case}: no policy line grants all code full trust", "-allcode FullTrust" not in text)
    check(f"{case}: httpcfg.exe got its 14 lines in port order",
          stand_in_runs(INSTALL_DIR, "httpcfg.exe", 14)[:14] == HTTPCFG_LINES)
    caspol_got = stand_in_runs(RUNTIME_DIR, "Caspol.Exe", 8)[:8]
    check(f"{case}: Caspol.Exe got each action's four lines in order",
          caspol_got == [line for action in CASPOL_ACTIONS for line in caspol_lines(action)], f"got {caspol_got}")
    check(f"{case}: ngen.exe got the 17 install lines",
          sorted(stand_in_runs(RUNTIME_DIR, "ngen.exe", 17)[:17]) == sorted(ngen_lines(NGEN_INSTALL)))


def registration_removed(case, texts):
    install, text = texts
    check(f"{case}: a good installation runs no rollback row", not any(
        f"{PREFIX}Entering {action}" in install
        for action in ("netshUndoOperations", "httpcfgUndoOperations", "CaspolUndoOperations")))
    expect_actions(case, text, [
        ("ProcessNGENUnInstall", process_ngen(NGEN_UNINSTALL, "Exiting ProcessNGENInstall")),
        ("netshUndoOperations", url_undo("netshUndoOperations", "netsh", NETSH_UNDO_LINES, "Netshing")),
        ("httpcfgUndoOperations", url_undo("httpcfgUndoOperations", "httpcfg", HTTPCFG_UNDO_LINES, "httpcfging",
                                           [f"httpcfg.exe path: '{WIN_INSTALL_DIR}'"])),
        ("CaspolUndoOperations", caspol_undo())])
    check(f"{case}: ngen.exe got the 17 uninstall lines",
          sorted(stand_in_runs(RUNTIME_DIR, "ngen.exe", 34)[17:]) == sorted(ngen_lines(NGEN_UNINSTALL)))
    check(f"{case}: httpcfg.exe got the 14 delete lines after the 14 set lines, each in port order",
          stand_in_runs(INSTALL_DIR, "httpcfg.exe", 28) == HTTPCFG_LINES + HTTPCFG_UNDO_LINES)


# Wine's rollback undoes its own file and registry changes before it runs the rollback rows,
# last scheduled first (measured): httpcfg.exe and the messenger folder value are gone by then.
ROLLBACK_ROWS = [
    ("ProcessNGENUnInstallRollback", ["Entering ProcessNGENInstall", "Entering ProcessNGEN",
                                      "Could not open the InstallPath key, cant run ngen! ", "Exiting ProcessNGEN",
                                      "ProcessNGEN didnt finish all successful", "Exiting ProcessNGENInstall"]),
    ("CaspolUndoOperationsRollback", caspol_undo()),
    ("httpcfgUndoOperationsRollback", url_undo("httpcfgUndoOperations", "httpcfg", HTTPCFG_UNDO_LINES, "httpcfging",
                                               [f"httpcfg.exe path: '{WIN_INSTALL_DIR}'"], started=False)),
    ("netshUndoOperationsRollback", url_undo("netshUndoOperations", "netsh", NETSH_UNDO_LINES, "Netshing")),
]


def registration_rolled_back(case, texts):
    text = texts[-1]
    blocks = last_blocks(text, [action for action, _ in ROLLBACK_ROWS])
    last_start = -1
    for action, expected in ROLLBACK_ROWS:
        start, got = blocks.get(action, (-1, None))
        ok = got is not None and (expected.matches(got) if hasattr(expected, "matches") else got == expected)
        check(f"{case}: {action} lines", ok, f"expected {expected}, got {got}")
        check(f"{case}: {action} after the rollback rows scheduled after it", start > last_start)
        last_start = start
    check(f"{case}: the late failure is the probe's", f"{PREFIX}Unexpected failure in ThrowLengthError" in text)
    check(f"{case}: product files removed", not os.path.exists(README))


class MsiexecRun(typing.NamedTuple):
    mode: str          # /i or /x
    log: str           # the log's name in WORK
    properties: list
    exit_code: int     # as Windows gives it


class RegistrationRun(typing.NamedTuple):
    """The registration installed, and undone by `undone` (a check of the runs' log texts)."""
    case: str
    runs: list         # of MsiexecRun, in order
    undone: typing.Callable


REGISTRATION_RUNS = [
    RegistrationRun(case="runtime registration",
                    runs=[MsiexecRun(mode="/i", log="registration", properties=[], exit_code=0),
                          MsiexecRun(mode="/x", log="registration-remove", properties=[], exit_code=0)],
                    undone=registration_removed),
    RegistrationRun(case="runtime registration rolled back",
                    runs=[MsiexecRun(mode="/i", log="registration-rollback",
                                     properties=["KCI_FAIL_AFTER_REGISTRATION=1"], exit_code=1603)],
                    undone=registration_rolled_back),
]


def case_runtime_registration():
    for row in REGISTRATION_RUNS:
        case = row.case
        remove_leftovers()
        with registration_stand_ins():
            texts = [msiexec(run.mode, run.log, run.properties, case, run.exit_code) for run in row.runs]
            registration_installed(case, texts[0])
            row.undone(case, texts)
            netsh_got = stand_in_runs(NETSH_DIR, "netsh.exe", 28)
            check(f"{case}: netsh.exe got each delete after the adds, each in port order",
                  netsh_got == NETSH_LINES + NETSH_UNDO_LINES, f"got {netsh_got}")
            caspol_got = stand_in_runs(RUNTIME_DIR, "Caspol.Exe", 24)[8:]
            check(f"{case}: Caspol.Exe removed the groups level by level, 8 runs each",
                  caspol_got == [line for line in CASPOL_UNDO_LINES for _ in range(8)], f"got {caspol_got}")


# ------------------------------------------------------- script rows rolled back

class ScriptRollback(typing.NamedTuple):
    """A run that the probe's deferred failure ends late, and what its rollback must leave."""
    case: str
    mode: str           # the failing run's: /i, or /x after an installation
    properties: list
    rows: list          # (rollback row, lines), last scheduled first
    kept: list          # paths (Unix) that must exist afterwards; copies, which must not
    copies: list


COPIES = [unix_path(CURRENT_LAYOUT[f"common {n}"] + "\\" + SHORTCUT) for n in ("desktop", "startup")]
SCRIPT_ROLLBACKS = [
    # Wine removes the installed files before it runs the rollback rows: the uninstallers are gone by then.
    ScriptRollback(case="installation rolled back", mode="/i",
                   properties=["DESKTOP_SHORTCUT=1", "STARTUP_SHORTCUT=1"], copies=COPIES, kept=[],
                   rows=[("KorviRemoveShortcutsRollback", InOrder([
                       f"Deleting desktop icon at {CURRENT_LAYOUT['common desktop']}\\{SHORTCUT}", "Result = 1",
                       f"Deleting startup icon at {CURRENT_LAYOUT['common startup']}\\{SHORTCUT}", "Result = 1"]))]
                   + [script_uninstall(c, "Rollback", c.win_dir, "CreateProcess failed with error: 0x2")
                      for c in reversed(COMPONENTS)]),
    # The commit rows never run: the logs and the per-user settings stay with the product.
    ScriptRollback(case="removal rolled back", mode="/x", properties=[], copies=[], rows=[],
                   kept=[os.path.join(INSTALL_DIR, "Logs", "client.log"), README]),
]


def case_script_rows_roll_back():
    for row in SCRIPT_ROLLBACKS:
        remove_leftovers()
        if row.mode == "/x":
            msiexec("/i", "rollback-install", [SKIP_REGISTRATION], row.case + " install")
            os.makedirs(os.path.join(INSTALL_DIR, "Logs"))
            open(row.kept[0], "w").close()
        wine_reg("add", SETTINGS_KEY, "/v", "Left", "/d", "10", "/f")
        text = msiexec(row.mode, "rollback" + row.mode[1], [SKIP_REGISTRATION, "KCI_FAIL_AFTER_REGISTRATION=1",
                                                           *row.properties], row.case, 1603)
        blocks = last_blocks(text, [action for action, _ in row.rows])
        for (action, expected), later in zip(row.rows, [None] + row.rows):
            start, got = blocks.get(action, (-1, None))
            check(f"{row.case}: {action} lines", got is not None and (
                expected.matches(got) if hasattr(expected, "matches") else got == expected), f"got {got}")
            check(f"{row.case}: {action} after the rows scheduled after it", not later or start > blocks.get(later[0], (start,))[0])
        check(f"{row.case}: no commit row ran", f"{PREFIX}Entering RemoveLogs" not in text)
        check(f"{row.case}: the per-user settings stay", wine_reg("query", SETTINGS_KEY)[0] == 0)
        check(f"{row.case}: what must stay stays", all(map(os.path.exists, row.kept)))
        check(f"{row.case}: the copies went again", not any(map(os.path.exists, row.copies)))
        wine_reg("delete", SETTINGS_KEY, "/f")
        msiexec("/x", "rollback-cleanup", [SKIP_REGISTRATION])


# ------------------------------------------------- the machine as it was found

# The keys snapshot in each registry file of the prefix (its own names, lower case), and how
# they are shown. Wine's system.reg holds the control set as CurrentControlSet (no
# ControlSet001). Each root must give at least its floor of keys (a new prefix has 15565 under
# Software, 117 under the control set and 51 in the two user hives), so that a root that is
# not there cannot compare as unchanged.
REGISTRY_FILES = {"system.reg": ("HKLM\\", ("software\\", "system\\currentcontrolset\\")),
                  "user.reg": ("HKU\\user\\", ("",)), "userdef.reg": ("HKU\\.default\\", ("",))}
CONTROL_SET = "HKLM\\System\\CurrentControlSet\\"
KEY_FLOORS = {"HKLM\\Software\\": 10000, CONTROL_SET: 100, "HKU\\": 40}
# The installer's and Wine's own changes, which the comparison passes over: (pattern, why).
IGNORED = [
    (r"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\.*",
     "the installer's own bookkeeping: rollback scripts, the in-progress mark, its per-run state"),
    (r"HKLM\\Software\\Classes\\Installer\\(Features|Products|UpgradeCodes)",
     "the installer's registration of products: Wine leaves these keys once made, empty"),
    (r"C:\\windows\\Installer(\\.*)?", "the installer's package cache and its rollback scripts"),
    (r"C:\\windows\\temp(\\.*)?", "the installer's and Wine's temporary files"),
    (r"HKLM\\System\\CurrentControlSet\\Control\\Class\\\{4D36E968-E325-11CE-BFC1-08002BE10318\}\\0000\|\"DriverDateData\"",
     "Wine rewrites the display adapter's driver date at every server start"),
]


def registry_snapshot():
    """Every key and value, the value's type and data as Wine writes them."""
    subprocess.run(["wineserver", "-k"])  # Wine writes its registry files as its server ends
    entries = {}
    for file, (shown, roots) in REGISTRY_FILES.items():
        key = None
        with open(os.path.join(os.environ["WINEPREFIX"], file), encoding="utf-8", errors="replace") as f:
            for line in f.read().replace("\\\n  ", "").splitlines():
                if line.startswith("["):
                    path = line[1:line.rindex("]")].replace("\\\\", "\\")
                    key = shown + path if path.lower().startswith(roots) else None
                    entries.update({key: "key"} if key else {})
                elif key and (m := re.match(r'(@|"(?:[^"\\]|\\.)*")=(.*)', line)):
                    entries[key + "|" + m[1]] = m[2]
    for root, floor in KEY_FLOORS.items():
        keys = sum(name.lower().startswith(root.lower()) and "|" not in name for name in entries)
        if keys < floor:
            raise RuntimeError(f"the snapshot read {keys} keys under {root}, fewer than {floor}")
    return entries


def file_snapshot():
    """Every file and folder under C:\\ with its size (a link as a link)."""
    drive = os.path.join(os.environ["WINEPREFIX"], "drive_c")
    return {"C:\\" + os.path.relpath(os.path.join(folder, name), drive).replace("/", "\\"):
            "link" if os.path.islink(os.path.join(folder, name)) else "folder" if name in folders
            else os.path.getsize(os.path.join(folder, name))
            for folder, folders, files in os.walk(drive) for name in folders + files}


def differences(before, after):
    return [f"{name}: {before.get(name, '(none)')} -> {after.get(name, '(none)')}"
            for name in sorted(before.keys() | after.keys()) if before.get(name) != after.get(name)
            and not any(re.fullmatch(pattern, name, re.I) for pattern, _ in IGNORED)]


def case_machine_left_as_found():
    """Installed and removed, and installed and rolled back: the machine as it was. A set
    crash-dump setting shows that it is put back."""
    wine_reg("add", CRASH_CONTROL, "/v", "CrashDumpEnabled", "/t", "REG_DWORD", "/d", "7", "/f")
    os.environ["KCI_STANDIN_RECORDS"] = winpath(WORK)
    try:
        with registration_stand_ins():
            for row in REGISTRATION_RUNS:
                registry, files = registry_snapshot(), file_snapshot()
                for run in row.runs:
                    msiexec(run.mode, "found-" + run.log, run.properties, row.case, run.exit_code)
                found = differences(registry, registry_snapshot()) + differences(files, file_snapshot())
                check(f"{row.case}: machine left as found", not found, "\n  " + "\n  ".join(found))
                print(f"machine left as found: {sum('|' in n for n in registry)} registry values "
                      f"({sum('|' in n and n.lower().startswith(CONTROL_SET.lower()) for n in registry)} under the "
                      f"control set) and {len(files)} files compared, {len(found)} differences")
    finally:
        del os.environ["KCI_STANDIN_RECORDS"]
        wine_reg("delete", CRASH_CONTROL, "/v", "CrashDumpEnabled", "/f")


def demo_copy(name, package_code, product_code, *queries):
    """The demo under another package and product code, changed by msibuild's SQL `queries`."""
    path = os.path.join(WORK, name)
    shutil.copy(MSI, path)
    for change in (["-s", "Korvi Demo", "Tenvor Systems, Inc.", "Intel;1033", package_code],
                   ["-q", f"UPDATE Property SET Value='{product_code}' WHERE Property='ProductCode'"],
                   *(["-q", query] for query in queries)):
        subprocess.run(["msibuild", path, *change])
    return path


def case_two_products_share_the_reservations():
    """A second product code of the demo: the reservations stay until both are removed."""
    case = "two products"
    second = demo_copy("KorviDemo2.msi", "{6A0E4B77-1F6C-4D3B-9B1E-2C7A5D8E9F10}", "{0B3C5D7E-2A4F-4E6B-8C9D-1E2F3A4B5C6D}")
    with registration_stand_ins():
        msiexec("/i", "first", [], case), msiexec("/i", "second", [], case, msi=second)
        first, last = msiexec("/x", "first-remove", [], case), msiexec("/x", "second-remove", [], case, msi=second)
    check(f"{case}: the first removal keeps the reservations", "Netshing : 'http delete" not in first and
          f"{PREFIX}Still needed by 1 other products: UrlReservations kept" in first)
    check(f"{case}: the last removal deletes them", "Still needed" not in last
          and "Netshing : 'http delete urlacl url=http://+:44452/'" in last)


# A repair (REINSTALL=ALL REINSTALLMODE=omus, what /f sets: Wine 8's /f repairs nothing) runs
# the checks and probes and no program. Then a second version replaces the demo, the old one
# removed after the new one's script, and goes in turn: Wine runs the old one's removal rows,
# which Windows skips, so the upgrade holds the machine as found, not those rows.
REPAIR_ENTERED = ["CheckQDNDriverOpen", "CheckRunningApps", "CheckRunningC2CApps", "CheckRunningMOC", "CheckRunningOutlook",
                  "CpuHasMinimumInstructionSet", "CpuSpeedInMhz", "CreateDisplayableVersion", "DisableCancel",
                  "EnableCancel", "Find Microsoft Office Communicator", "FindDRAVO", "FindFENWA", "FindKORVI",
                  "FindOutlook", "PrecertificationFailureCount"]


def case_repair_then_major_upgrade():
    upgrade, ran = "{6F1D4A53-2C4B-4D59-9E0A-5B7B8C1D2E3F}", lambda: {n: os.path.getsize(os.path.join(WORK, n))
                                                                     for n in os.listdir(WORK) if n.endswith(".cmdline")}
    second = demo_copy("KorviDemo-2.msi", "{9C2E4A61-7B3D-4F58-A1C0-3D5E7F9A1B2C}", "{E5A7C913-2B4D-4E6F-8A0B-C1D2E3F4A5B6}",
                       "UPDATE Property SET Value='2.0.0' WHERE Property='ProductVersion'", "DELETE FROM Upgrade",
                       "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) "
                       f"VALUES ('{upgrade}', '2.0.0', 1, 'WIX_UPGRADE_DETECTED')",
                       "UPDATE InstallExecuteSequence SET Sequence=6601 WHERE Action='RemoveExistingProducts'")
    os.environ["KCI_STANDIN_RECORDS"] = winpath(WORK)
    try:
        with registration_stand_ins():
            registry, files = registry_snapshot(), file_snapshot()
            images = len(stand_in_runs(WORK, "ngen.exe"))
            msiexec("/i", "repair-install", [], "repair")
            stand_in_runs(WORK, "ngen.exe", images + 17)  # the 17 native image runs, not waited for
            installed = ran()
            text = msiexec("/i", "repair", ["REINSTALL=ALL", "REINSTALLMODE=omus"], "repair")
            entered = sorted(set(re.findall("^" + re.escape(PREFIX) + "Entering (.+)$", text, re.M)))
            check("repair: the library's actions", entered == REPAIR_ENTERED, f"got {entered}")
            check("repair: no stand-in installer or tool ran", ran() == installed, f"{installed} -> {ran()}")
            print(f"repair entered: {', '.join(entered)}")
            text = msiexec("/i", "upgrade", [], "major upgrade", msi=second)
            ended = re.findall(r"^Action ended [\d:]+: (\w+)\. Return value 1", text, re.M) + ["InstallFinalize"]
            check("major upgrade: the old version removed after the new one's script", f"WIX_UPGRADE_DETECTED = "
                  f"{DEMO_PRODUCT}" in text and "RemoveExistingProducts" in ended[ended.index("InstallFinalize"):], ended)
            msiexec("/x", "upgrade-remove", [], "major upgrade", msi=second)
            found = differences(registry, registry_snapshot()) + differences(files, file_snapshot())
        check("major upgrade: machine left as found", not found, "\n  " + "\n  ".join(found))
        print(f"major upgrade: {sum('|' in n for n in registry)} registry values and "
              f"{len(files)} files compared, {len(found)} differences")
    finally:
        del os.environ["KCI_STANDIN_RECORDS"]


def case_deployment_table_names_every_row():
    """docs/deployment.md's table names every custom action row of the include."""
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    with open(os.path.join(root, "package", "KorviCustomImmediate.wxi"), encoding="utf-8") as f:
        rows = re.findall(r'<CustomAction Id="(\w+)"', re.sub(r"<!--.*?-->", "", f.read(), flags=re.S))
    with open(os.path.join(root, "docs", "deployment.md"), encoding="utf-8") as f:
        named = {name for line in f if line.startswith("| ") for name in re.findall(r"`(\w+)`", line.split("|")[1])}
    missing = [row for row in rows if row not in named]
    check(f"deployment table: all {len(rows)} rows of the include named", rows and not missing, f"missing {missing}")


CASES = [case_deployment_table_names_every_row, case_install_and_remove, case_running_mail_client_stops_a_silent_install,
         case_component_failures_report_once_and_ask_for_reboot,
         case_running_browser_stops_a_silent_install_in_the_tenth_try, case_shortcuts_made_and_removed_logs_removed,
         case_current_layout_stays_inside_what_the_product_made,
         case_version_driver_check_crash_dumps_and_bits, case_precertification_failures_fail_the_install,
         case_runtime_registration, case_script_rows_roll_back, case_machine_left_as_found,
         case_two_products_share_the_reservations, case_repair_then_major_upgrade]


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    # Leftovers of an interrupted run would turn an install into maintenance. By product code:
    # for a package that is not installed, Wine's /x runs its install rows too.
    msiexec("/x", "cleanup", msi=DEMO_PRODUCT)
    for case in CASES:
        remove_leftovers()
        started = time.time()
        try:
            case()
        except Exception as e:  # a broken case is a failure, not a crash of the run
            check(case.__name__, False, repr(e))
        print(f"# {case.__name__}: {time.time() - started:.1f}s")
    remove_leftovers()
    print(f"e2e: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
