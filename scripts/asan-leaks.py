#!/usr/bin/env python3
"""Reads the sanitizer reports of one run of the program and sorts its leaks.

A leak is ours when a frame of its allocation stack lies in our sources; the others are matched
against a LeakSanitizer suppressions file (leak:PATTERN lines, PATTERN matching a frame's function,
file or library as LeakSanitizer matches them). A leak with an object per channel change or more is
never covered. Prints our leaks in full, the others by the line that covers them, and exits 1 on a
memory error, a leak of ours or a leak no line covers.
"""
import argparse
import collections
import os
import re
import sys

OUR_AREAS = ("app", "forms", "playlist", "shaping", "player")
LEAK = re.compile(r"^(Direct|Indirect) leak of (\d+) byte\(s\) in (\d+) object\(s\) allocated from:")
FRAME = re.compile(r"^\s+#\d+ 0x[0-9a-f]+ (?:in )?(.*)$")
ERROR = re.compile(r"ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer: (?!detected memory leaks)")


def pattern_regex(pattern):
    """LeakSanitizer's templates: '*' is any text, '^' and '$' anchor, otherwise a substring."""
    start = pattern.startswith("^")
    end = pattern.endswith("$")
    body = pattern[1 if start else 0 : len(pattern) - 1 if end else len(pattern)]
    regex = ".*".join(re.escape(part) for part in body.split("*"))
    return re.compile(("^" if start else "") + regex + ("$" if end else ""))


def read_suppressions(path):
    rules = []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            line = line.strip()
            if line.startswith("leak:"):
                rules.append((line, pattern_regex(line[len("leak:") :])))
    return rules


def frame_parts(frame):
    """The function, file and library a frame names, as far as it names them."""
    parts = []
    library = re.search(r"\(([^()+]*)\+0x[0-9a-f]+\)$", frame)
    if library:
        parts.append(library.group(1))
        parts.append(library.group(1).rsplit("/", 1)[-1])
        frame = frame[: library.start()].strip()
    source = re.search(r" ((?:/|\.\./)\S+?)(?::\d+)*$", frame)
    if source:
        parts.append(source.group(1))
        frame = frame[: source.start()]
    if frame and not frame.startswith("("):
        parts.append(frame.strip())
    return parts


def read_reports(paths):
    leaks, errors = [], []
    for path in paths:
        try:
            text = open(path, encoding="utf-8", errors="replace").read().splitlines()
        except FileNotFoundError:
            continue
        leak = None
        for line in text:
            header = LEAK.match(line)
            if header:
                leak = {"kind": header.group(1), "bytes": int(header.group(2)),
                        "objects": int(header.group(3)), "frames": [], "text": [line]}
                leaks.append(leak)
            elif leak is not None and FRAME.match(line):
                leak["frames"].append(FRAME.match(line).group(1))
                leak["text"].append(line)
            else:
                leak = None
                if ERROR.search(line):
                    errors.append(f"{path}: {line.strip()}")
    return leaks, errors


# Where a whole stack ends: a thread's start, the main block, a library's constructor.
STACK_BOTTOM = re.compile(r"start_thread|clone3?\b|\bmain\b|__libc_start|_dl_init|call_init|ld-linux")


def is_ours(frame, root, build):
    """Sources are named relative to the build folder, or in full."""
    for part in frame_parts(frame):
        if part.startswith("/") or part.startswith("../"):
            path = os.path.realpath(os.path.join(build, part))
            if any(path.startswith(os.path.join(root, area) + "/") for area in OUR_AREAS):
                return True
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--suppressions", required=True)
    parser.add_argument("--changes", type=int, required=True,
                        help="channel changes in the session: a library's leak never has that many objects")
    parser.add_argument("reports", nargs="*")
    args = parser.parse_args()
    rules = read_suppressions(args.suppressions)
    leaks, errors = read_reports(args.reports)

    ours, unmatched = [], []
    covered = collections.OrderedDict((rule, [0, 0, 0]) for rule, _ in rules)
    for leak in leaks:
        if any(is_ours(frame, args.root, args.build) for frame in leak["frames"]):
            ours.append(leak)
            continue
        rule = next((rule for rule, regex in rules
                     if any(regex.search(part) for frame in leak["frames"] for part in frame_parts(frame))), None)
        # One object per tune (or more) is a leak on every channel change, whoever's frames show:
        # a library's own leaks are made once.
        if rule is None or leak["objects"] >= args.changes:
            unmatched.append(leak)
        else:
            covered[rule][0] += 1
            covered[rule][1] += leak["bytes"]
            # The stack stops before its start (a library without frame pointers, or the depth limit):
            # who asked for the memory is not seen.
            if not STACK_BOTTOM.search(leak["frames"][-1] if leak["frames"] else ""):
                covered[rule][2] += 1

    for error in errors:
        print("memory error:", error)
    for title, group in (("leak of ours", ours), ("leak no suppression covers, or one per channel change", unmatched)):
        for leak in group:
            print(f"\n{title}:")
            print("\n".join(leak["text"]))
    print("\nleaks of ours: %d (%d bytes)" % (len(ours), sum(leak["bytes"] for leak in ours)))
    print("leaks no suppression covers, or one per channel change: %d (%d bytes)"
          % (len(unmatched), sum(leak["bytes"] for leak in unmatched)))
    print("suppressed leaks, by library:")
    for rule, (count, size, cut) in covered.items():
        if count:
            print(f"  {rule:32} {count:4} leaks {size:7} bytes ({cut} with the stack cut short)")
    return 1 if errors or ours or unmatched else 0


if __name__ == "__main__":
    sys.exit(main())
