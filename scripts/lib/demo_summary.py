#!/usr/bin/env python3
"""What ran in the demo's installations: one screen after the library's lines.

    demo_summary.py EXPORTS STEP LOG RESULT [STEP LOG RESULT ...]

For each step (install, remove), every action that wrote lines, in the order
of its entry line, with the number of its lines and its last line; then the
installer's result.

An action's lines run from its own "Entering <export>" line to the next
action's. Shared routines log their own "Entering ..." lines (FindOutlook,
ParseCustomActionData, ProcessNGEN, RemoveOldShortcuts), which stay with the
action that called them, as does an "Entering <export>" line with no installer
"Action start" record since the action's own. The installer's "Action start"
record names the action about to run, deferred ones included: where that is an
export other than the one the entry line names, both are shown
(CheckRunningBXRApps logs "Entering CheckRunningApps"). Its "Action ended"
record is not read: under Wine a deferred action's is written when the action
is scheduled, not when it runs.
"""
import re
import shutil
import sys

PREFIX = "CUSTOM IMMEDIATE ACTION   "
ACTION_START = re.compile(r"^Action start [0-9:]+: (.+)\.$")


def exported_actions(path):
    names = set()
    with open(path, encoding="utf-8") as exports:
        for line in exports:
            match = re.match(r"\s+([A-Za-z]\w*) = ", line)
            if match:
                names.add(match.group(1))
    return names


def actions_of(log_path, exports):
    """[(name, lines)] in the order of their entry lines; the total of lines."""
    actions = []
    running = None  # the installer action whose "Action start" came last
    entered = False  # an action of the library has entered since then
    total = 0
    with open(log_path, encoding="utf-8", errors="replace") as log:
        for raw in log:
            line = raw.rstrip("\r\n")
            start = ACTION_START.match(line)
            if start:
                running, entered = start.group(1), False
                continue
            if not line.startswith(PREFIX):
                continue
            text = line[len(PREFIX):]
            total += 1
            name = text[len("Entering "):] if text.startswith("Entering ") else None
            if name in exports and not entered:
                entered = True
                if running in exports and running != name:
                    name = f"{running} (as {name})"
                actions.append([name, []])
            if not actions:
                actions.append(["(before any entry line)", []])
            actions[-1][1].append(text)
    return actions, total


def main(argv):
    if len(argv) < 5 or (len(argv) - 2) % 3:
        sys.exit(__doc__)
    exports = exported_actions(argv[1])
    steps = []
    for i in range(2, len(argv), 3):
        step, log_path, result = argv[i:i + 3]
        try:
            steps.append((step, result) + actions_of(log_path, exports))
        except OSError:
            steps.append((step, result, None, 0))
    names = [name for _, _, actions, _ in steps for name, _ in actions or []]
    name_width = max([len(name) for name in names] + [10])
    # On a terminal a row is cut to its width, so that the summary stays one screen.
    width = shutil.get_terminal_size().columns if sys.stdout.isatty() else None
    print()
    print("=== What ran")
    for step, result, actions, total in steps:
        if actions is None:
            print(f"{step}: (msiexec wrote no log)")
        else:
            print(f"{step}: {len(actions)} actions wrote {total} lines")
        for name, lines in actions or []:
            row = f"  {name:<{name_width}} {len(lines):>3}  {lines[-1]}"
            print(row if width is None or len(row) <= width else row[:width - 3] + "...")
        print(f"  installer result: {result}")

if __name__ == "__main__":
    main(sys.argv)
