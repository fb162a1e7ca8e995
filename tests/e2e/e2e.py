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
CAMERA_DIR = os.path.join(INSTALL_DIR, "Camera")
RTMX_DIR = os.path.join(PROGRAM_FILES, "Common Files", "Tenvor Systems", "Media Driver")
WIN_INSTALL_DIR = "C:\\Program Files (x86)\\Korvi Demo\\"
WIN_CAMERA_DIR = WIN_INSTALL_DIR + "Camera\\"
WIN_RTMX_DIR = "C:\\Program Files (x86)\\Common Files\\Tenvor Systems\\Media Driver\\"
REPORT_HEADER = "The following error(s) occurred:"
REPORT_FOOTER = "Finish install then use the Error Reporting Tool to report this problem"

# The registration case runs the registration actions; every other install leaves them out.
SKIP_REGISTRATION = "KCI_SKIP_REGISTRATION=1"

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
    try:
        rc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600).returncode
    except subprocess.TimeoutExpired:
        # The Windows msiexec outlives its launcher: end everything in the prefix.
        subprocess.run(["wineserver", "-k"])
        raise
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


class Matching:
    """Lines that match these regular expressions one to one, in order."""

    def __init__(self, patterns):
        self.patterns = patterns

    def matches(self, got):
        return len(got) == len(self.patterns) and all(re.fullmatch(p, g) for p, g in zip(self.patterns, got))

    def __repr__(self):
        return f"Matching({self.patterns})"


def library_lines(block_lines):
    return [l[len(PREFIX):] for l in block_lines if l.startswith(PREFIX)]


def expect_actions(case, text, expectations, deferred=()):
    """expectations: list of (action, lines); the action's block holds exactly those library
    lines (or, for InOrder, at least those in that order). A deferred action is scheduled in
    the sequence but runs, and logs, inside InstallFinalize: its block there is the one read."""
    blocks = action_blocks(text)
    finalize = blocks.get("InstallFinalize", [])

    def in_script(block):
        return any(fs < block[0] and block[1] < fe for fs, fe, _ in finalize)

    last_start = -1
    for action, expected in expectations:
        found = [b for b in blocks.get(action, []) if in_script(b) == (action in deferred)]
        if not found:
            where = "inside InstallFinalize" if action in deferred else "in the sequence"
            check(f"{case}: {action} ran {where}", False, "no Action start/ended block there")
            continue
        start, end, lines = found[0]
        got = library_lines(lines)
        ok = expected.matches(got) if hasattr(expected, "matches") else got == expected
        check(f"{case}: {action} lines", ok, f"expected {expected}, got {got}")
        check(f"{case}: {action} in sequence order", start > last_start, "ran before the previous action")
        last_start = start


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
        if len(got) != 6 or got[0] != "Entering CpuSpeedInMhz":
            return False
        values = []
        for pattern, line in zip(self.SOURCES, got[1:5]):
            m = re.fullmatch(pattern, line)
            if not m:
                return False
            values += [int(v) for v in m.groups()]
        return max(values) > 0 and got[5] == f"Exiting CpuSpeedInMhz with return code of {max(values)}"


