#!/usr/bin/env python3
"""Counts how many small injected faults the test suite catches.

Each mutant changes one token in the engine's sources (a comparison flipped, && and || swapped,
a number off by one, true and false swapped, + and - swapped). The mutants are drawn with a fixed
seed from the files given, so two runs over the same sources draw the same mutants: run it before
and after a change to the tests and compare the counts.

For every mutant the tree is copied into a scratch worktree (from the commit given with --source,
tests from --tests, both default HEAD), the one change is applied, the dev preset is built and the
CTest suite runs until its first failure. A mutant whose build fails is not counted.

    tools/mutants.py --count 80 [--source REV] [--tests REV] [--exclude REGEX] [--folders src/x ...] [--list]
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

# The engine: the core libraries that both programs stand on.
ENGINE = ["src/files", "src/design", "src/output", "src/banner", "src/templates", "src/templatemaker", "src/markup"]

# (pattern, replacement) pairs; each match of a pattern is one possible mutant.
OPERATORS = [
    (r" < ", " <= "), (r" <= ", " < "), (r" > ", " >= "), (r" >= ", " > "),
    (r" == ", " != "), (r" != ", " == "), (r" && ", " || "), (r" \|\| ", " && "),
    (r" \+ ", " - "), (r" - ", " + "),
    (r"\btrue\b", "false"), (r"\bfalse\b", "true"),
    (r"(?<![\w.#'\"])(\d+)(?![\w.'\"])", None),  # a decimal number, plus one
]


def code_spans(line):
    """The parts of a line outside string and character literals and // comments."""
    spans, start, i, quote = [], 0, 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                i += 2
                continue
            if c == quote:
                quote, start = None, i + 1
        elif c in "\"'":
            spans.append((start, i))
            quote = c
        elif line.startswith("//", i):
            spans.append((start, i))
            return spans
        i += 1
    if not quote:
        spans.append((start, len(line)))
    return spans


def candidates(root, folders):
    found = []
    for folder in folders:
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith(".cpp"):
                continue
            rel = os.path.join(folder, name)
            with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                lines = f.read().split("\n")
            in_block = False
            for number, line in enumerate(lines, 1):
                stripped = line.strip()
                if in_block:
                    in_block = "*/" not in stripped
                    continue
                if stripped.startswith("/*"):
                    in_block = "*/" not in stripped
                    continue
                if stripped.startswith(("#", "//", "static_assert")) or "constexpr char" in line:
                    continue
                for start, end in code_spans(line):
                    for op, (pattern, replacement) in enumerate(OPERATORS):
                        for m in re.finditer(pattern, line[start:end]):
                            new = replacement if replacement is not None else str(int(m.group(1)) + 1)
                            found.append((rel, number, start + m.start(), m.group(0), new))
    return found


def run(cmd, cwd, timeout=None):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          timeout=timeout).returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--count", type=int, default=80)
    parser.add_argument("--seed", type=int, default=20261207)
    parser.add_argument("--source", default="HEAD", help="commit whose src/ is mutated")
    parser.add_argument("--tests", default="HEAD", help="commit whose tests/ run")
    parser.add_argument("--exclude", default="tst_package", help="CTest -E regex of suites not to run")
    parser.add_argument("--scratch", default="/tmp/vornetad-mutants")
    parser.add_argument("--folders", nargs="*", default=ENGINE, help="source folders to mutate (default: the engine)")
    parser.add_argument("--list", action="store_true", help="only list the drawn mutants")
    args = parser.parse_args()

    repo = subprocess.check_output(["git", "rev-parse", "--show-toplevel"], text=True).strip()
    scratch = args.scratch
    if os.path.exists(scratch):
        subprocess.run(["git", "worktree", "remove", "--force", scratch], cwd=repo)
        shutil.rmtree(scratch, ignore_errors=True)
    subprocess.check_call(["git", "worktree", "add", "--detach", "-q", scratch, args.source], cwd=repo)
    subprocess.check_call(["git", "checkout", "-q", args.tests, "--", "tests"], cwd=scratch)

    pool = candidates(scratch, args.folders)
    random.Random(args.seed).shuffle(pool)
    mutants = sorted(pool[: args.count])
    print(f"{len(pool)} possible mutants, {len(mutants)} drawn", flush=True)
    if args.list:
        for rel, number, col, old, new in mutants:
            print(f"{rel}:{number}:{col + 1}: '{old}' -> '{new}'")
        subprocess.run(["git", "worktree", "remove", "--force", scratch], cwd=repo)
        return 0

    env = dict(os.environ, CCACHE_DIR=os.environ.get("CCACHE_DIR", os.path.expanduser("~/.cache/ccache")))
    os.environ.update(env)
    if run(["cmake", "--preset", "dev"], scratch) or run(["cmake", "--build", "--preset", "dev"], scratch):
        print("the unmutated tree does not build", file=sys.stderr)
        return 2
    if run(["ctest", "--preset", "dev", "-j2", "-E", args.exclude], scratch):
        print("the unmutated tree fails its tests", file=sys.stderr)
        return 2

    killed, survived, invalid = 0, [], 0
    for rel, number, col, old, new in mutants:
        path = os.path.join(scratch, rel)
        with open(path, encoding="utf-8") as f:
            original = f.read()
        lines = original.split("\n")
        line = lines[number - 1]
        lines[number - 1] = line[:col] + new + line[col + len(old):]
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        started = time.time()
        try:
            if run(["cmake", "--build", "--preset", "dev"], scratch):
                outcome = "invalid"
                invalid += 1
            else:
                try:
                    failed = run(["ctest", "--preset", "dev", "-j2", "--stop-on-failure", "--timeout", "120",
                                  "-E", args.exclude], scratch, timeout=1800)
                except subprocess.TimeoutExpired:
                    failed = 1
                if failed:
                    outcome = "killed"
                    killed += 1
                else:
                    outcome = "SURVIVED"
                    survived.append(f"{rel}:{number}: '{old.strip()}' -> '{new.strip()}'")
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        print(f"{outcome:8} {rel}:{number}:{col + 1}: '{old}' -> '{new}' ({time.time() - started:.0f} s)", flush=True)

    valid = killed + len(survived)
    print(f"\nkilled {killed} of {valid} valid mutants ({invalid} did not build)")
    for s in survived:
        print(f"  survived: {s}")
    subprocess.run(["git", "worktree", "remove", "--force", scratch], cwd=repo)
    return 0


if __name__ == "__main__":
    sys.exit(main())
