#!/usr/bin/env python3
# Planted-fault campaign: applies one fault at a time from mutants.txt, builds only the test
# binaries that fault names, runs them, and restores the file, so the tree is unchanged afterwards.
#
#   tests/mutation/run_mutants.py SOURCE_DIR BUILD_DIR [ID ...]
#
# SOURCE_DIR is a configured checkout (a scratch copy is best: the campaign rewrites its sources
# while it runs); BUILD_DIR its build folder. Prints one line per fault: id, file:line, caught by
# which test, "missed", or "error" when the fault could not be planted (its text is not found
# exactly once, the build fails, a test binary is missing, or a test already fails with no fault
# planted). Errors count as not caught, are listed apart, and make the runner exit with status 1.
import glob
import os
import re
import signal
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


# The fault was not planted or its tests cannot tell: not a catch.
class Error(Exception):
    pass


# The tests send SIGINT, SIGTERM and SIGHUP to the tools they start: a campaign started under
# nohup or as a background job must not hand its ignored signals down to them.
def default_signals():
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, signal.SIG_DFL)


# Builds the targets and runs them; returns the first failure's description or None.
def build_and_run(targets, src, build):
    if subprocess.run(["cmake", "--build", build, "-j2", "--target", *targets],
                      capture_output=True).returncode != 0:
        raise Error("build failed")
    for target in targets:
        binary = glob.glob(os.path.join(build, "tests", "*", target))
        if not binary:
            raise Error(f"no test binary {target}")
        try:
            result = subprocess.run([binary[0]], cwd=os.path.join(src, "tests"),
                                    capture_output=True, text=True, timeout=300,
                                    preexec_fn=default_signals)
        except subprocess.TimeoutExpired:
            return f"{target}: timeout"
        if result.returncode != 0:
            failed = re.findall(r"^\[  FAILED  \] ([^\s,]+\.[^\s,]+)", result.stdout, re.M)
            return f"{target}: " + (", ".join(sorted(set(failed))) or f"exit {result.returncode}")
    return None


def run(mutant, src, build, baseline):
    path = os.path.join(src, mutant["file"])
    original = open(path, encoding="utf-8").read()
    if original.count(mutant["old"]) != 1:
        raise Error(f"pattern found {original.count(mutant['old'])} times")
    line = original[: original.index(mutant["old"])].count("\n") + 1
    mutant["where"] = f"{mutant['file']}:{line}"
    for target in mutant["targets"]:
        if target not in baseline:
            baseline[target] = build_and_run([target], src, build)
        if baseline[target]:
            raise Error(f"fails with no fault planted: {baseline[target]}")
    try:
        open(path, "w", encoding="utf-8").write(original.replace(mutant["old"], mutant["new"]))
        return build_and_run(mutant["targets"], src, build) or "missed"
    finally:
        open(path, "w", encoding="utf-8").write(original)


def main():
    src, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    wanted = set(sys.argv[3:])
    here = os.path.dirname(os.path.abspath(__file__))
    mutants = load(os.path.join(here, "mutants.txt"))
    mutants = [m for m in mutants if not wanted or m["id"] in wanted]
    baseline, caught, missed, errors = {}, [], [], []
    for mutant in mutants:
        try:
            verdict = run(mutant, src, build, baseline)
            (missed if verdict == "missed" else caught).append(mutant["id"])
        except Error as error:
            verdict = f"error: {error}"
            errors.append(mutant["id"])
        print(f"{mutant['id']}\t{mutant.get('where', mutant['file'])}\t{verdict}", flush=True)
    if mutants:
        print(f"caught {len(caught)} of {len(mutants)} ({100 * len(caught) // len(mutants)} %)")
        print("missed: " + (" ".join(missed) or "none"))
        print("errors: " + (" ".join(errors) or "none"))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