def probe_checks():
    """The processor probes: the package ignores their results, the log carries them."""
    return [
        ("CpuSpeedInMhz", LargestSpeed()),
        ("CpuHasMinimumInstructionSet", ["Entering CpuHasMinimumInstructionSet",
                                         "Exiting CpuHasMinimumInstructionSet with return code of 1"]),
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
                return self
            time.sleep(0.02)
        self.__exit__()
        raise RuntimeError(f"{self.image_name} did not start within 10 s")

    def __exit__(self, *exc):
        subprocess.run(["wine", "taskkill", "/f", "/im", self.image_name], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.process.kill()
        self.process.wait()


def component_install(action, key, program, switch, exit_code=0):
    """The lines of one deferred component install that ran its program."""
    return [f"Entering {action}", "Entering ParseCustomActionData",
            f"'CustomActionData' contains the following value: '{key}|{program}'",
            "Exiting ParseCustomActionData", f'Going to try executing "{program}"{switch}',
            f"Process returned 0x{exit_code:x}", f"Exiting {action}"]


def component_installs(camera=0, qdn=0, rtmx=0):
    return [
        ("InstallCamera", component_install("InstallCamera", "WQInstallerExe", WIN_CAMERA_DIR + "WQInstaller.exe",
                                            " /install", camera)),
        ("InstallQdnAndFilter", component_install("InstallQdnAndFilter", "QdnAxExe",
                                                  WIN_INSTALL_DIR + "InstallQdnAndAx.exe", " /I", qdn)),
        ("InstallRtmx", component_install("InstallRtmx", "RtmxDriverInstallerExe",
                                          WIN_RTMX_DIR + "RtmxDriverInstaller.exe", " /install", rtmx)),
    ]


DEFERRED = ("InstallCamera", "InstallQdnAndFilter", "InstallRtmx")


def component_uninstalls():
    # The folder lines carry the folder in brackets; the installer reads a log
    # line as a template, so in its log the bracketed folder expands to nothing.
    return [
        ("SetRtmxPath", ["Entering SetRtmxPath",
                         "SHGetFolderPath returned valid folder: C:\\Program Files (x86)\\Common Files",
                         "RegOpenKey returned 2",
                         "Setting _RTMX_DIR_ property to " + WIN_RTMX_DIR.rstrip("\\"),
                         "Leaving SetRtmxPath"]),
        ("UninstallCamera", ["Entering UninstallCamera", "MsiGetTargetPath says CAMERADRIVER is ",
                             f'Going to try executing "{WIN_CAMERA_DIR}WQInstaller.exe" /uninstall',
                             "Process returned 0x0", "Exiting UninstallCamera"]),
        ("UninstallQdnAndFilter", ["Entering UninstallQdnAndFilter", "MsiGetTargetPath says INSTALLDIR is ",
                                   f'Going to try executing "{WIN_INSTALL_DIR}InstallQdnAndAx.exe" /U',
                                   "Process returned 0x0", "Exiting UninstallQdnAndFilter"]),
        ("UninstallRtmx", ["Entering UninstallRtmx", "MsiGetProperty says _RTMX_DIR_ is ",
                           f'Going to try executing "{WIN_RTMX_DIR}RtmxDriverInstaller.exe" /uninstall',
                           "Process returned 0x0", "Exiting UninstallRtmx"]),
    ]


def stand_in_switches(folder, program):
    """The switch each run of an installed stand-in received."""
    path = os.path.join(folder, program + ".cmdline")
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return [line.rsplit(" ", 1)[-1] for line in f.read().splitlines()]


def set_stand_in_exit_code(folder, program, code):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, program + ".exitcode"), "w") as f:
        f.write(str(code))


def remove_leftovers():
    """What the stand-ins wrote beside themselves is no product file: msiexec leaves it."""
    for folder in (INSTALL_DIR, RTMX_DIR):
        shutil.rmtree(folder, ignore_errors=True)


# ---------------------------------------------------------------- the cases

def case_install_and_remove():
    case = "clean install"
    rc, text = msiexec("/i", os.path.join(WORK, "install.log"), ["KCI_TEST_MESSAGE=1", SKIP_REGISTRATION])
    exit_code(case, rc, 0)
    expect_actions(case, text, clean_machine_checks() + probe_checks() + [
        ("DisableCancel", cancel_lines("DisableCancel")),
        ("TestMessage", []),
        ("EnableCancel", cancel_lines("EnableCancel")),
    ] + component_installs(), deferred=DEFERRED)
    check(f"{case}: no error report", REPORT_HEADER not in text)
    check(f"{case}: stand-ins ran with their install switches",
          [stand_in_switches(CAMERA_DIR, "WQInstaller.exe"), stand_in_switches(INSTALL_DIR, "InstallQdnAndAx.exe"),
           stand_in_switches(RTMX_DIR, "RtmxDriverInstaller.exe")] == [["/install"], ["/I"], ["/install"]])
    check(f"{case}: TestMessage user message in the log", "\nhey dude\n" in text)
    check(f"{case}: product files installed", os.path.exists(os.path.join(INSTALL_DIR, "readme.txt")))

    case = "removal"
    rc, text = msiexec("/x", os.path.join(WORK, "remove.log"))
    exit_code(case, rc, 0)
    expect_actions(case, text, clean_machine_checks() + [
        ("DisableCancel", cancel_lines("DisableCancel")),
    ] + component_uninstalls() + [
        ("EnableCancel", cancel_lines("EnableCancel")),
    ])
    check(f"{case}: stand-ins ran with their uninstall switches",
          [stand_in_switches(CAMERA_DIR, "WQInstaller.exe"), stand_in_switches(INSTALL_DIR, "InstallQdnAndAx.exe"),
           stand_in_switches(RTMX_DIR, "RtmxDriverInstaller.exe")]
          == [["/install", "/uninstall"], ["/I", "/U"], ["/install", "/uninstall"]])
    check(f"{case}: product files removed", not os.path.exists(os.path.join(INSTALL_DIR, "readme.txt")))


