#!/usr/bin/env python3
"""Planted-fault campaign: applies one fault at a time from mutants.txt, builds only the test
binaries that fault names, runs them, and restores the file, so the tree is unchanged afterwards.

  tests/mutation/run_mutants.py SOURCE_DIR BUILD_DIR [ID ...]

SOURCE_DIR is a configured checkout (a scratch copy is best: the campaign rewrites its sources
while it runs); BUILD_DIR its build folder. Prints one line per fault: id, file:line, caught by
which test (or "missed"), and the catch rate at the end.
"""
import glob
import os
import re
import subprocess
import sys


def load(path):
    mutants = []
    for line in open(path, encoding="utf-8"):
        if not line.strip() or line.startswith("#"):
            continue
        ident, file, targets, old, new = line.rstrip("\n").split("\t")
        mutants.append(dict(id=ident, file=file, targets=targets.split(","),
                            old=old.encode().decode("unicode_escape"),
                            new=new.encode().decode("unicode_escape")))
    return mutants


def run(mutant, src, build):
    path = os.path.join(src, mutant["file"])
    original = open(path, encoding="utf-8").read()
    if original.count(mutant["old"]) != 1:
        return "?", f"pattern found {original.count(mutant['old'])} times"
    line = original[: original.index(mutant["old"])].count("\n") + 1
    where = f"{mutant['file']}:{line}"
    try:
        open(path, "w", encoding="utf-8").write(original.replace(mutant["old"], mutant["new"]))
        built = subprocess.run(["cmake", "--build", build, "-j2", "--target", *mutant["targets"]],
                               capture_output=True, text=True)
        if built.returncode != 0:
            return where, "build failed"
        for target in mutant["targets"]:
            binary = glob.glob(os.path.join(build, "tests", "*", target))
            if not binary:
                continue
            try:
                result = subprocess.run([binary[0]], cwd=os.path.join(src, "tests"),
                                        capture_output=True, text=True, timeout=300)
            except subprocess.TimeoutExpired:
                return where, f"{target}: timeout"
            if result.returncode != 0:
                failed = re.findall(r"^\[  FAILED  \] (\w+\.\S+)", result.stdout, re.M)
                return where, f"{target}: " + (", ".join(sorted(set(failed))) or
                                               f"exit {result.returncode}")
        return where, "missed"
    finally:
        open(path, "w", encoding="utf-8").write(original)


def main():
    src, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    wanted = set(sys.argv[3:])
    here = os.path.dirname(os.path.abspath(__file__))
    caught = total = 0
    for mutant in load(os.path.join(here, "mutants.txt")):
        if wanted and mutant["id"] not in wanted:
            continue
        where, verdict = run(mutant, src, build)
        total += 1
        caught += verdict != "missed"
        print(f"{mutant['id']}\t{where}\t{verdict}", flush=True)
    if total:
        print(f"caught {caught} of {total} ({100 * caught // total} %)")


if __name__ == "__main__":
    main()
