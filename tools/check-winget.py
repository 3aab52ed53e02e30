#!/usr/bin/env python3
"""Fails when the winget installer manifest of docs/administrators.md says
something the program does not do: a switch its usage text does not name,
a return code it does not exit with or with another meaning, an Apps &
features entry it does not write, or another version than the build's.
    tools/check-winget.py [repository root]
"""
import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
# What each exit code of app/CommandLine.h means to winget.
RESPONSES = {"kExitBadOption": "invalidParameter", "kExitCancelled": "cancelledByUser",
             "kExitAlreadyRunning": "installInProgress", "kExitRestartStarted": "rebootInitiated",
             "kExitRestartNeeded": "rebootRequiredToFinish"}


def read(*parts):
    with open(os.path.join(ROOT, *parts), encoding="utf-8") as f:
        return f.read()


def main():
    page = read("docs", "administrators.md")
    manifest = page.split("## A winget installer manifest", 1)[1].split("```yaml\n", 1)[1].split("```", 1)[0]
    source = read("app", "CommandLine.cpp")
    literals = re.findall(r'"((?:[^"\\]|\\.)*)"', source.split("kUsageText[] =", 1)[1].split(";", 1)[0])
    usage = "".join(literals).replace("\\n", "\n").replace("\\t", "\t").replace("\\\\", "\\")
    codes = {name: int(value) for name, value in re.findall(r"constexpr int (kExit\w+) = (\d+);",
                                                             read("app", "CommandLine.h"))}
    errors = []
    switches = re.findall(r"^  (?:Silent|SilentWithProgress|InstallLocation|Log): (.*)$", manifest, re.M)
    for switch in " ".join(switches).split():
        option = switch.split(":", 1)[0] + ":" if ":" in switch else switch + r"(?![\w:-])"
        if not re.search(option, usage):
            errors.append("switch %s is not in the usage text" % switch)
    for code, response in re.findall(r"InstallerReturnCode: (\d+)\n\s+ReturnResponse: (\w+)", manifest):
        names = [name for name, value in codes.items() if value == int(code)]
        if not names or RESPONSES.get(names[0]) != response:
            errors.append("return code %s is not the program's %s" % (code, response))
        elif not re.search(r"\b%s\b" % code, usage):
            errors.append("return code %s is not in the usage text" % code)
    entry = re.search(r'kUninstallEntryKey\[\] = ".*\\\\([^"\\]+)";', read("app", "UninstallEntry.h")).group(1)
    if "ProductCode: %s\n" % entry not in manifest:
        errors.append("ProductCode is not the entry's key, %s" % entry)
    version = re.search(r"project\(zepsetup VERSION ([\d.]+)", read("CMakeLists.txt")).group(1)
    if "PackageVersion: %s\n" % version not in manifest:
        errors.append("PackageVersion is not the build's version, %s" % version)
    if "requireAdministrator" in read("res", "zepsetup.manifest") and "ElevationRequirement: elevatesSelf" not in manifest:
        errors.append("the program asks for administrator rights itself: ElevationRequirement elevatesSelf")
    for error in errors:
        print("winget manifest: " + error)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