def silent_install_while_running(case, image_name, action, lines, prompts):
    """Installs under /qn while `image_name` runs: nobody can answer the files-in-use
    prompt (it returns 0), so `action` must end the installation with 1602 after
    `prompts` prompts, its `lines` in order."""
    with DummyProcess(image_name):
        rc, text = msiexec("/i", os.path.join(WORK, image_name + ".log"), [SKIP_REGISTRATION])
    exit_code(case, rc, 1602)
    expect_actions(case, text, [(action, InOrder(lines))])
    shown = len(re.findall(r"^" + re.escape(PREFIX) + r"Result = 0$", text, re.M))
    check(f"{case}: {prompts} silent prompts", shown == prompts, f"got {shown}")
    check(f"{case}: nothing installed", not os.path.exists(os.path.join(INSTALL_DIR, "readme.txt")))


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
    set_stand_in_exit_code(CAMERA_DIR, "WQInstaller.exe", 3)
    set_stand_in_exit_code(INSTALL_DIR, "InstallQdnAndAx.exe", 0x5)
    rc, text = msiexec("/i", os.path.join(WORK, "component-failures.log"), [SKIP_REGISTRATION])
    exit_code(case, rc, 3010)
    expect_actions(case, text, component_installs(camera=3, qdn=5), deferred=DEFERRED)
    report = (f"{REPORT_HEADER}\n   - QDN driver install failed   - QDN driver marked for deletion\n"
              f"{REPORT_FOOTER}")
    check(f"{case}: one error report with texts 9 and 11", text.count(REPORT_HEADER) == 1 and report in text,
          "report missing or not as expected")
    msiexec("/x", os.path.join(WORK, "component-failures-remove.log"))


# ------------------------------------------------- shortcuts and cleanup

