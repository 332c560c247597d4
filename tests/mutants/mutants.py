#!/usr/bin/env python3
"""Mutation runner: applies each mutant of a list to a scratch copy of the checkout, rebuilds the
trees that compile the mutated file, runs their tests nearest first and stops at the first failure.

  mutants.py ROOT BUILD LIST...

A list holds blocks "## ID description" / "file: PATH" / "from: TEXT" / "to: TEXT"; TEXT is what
follows "from: " up to the line's end. Prints one line per mutant and a total. The working tree is
never touched: the copy lives in BUILD/mutants/src with its trees beside it."""
import os, re, shutil, subprocess, sys, time

# Which trees compile a file, and the order in which their tests run (nearest first): pairs of
# (tree, ctest label selection). A mutant counts as killed by the first test that fails twice.
PHASES = {
    "net": [("host", ["-L", "unit"]), ("host", ["-LE", "unit"]), ("windows", ["-L", "net"]),
            ("windows", ["-LE", "net"])],
    "tools": [("host", []), ("windows", ["-L", "net|e2e"]), ("windows", ["-LE", "net|e2e"])],
    "app": [("windows", ["-L", "e2e"]), ("windows", ["-LE", "e2e"])],
}
WINDOWS_ONLY = [("windows", ["-L", "wine"]), ("windows", ["-L", "e2e"]), ("windows", ["-LE", "wine|e2e"])]
TREE_OPTIONS = {"host": [],
                "windows": ["-DCMAKE_TOOLCHAIN_FILE={src}/cmake/mingw-w64-posix.cmake"]}


def parse(path):
    mutants, current = [], None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("## "):
            current = dict(zip(("id", "what"), line[3:].split(" ", 1)))
            mutants.append(current)
        elif current is not None and line.split(":")[0] in ("file", "from", "to"):
            key, value = line.split(":", 1)
            current[key] = value[1:] if value.startswith(" ") else value
    return [m for m in mutants if {"file", "from", "to"} <= m.keys()]


def sync(root, src):
    """Makes src hold exactly the checkout's files (tracked and untracked, not ignored)."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=root, check=True,
                           capture_output=True, text=True).stdout.splitlines()
    wanted = {f for f in files if os.path.isfile(os.path.join(root, f))}
    for f in wanted:
        a, b = os.path.join(root, f), os.path.join(src, f)
        if not os.path.exists(b) or open(a, "rb").read() != open(b, "rb").read():
            os.makedirs(os.path.dirname(b), exist_ok=True)
            shutil.copy2(a, b)
    for top, _, names in os.walk(src):
        for gone in (n for n in names if os.path.relpath(os.path.join(top, n), src) not in wanted):
            os.remove(os.path.join(top, gone))


def build(src, trees_dir, tree):
    out = os.path.join(trees_dir, tree)
    if not os.path.exists(os.path.join(out, "CMakeCache.txt")):
        opts = [o.format(src=src) for o in TREE_OPTIONS[tree]]
        if subprocess.run(["cmake", "-S", src, "-B", out, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"] + opts,
                          capture_output=True).returncode:
            return False
    return subprocess.run(["cmake", "--build", out, "-j2"], capture_output=True).returncode == 0


def first_failure(out, selection, exclude, confirm=True):
    """Runs one phase's tests; the name of the first test that fails (and, with confirm, fails
    again alone; one that passes alone is left out and the phase runs on)."""
    while True:
        args = ["ctest", "--stop-on-failure", "-j2", "--no-tests=ignore"] + selection
        if exclude:
            args += ["-E", "|".join("^%s$" % re.escape(t) for t in exclude)]
        run = subprocess.run(args, cwd=out, capture_output=True, text=True)
        if run.returncode == 0:
            return None
        failed = re.findall(r"^\s*(\d+) - (.+) \([^()]*\)\s*$", run.stdout, re.M)
        if not failed:
            return "ctest(%s)" % run.stdout.strip().splitlines()[-1:]
        number, name = failed[0][0], failed[0][1].split("  # ")[0]
        if not confirm or name in exclude:  # (a name -E cannot leave out counts rather than loops)
            return name
        alone = subprocess.run(["ctest", "-I", "%s,%s" % (number, number)], cwd=out,
                               capture_output=True)
        if alone.returncode:
            return name
        print("   (%s failed beside others but passed alone: not counted)" % name, flush=True)
        exclude.append(name)


def phases_for(path):
    return PHASES.get(path.split("/")[0], WINDOWS_ONLY)


def main():
    root, build_dir, lists = sys.argv[1], sys.argv[2], sys.argv[3:]
    started = time.time()
    src, trees_dir = os.path.join(build_dir, "mutants", "src"), os.path.join(build_dir, "mutants")
    os.makedirs(src, exist_ok=True)
    sync(root, src)
    mutants = [m for path in lists for m in parse(path)]
    trees = sorted({t for m in mutants for t, _ in phases_for(m["file"])})
    for tree in trees:
        if not build(src, trees_dir, tree):
            print("baseline: the %s tree does not build" % tree)
            return 1
        # A kill counts only from a clean baseline: any failure here stops the run.
        failed = first_failure(os.path.join(trees_dir, tree), [], [], confirm=False)
        if failed:
            print("baseline: %s fails without a mutant (%s tree); fix the suite first" % (failed, tree))
            return 1
    print("baseline: %s green, %d mutants (%.0f s)" % (" and ".join(trees), len(mutants),
                                                     time.time() - started), flush=True)
    tally = {"killed": 0, "survived": 0, "invalid": 0, "n/a": 0}
    for m in mutants:
        t0, path = time.time(), os.path.join(src, m["file"])
        text = open(path, encoding="utf-8").read() if os.path.isfile(path) else ""
        if text.count(m["from"]) != 1:
            verdict = "n/a"
        else:
            open(path, "w", encoding="utf-8").write(text.replace(m["from"], m["to"]))
            verdict, exclude = "survived", []
            try:
                for tree, selection in phases_for(m["file"]):
                    if not build(src, trees_dir, tree):
                        verdict = "invalid"
                        break
                    failed = first_failure(os.path.join(trees_dir, tree), selection, exclude)
                    if failed:
                        verdict = "killed by %s" % failed
                        break
            finally:
                open(path, "w", encoding="utf-8").write(text)
        tally[verdict.split(" ")[0]] += 1
        print("%-5s %-40s %s (%.0f s)" % (m["id"], verdict, m["what"][:70], time.time() - t0),
              flush=True)
    print("%d killed, %d survived, %d invalid, %d n/a" % tuple(tally.values()))
    print("total time: %.0f s" % (time.time() - started))
    return 0 if tally["survived"] == tally["invalid"] == tally["n/a"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
