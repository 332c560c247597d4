#!/usr/bin/env python3
"""Mutation runner: each mutant of the lists is applied to a scratch copy of the checkout
(BUILD/mutants/src, never the working tree), the trees that compile the file are rebuilt and their
tests run nearest first, stopping at the first failure. One line per mutant, then the tally.

  mutants.py ROOT BUILD LIST...

A list holds blocks "## ID description" / "file: PATH" / "from: TEXT" / "to: TEXT"."""
import os, re, shutil, signal, subprocess, sys, time

# The trees that compile a file's top folder and their test phases, nearest first.
PHASES = {
    "net": [("host", ["-L", "unit"]), ("host", ["-LE", "unit"]), ("windows", ["-L", "net"]),
            ("windows", ["-LE", "net"])],
    "tools": [("host", []), ("windows", ["-L", "net|e2e"]), ("windows", ["-LE", "net|e2e"])],
    "app": [("windows", ["-L", "e2e"]), ("windows", ["-LE", "e2e"])],
    "findings": [("host", ["-L", "unit"]), ("windows", ["-L", "wine|net"]), ("windows", ["-LE", "wine|net"]),
                 ("fuzz", ["-R", "^fuzz\\.text$"])],
    "cli": [("windows", ["-R", "^Cvsetup\\."]), ("windows", ["-L", "net"]), ("windows", ["-LE", "net"]),
            ("fuzz", ["-R", "^fuzz\\.text$"])],
}
WINDOWS_ONLY = [("windows", ["-L", "wine"]), ("windows", ["-L", "e2e"]), ("windows", ["-LE", "wine|e2e"])]


def parse(path):
    mutants = []
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("## "):
            mutants.append(dict(zip(("id", "what"), line[3:].split(" ", 1))))
        elif mutants and line.split(":")[0] in ("file", "from", "to"):
            key, value = line.split(":", 1)
            mutants[-1][key] = value[1:] if value.startswith(" ") else value
    return [m for m in mutants if {"file", "from", "to"} <= m.keys()]


def sync(root, src):
    """src holds exactly the checkout's files (tracked and untracked, not ignored)."""
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=root, check=True,
                            capture_output=True, text=True).stdout.splitlines()
    wanted = {f for f in listed if os.path.isfile(os.path.join(root, f))}
    for f in wanted:
        a, b = os.path.join(root, f), os.path.join(src, f)
        if not os.path.exists(b) or open(a, "rb").read() != open(b, "rb").read():
            os.makedirs(os.path.dirname(b), exist_ok=True)
            shutil.copy(a, b)  # a new time, so that the trees rebuild what a stopped run left mutated
    for top, _, names in os.walk(src):
        for gone in (n for n in names if os.path.relpath(os.path.join(top, n), src) not in wanted):
            os.remove(os.path.join(top, gone))


def build(src, out, tree):
    if not os.path.exists(os.path.join(out, "CMakeCache.txt")):
        toolchain = {"windows": ["-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-w64-posix.cmake" % src],
                     "fuzz": ["-DCS_FUZZ=ON", "-DCMAKE_C_COMPILER=clang", "-DCMAKE_CXX_COMPILER=clang++"]}.get(tree, [])
        if subprocess.run(["cmake", "-S", src, "-B", out, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"] + toolchain,
                          capture_output=True).returncode:
            return False
    return subprocess.run(["cmake", "--build", out, "-j2"], capture_output=True).returncode == 0


def first_failure(out, selection, exclude, confirm=True):
    """The first test of a phase that fails (with confirm: and fails again alone; one that passes
    alone is left out and the phase runs on)."""
    while True:
        args = ["ctest", "--stop-on-failure", "-j2", "--no-tests=ignore"] + selection
        if exclude:
            args += ["-E", "|".join("^%s$" % re.escape(t) for t in exclude)]
        run = subprocess.run(args, cwd=out, capture_output=True, text=True)
        if run.returncode == 0:
            return None
        failed = re.findall(r"^\s*(\d+) - (.+) \([^()]*\)\s*$", run.stdout.partition("tests FAILED:")[2], re.M)
        if not failed:
            return "ctest(%s)" % run.stdout.strip().splitlines()[-1:]
        # ctest lists beside the failure the tests it cut short when it stopped: each is tried alone.
        for number, name in ((n, t.split("  # ")[0]) for n, t in failed):
            if not confirm or name in exclude:  # (a name -E cannot leave out counts rather than loops)
                return name
            if subprocess.run(["ctest", "-I", "%s,%s" % (number, number)], cwd=out,
                              capture_output=True).returncode:
                return name
            print("   (%s failed beside others but passed alone: not counted)" % name, flush=True)
            exclude.append(name)


def main():
    # A stopped run still puts the mutated file back (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    root, build_dir, lists = sys.argv[1], sys.argv[2], sys.argv[3:]
    started, trees_dir = time.time(), os.path.join(build_dir, "mutants")
    src = os.path.join(trees_dir, "src")
    os.makedirs(src, exist_ok=True)
    sync(root, src)
    mutants = [m for path in lists for m in parse(path)]
    phases = lambda m: PHASES.get(m["file"].split("/")[0], WINDOWS_ONLY)
    trees = sorted({tree for m in mutants for tree, _ in phases(m)})
    for tree in trees:
        # A kill counts only from a clean baseline: any failure here stops the run.
        failed = "no build" if not build(src, os.path.join(trees_dir, tree), tree) else \
            first_failure(os.path.join(trees_dir, tree), [], [], confirm=False)
        if failed:
            print("baseline: %s fails without a mutant (%s tree); fix the suite first" % (failed, tree))
            return 1
    print("baseline: %s green, %d mutants (%.0f s)" % (" and ".join(trees), len(mutants), time.time() - started),
          flush=True)
    tally = {"killed": 0, "survived": 0, "invalid": 0, "n/a": 0}
    for m in mutants:
        t0, path = time.time(), os.path.join(src, m["file"])
        text = open(path, encoding="utf-8").read() if os.path.isfile(path) else ""
        verdict, exclude = "n/a" if text.count(m["from"]) != 1 else "survived", []
        if verdict == "survived":
            open(path, "w", encoding="utf-8").write(text.replace(m["from"], m["to"]))
            try:
                for tree, selection in phases(m):
                    out = os.path.join(trees_dir, tree)
                    failed = "invalid" if not build(src, out, tree) else first_failure(out, selection, exclude)
                    if failed:
                        verdict = failed if failed == "invalid" else "killed by %s" % failed
                        break
            finally:
                open(path, "w", encoding="utf-8").write(text)
        tally[verdict.split(" ")[0]] += 1
        print("%-5s %-40s %s (%.0f s)" % (m["id"], verdict, m["what"][:70], time.time() - t0), flush=True)
    print("%d killed, %d survived, %d invalid, %d n/a" % tuple(tally.values()))
    print("total time: %.0f s" % (time.time() - started))
    return 0 if tally["survived"] == tally["invalid"] == tally["n/a"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