SHORTCUT = "Tenvor Omni Meridia.lnk"
OLD_LAYOUT = "C:\\kci-profiles"  # profiles root of the older layout, inside the prefix
QUICK_LAUNCH = "\\Application Data\\Microsoft\\Internet Explorer\\Quick Launch"
SHELL_FOLDERS = ("Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                 "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")
OLD_LAYOUT_FOLDERS = {"Common AppData": OLD_LAYOUT + "\\All Users\\Application Data",
                      "Common Desktop": OLD_LAYOUT + "\\All Users\\DeskTop",
                      "Common StartUp": OLD_LAYOUT + "\\All Users\\Start Menu\\Programs\\StartUp"}
SETTINGS_KEY = "HKEY_CURRENT_USER\\Software\\Tenvor Systems, Inc.\\KORVI\\Tcp"


def unix_path(windows_path):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", *windows_path[3:].split("\\"))


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
    """The three common folders under both keys as they stand, to put back afterwards."""
    saved = {}
    for key in SHELL_FOLDERS:
        out = subprocess.run(["wine", "reg", "query", "HKLM\\" + key], capture_output=True, text=True).stdout
        values = {}
        for line in out.replace("\r", "").splitlines():
            parts = line.strip().split("    ")
            if len(parts) == 3 and parts[0].lower() in (n.lower() for n in OLD_LAYOUT_FOLDERS):
                values[parts[0]] = reg_value(parts[1], parts[2])
        for name in OLD_LAYOUT_FOLDERS:  # a value that was not there goes again
            if name.lower() not in (n.lower() for n in values):
                values[name] = "-"
        saved["HKEY_LOCAL_MACHINE\\" + key] = values
    return saved


def case_shortcuts_made_and_removed_logs_removed():
    """The common folders point into an older profiles layout, as on the
    systems the product's walk was made for: every copy CreateShortcuts makes
    there, RemoveShortcuts takes away again."""
    case = "shortcuts and logs"
    profiles = [OLD_LAYOUT + "\\All Users", OLD_LAYOUT + "\\Alice"]
    for folder in list(OLD_LAYOUT_FOLDERS.values()) + [p + QUICK_LAUNCH for p in profiles]:
        os.makedirs(unix_path(folder), exist_ok=True)
    saved = shell_folder_values()
    import_reg("old-layout.reg", {**{"HKEY_LOCAL_MACHINE\\" + key: {n: reg_value("REG_SZ", v) for n, v in
                                                                   OLD_LAYOUT_FOLDERS.items()} for key in SHELL_FOLDERS},
                                  SETTINGS_KEY: {"Left": reg_value("REG_SZ", "10")}})
    copies = [OLD_LAYOUT_FOLDERS["Common Desktop"], OLD_LAYOUT_FOLDERS["Common StartUp"]] + \
             [p + QUICK_LAUNCH for p in profiles]
    copies = [unix_path(c + "\\" + SHORTCUT) for c in copies]
    try:
        rc, text = msiexec("/i", os.path.join(WORK, "shortcuts.log"), [
            "ApplicationUsers=AllUsers", "DESKTOP_SHORTCUT=1", "STARTUP_SHORTCUT=1", "QUICKLAUNCH_SHORTCUT=1",
            SKIP_REGISTRATION])
        exit_code(case, rc, 0)
        source = WIN_INSTALL_DIR + SHORTCUT
        expect_actions(case, text, [("KorviCreateShortcuts", InOrder([
            "Entering CreateShortcuts", "ApplicationUsers property: AllUsers", "Shortcut link is here: " + source,
            f"Copying {source} to {OLD_LAYOUT_FOLDERS['Common Desktop']}",
            f"Copying {source} to {OLD_LAYOUT_FOLDERS['Common StartUp']}",
            f"Going to iterate quick launch bars at {OLD_LAYOUT_FOLDERS['Common AppData']}, result=0",
            "Copy operation returned 0x0", "Calling RemoveOldShortcuts", "Entering RemoveOldShortcuts",
            "Leaving RemoveOldShortcuts", "Exiting CreateShortcuts"]))])
        check(f"{case}: a copy in the common desktop, Startup and each Quick Launch bar",
              all(os.path.exists(c) for c in copies), str([c for c in copies if not os.path.exists(c)]))

        logs = os.path.join(INSTALL_DIR, "Logs")
        os.makedirs(logs, exist_ok=True)
        with open(os.path.join(logs, "client.log"), "w") as f:
            f.write("log")
        rc, text = msiexec("/x", os.path.join(WORK, "shortcuts-remove.log"))
        exit_code(case + " removal", rc, 0)
        expect_actions(case + " removal", text, [
            ("RemoveLogs", InOrder(["Entering RemoveLogs",
                                    "Going to try removing log files: " + WIN_INSTALL_DIR + "Logs\\*.*",
                                    "Going to try removing log file folder: " + WIN_INSTALL_DIR + "Logs",
                                    "Exiting RemoveLogs"])),
            ("KorviRemoveShortcuts", InOrder([
                "Entering RemoveShortcuts",
                f"Deleting desktop icon at {OLD_LAYOUT_FOLDERS['Common Desktop']}\\{SHORTCUT}", "Result = 1",
                f"Deleting quick launch icon at {profiles[1]}{QUICK_LAUNCH}\\{SHORTCUT}", "Result = 1",
                "Leaving RemoveShortcuts"])),
            ("NukeRegistrySettings", InOrder(["Entering NukeRegistrySettings", "Leaving NukeRegistrySettings"])),
        ])
        check(f"{case}: every copy removed again", not any(os.path.exists(c) for c in copies),
              str([c for c in copies if os.path.exists(c)]))
        check(f"{case}: Logs folder removed", not os.path.exists(logs))
        settings = subprocess.run(["wine", "reg", "query", SETTINGS_KEY], capture_output=True).returncode
        check(f"{case}: per-user settings key removed", settings != 0)
    finally:
        import_reg("restore.reg", saved)
        shutil.rmtree(unix_path(OLD_LAYOUT), ignore_errors=True)


CASES = [case_install_and_remove, case_running_mail_client_stops_a_silent_install,
         case_component_failures_report_once_and_ask_for_reboot,
         case_running_browser_stops_a_silent_install_in_the_tenth_try, case_shortcuts_made_and_removed_logs_removed]


# ------------------------------------------- versions, drivers and settings

BITS_DIR = os.path.join(INSTALL_DIR, "AutoUpdate")
CRASH_CONTROL = r"HKLM\SYSTEM\CurrentControlSet\Control\CrashControl"
PRECERTIFICATION = r"HKLM\Software\Tenvor Systems, Inc.\Tenvor Pelago\Precertification"


def wine_reg(*args):
    """Runs Wine's reg tool; returns its output."""
    return subprocess.run(["wine", "reg", *args], capture_output=True, text=True).stdout


def case_version_driver_check_crash_dumps_and_bits():
    case = "version, driver check, crash dumps, BITS"
    # Every real machine has crash control settings; a fresh Wine prefix has none.
    wine_reg("add", CRASH_CONTROL, "/v", "CrashDumpEnabled", "/t", "REG_DWORD", "/d", "0", "/f")
    try:
        rc, text = msiexec("/i", os.path.join(WORK, "probes.log"), [SKIP_REGISTRATION])
        dump = wine_reg("query", CRASH_CONTROL, "/v", "CrashDumpEnabled")
    finally:
        wine_reg("delete", CRASH_CONTROL, "/f")
    exit_code(case, rc, 0)
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
        ("ForceFullDump", ["Entering ForceFullDump", "RegSetValueEx succeeded", "Exiting ForceFullDump"]),
        # Wine registers BITS, so its client setup is only deleted.
        ("InstallBits", InOrder(["Entering InstallBits", "Not installing BITS",
                                 "Delete of BITS install exe returned 0"])),
    ], deferred=("ForceFullDump",))
    check(f"{case}: PDisplayableVersion set", "Property(S): PDisplayableVersion = 1.0(0)\n" in text)
    check(f"{case}: no discovery device in use", "forcing reboot" not in text)
    check(f"{case}: CrashDumpEnabled is 1", re.search(r"CrashDumpEnabled\s+REG_DWORD\s+0x1\b", dump) is not None, dump)
    setup = os.path.join(BITS_DIR, "Bits_v15_Client_Setup.exe")
    check(f"{case}: BITS setup deleted, never run",
          not os.path.exists(setup) and not os.path.exists(setup + ".cmdline"))
    msiexec("/x", os.path.join(WORK, "probes-remove.log"))


def case_precertification_failures_fail_the_install():
    case = "precertification count 2"
    wine_reg("add", PRECERTIFICATION, "/v", "FailureCount", "/t", "REG_SZ", "/d", "2", "/f", "/reg:32")
    try:
        rc, text = msiexec("/i", os.path.join(WORK, "precertification.log"), [SKIP_REGISTRATION])
    finally:
        wine_reg("delete", PRECERTIFICATION, "/f", "/reg:32")
    exit_code(case, rc, 1603)
    expect_actions(case, text, [
        ("PrecertificationFailureCount", ["Entering PrecertificationFailureCount",
                                          "RegQueryValueEx returned a string: 2"]),
    ])
    check(f"{case}: nothing installed", not os.path.exists(os.path.join(INSTALL_DIR, "readme.txt")))


CASES += [case_version_driver_check_crash_dumps_and_bits, case_precertification_failures_fail_the_install]

# ------------------------------------------------------ runtime registration

RUNTIME_DIR = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "Microsoft.NET", "Framework", "v2.0.50727")
WIN_RUNTIME_DIR = "C:\\windows\\Microsoft.NET\\Framework\\v2.0.50727\\"
RUNTIME_TOOLS = ("Caspol.Exe", "ngen.exe")
PORTS = [8191] + list(range(44440, 44453))
ASSEMBLIES = ["LinkBridges.dll", "Tenvor.Qm.Desks.Shared.ViewThemePack.dll", "Tenvor.Qm.Desks.Shared.ViewThemeTools.dll",
              "Tenvor.Qm.Desks.Shared.ViewHostProxy.dll", "Tenvor.Qm.Desks.Shared.ViewTools.dll",
              "Tenvor.Qm.Desks.Chat.Hosts.dll", "CoreLinkBridges.dll", "tracekit.dll", "View.DropButton.dll",
              "lorimoc.exe", "Interop.ChatDeskAPI.dll", "Interop.ChatDeskPrivate.dll", "Interop.MailGate.dll",
              "Dial Assist\\Tenvor.DialAssist.Shared.ComBridge.dll", "Dial Assist\\Tenvor.DialAssist.Shared.Kernel.dll",
              "Dial Assist\\add-ins\\people\\TenvorDialAssistPeople.dll",
              "Dial Assist\\add-ins\\namecard\\TenvorNameCard.dll"]
STARTED = r"successful returned: '(?:3[3-9]|[4-9]\d|[1-9]\d{2,})'"


def strong_name_key():
    source = os.path.join(os.path.dirname(__file__), "..", "..", "src", "registration", "core", "registration_tables.cpp")
    with open(source, encoding="utf-8") as f:
        text = f.read()
    return "".join(re.findall(r'L"([0-9A-F]+)"', text.split("kStrongNamePublicKey[] =", 1)[1].split(";", 1)[0]))


def caspol_lines(directory, tail):
    def line(level, allcode, membership):
        return (f'-polchgprompt off -{level} -addgroup 1 -allcode {allcode} -name "TenvorSmartTags" '
                f'-{level} -addgroup TenvorSmartTags -strong {membership}')
    by_file = f'-file "{directory}{tail}TenvorNameCard.dll" TenvorNameCard -noversion FullTrust -name "PersonName"'
    by_key = f'-hex {strong_name_key()} -noname -noversion FullTrust -name "PersonName"'
    return [line(level, allcode, membership) for level in ("enterprise", "machine")
            for allcode, membership in (("Nothing", by_file), ("FullTrust", by_key))]


def ngen_lines(prefix):
    return [f'{prefix}"{WIN_INSTALL_DIR}{assembly}"' for assembly in ASSEMBLIES]


def launches(label, tool, lines):
    return [p for line in lines for p in (re.escape(label.format(line)), re.escape(tool) + " " + STARTED)]


def caspol(action, tail, whole_lines):
    lines = caspol_lines(WIN_INSTALL_DIR, tail)
    head = [re.escape(f"Entering {action}")]
    if whole_lines:
        head.append(r"MsiProcessMessage\(ACTIONSTART\) returned -?\d+")
    head += [re.escape(f"Installdir: '{WIN_INSTALL_DIR}'"), re.escape(f"caspolPath path: {WIN_RUNTIME_DIR}Caspol.Exe")]
    steps = []
    for i, line in enumerate(lines):
        steps.append(re.escape(f"Caspoling : CASPOL{i} = {line} " if whole_lines else f"Caspoling : CASPOL'{i}'"))
        steps.append("CASPOL " + STARTED)
    return Matching(head + steps + ([re.escape(f"Exiting {action}")] if whole_lines else []))


def process_ngen(prefix, exit_line):
    return Matching([re.escape(l) for l in ["Entering ProcessNGENInstall", "Entering ProcessNGEN",
                                             "after RegOpenKeyEx ProcessNGEN", f"InstallDir returned {WIN_INSTALL_DIR}",
                                             f"ngen path: {WIN_RUNTIME_DIR}ngen.exe"]]
                    + [p for line in ngen_lines(prefix)
                       for p in (re.escape(f"InstallDir + file: {line}"), " ngen " + STARTED)]
                    + [re.escape("Exiting ProcessNGEN"), re.escape(exit_line)])


def registrations():
    return [
        ("netshOperations", Matching([re.escape("Entering netshOperations")]
                                     + launches("Netshing : '{}'", "netsh",
                                                [f"http add urlacl url=http://+:{p}/ D:(A;;GX;;;BU)" for p in PORTS]))),
        ("httpcfgOperations", Matching([re.escape("Entering httpcfgOperations"),
                                        re.escape(f"httpcfg.exe path: '{WIN_INSTALL_DIR}'")]
                                       + launches("httpcfging : '{}'", "httpcfg", HTTPCFG_LINES))),
        ("CaspolOperations", caspol("CaspolOperations", "Dial Assist\\add-ins\\namecard\\", False)),
        ("CaspolOperationsC2C", caspol("CaspolOperationsC2C", "add-ins\\smarttag\\plugin\\", True)),
        ("ProcessNGENInstall", process_ngen("/nologo /silent ", "Existing ProcessNGENInstall")),
    ]


HTTPCFG_LINES = [f"set urlacl /u http://+:{p}/ /a D:(A;;GX;;;BU)" for p in PORTS]
REGISTRATIONS = ("netshOperations", "httpcfgOperations", "CaspolOperations", "CaspolOperationsC2C",
                 "ProcessNGENInstall", "ProcessNGENUnInstall")


def stand_in_parameters(folder, program, count):
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


def place_runtime_tools():
    os.makedirs(RUNTIME_DIR, exist_ok=True)
    for tool in RUNTIME_TOOLS:
        shutil.copy(STANDIN, os.path.join(RUNTIME_DIR, tool))


def remove_runtime_tools():
    for tool in RUNTIME_TOOLS:
        for suffix in ("", ".cmdline"):
            if os.path.exists(os.path.join(RUNTIME_DIR, tool + suffix)):
                os.remove(os.path.join(RUNTIME_DIR, tool + suffix))


def case_runtime_registration():
    case = "runtime registration"
    place_runtime_tools()
    try:
        rc, text = msiexec("/i", os.path.join(WORK, "registration.log"))
        exit_code(case, rc, 0)
        expect_actions(case, text, registrations(), deferred=REGISTRATIONS)
        check(f"{case}: action start text 42", "Processing the Caspol Operations" in text)
        check(f"{case}: httpcfg.exe got its 14 lines", sorted(stand_in_parameters(INSTALL_DIR, "httpcfg.exe", 14))
              == sorted(HTTPCFG_LINES))
        caspol_got = stand_in_parameters(RUNTIME_DIR, "Caspol.Exe", 8)
        check(f"{case}: Caspol.Exe got each action's four lines in order",
              caspol_got == caspol_lines(WIN_INSTALL_DIR, "Dial Assist\\add-ins\\namecard\\")
              + caspol_lines(WIN_INSTALL_DIR, "add-ins\\smarttag\\plugin\\"), f"got {caspol_got}")
        check(f"{case}: ngen.exe got the 17 install lines",
              sorted(stand_in_parameters(RUNTIME_DIR, "ngen.exe", 17)) == sorted(ngen_lines("/nologo /silent ")))

        case = "runtime registration removal"
        rc, text = msiexec("/x", os.path.join(WORK, "registration-remove.log"))
        exit_code(case, rc, 0)
        expect_actions(case, text, [("ProcessNGENUnInstall",
                                     process_ngen("uninstall /nologo /silent ", "Exiting ProcessNGENInstall"))],
                       deferred=REGISTRATIONS)
        check(f"{case}: ngen.exe got the 17 uninstall lines",
              sorted(stand_in_parameters(RUNTIME_DIR, "ngen.exe", 34)[17:])
              == sorted(ngen_lines("uninstall /nologo /silent ")))
    finally:
        remove_runtime_tools()


CASES += [case_runtime_registration]


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    # Leftovers of an interrupted run would turn an install into maintenance.
    msiexec("/x", os.path.join(WORK, "cleanup.log"))
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
