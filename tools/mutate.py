#!/usr/bin/env python3
"""Mutation testing for Kelo: does the suite notice a small fault in the product?

  tools/mutate.py generate            writes the fixed list tools/mutation/mutants.jsonl
  tools/mutate.py run BUILD [options] applies each listed mutant in turn to the sources
                                      BUILD was configured from, rebuilds, runs the area's
                                      tests, restores the file, reports killed/survived
  tools/mutate.py compare OLD NEW     mutants killed in OLD that NEW lets survive

The list is generated once with a fixed seed and committed, so two runs (before and
after a change to the tests) try exactly the same faults. Each entry carries the
original line, so a mutant whose line has moved is found again by its text, and one
whose line is gone is reported as stale instead of being applied somewhere else.

BUILD must be a configured Debug build (ideally with ccache); only the area's targets
are rebuilt per mutant. The sources are edited in place and always restored, so run it
on a scratch copy of the tree (git archive HEAD | tar -x -C copy) rather than on a
checkout you are editing.
"""
import argparse
import json
import os
import random
import re
import subprocess
import sys
import time
from fnmatch import fnmatch
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LIST = ROOT / "tools/mutation/mutants.jsonl"
SEED = 13

# Each area: the sources mutated, how many mutants it gets, the targets rebuilt and
# the test commands run (from the build folder; {src} is the source root). A mutant
# is killed when any command fails or exceeds the time limit.
GTEST = "--gtest_fail_fast --gtest_brief=1"
AREAS = {
    "core": {
        "files": ["plugin/StateDocument.cpp", "plugin/StateStream.cpp"],
        "count": 14,
        "targets": ["kelo_module_tests", "kelo_controller_tests"],
        "tests": [f"tests/plugin/kelo_module_tests {GTEST}",
                  f"tests/plugin/kelo_controller_tests {GTEST}"],
    },
    "plugin": {
        "files": ["plugin/Processor.cpp", "plugin/Controller.cpp", "plugin/AudioPassThrough.cpp",
                  "plugin/BrandLink.cpp", "plugin/EditorView.cpp", "plugin/PluginFactory.cpp"],
        "count": 16,
        "targets": ["Kelo", "kelo_module_tests", "kelo_controller_tests", "kelo_realtime_tests",
                    "kelo_webhost_view_tests"],
        "tests": [f"tests/plugin/kelo_module_tests {GTEST}",
                  f"tests/plugin/kelo_controller_tests {GTEST}",
                  f"tests/plugin/kelo_realtime_tests {GTEST}",
                  f"tests/webhost/kelo_webhost_view_tests {GTEST}"],
    },
    "webview": {
        "files": ["webview/Webview.cpp", "webview/CallScripts.cpp", "webview/ResourceServer.cpp",
                  "webview/TextConversion.cpp", "webview/WebviewWin32.cpp"],
        "count": 12,
        "targets": ["kelo_webview_tests", "kelo_webhost_window_tests", "kelo_controller_tests"],
        "tests": [f"tests/webview/kelo_webview_tests {GTEST}",
                  f"tests/webhost/kelo_webhost_window_tests {GTEST}",
                  f"tests/plugin/kelo_controller_tests {GTEST}"],
    },
    "browser": {
        "files": ["webview/EdgeChromiumBrowser.cpp", "webview/WebviewPluginView.cpp"],
        "count": 4,
        "targets": ["kelo_webhost_browser_tests", "kelo_webhost_editor_tests"],
        "tests": [f"tests/webhost/kelo_webhost_browser_tests {GTEST}",
                  f"tests/webhost/kelo_webhost_editor_tests {GTEST}"],
    },
    "standin-window": {
        "files": ["standin/src/Windowing.cpp", "standin/src/WindowTable.cpp",
                  "standin/src/WindowGeometry.cpp", "standin/src/WindowPlacement.cpp",
                  "standin/src/WindowClasses.cpp", "standin/src/MessageLoop.cpp"],
        "count": 12,
        "targets": ["kelo_standin_tests", "kelo_webhost_window_tests"],
        "tests": [f"tests/standin/kelo_standin_tests {GTEST} --gtest_filter=-WebView2Browser*:WebView2Teardown*",
                  f"tests/webhost/kelo_webhost_window_tests {GTEST}"],
    },
    "standin-webview2": {
        "files": ["standin/src/webview2/DevToolsClient.cpp", "standin/src/webview2/DevToolsPipe.cpp",
                  "standin/src/webview2/BrowserSession.cpp", "standin/src/webview2/WebResourceRequest.cpp",
                  "standin/src/webview2/HttpHeaders.cpp"],
        "count": 8,
        "targets": ["kelo_standin_tests", "kelo_webhost_browser_tests"],
        "tests": [f"tests/standin/kelo_standin_tests {GTEST}",
                  f"tests/webhost/kelo_webhost_browser_tests {GTEST}"],
    },
    "page": {
        "files": ["web/app.js"],
        "count": 12,
        "targets": [],
        "tests": ["cd {src} && node --test --test-concurrency=4 tests/web/"],
    },
}

FLIP = {"==": "!=", "!=": "==", "===": "!==", "!==": "===",
        "<": ">", ">": "<", "<=": ">=", ">=": "<="}
BOUND = {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}


def mask(line):
    """The line with string and character literals blanked and any // comment cut,
    so that operators are only found in code."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("__")
                i += 2
                continue
            out.append("_" if c != quote else c)
            if c == quote:
                quote = None
        elif c in "\"'`":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)[:len(line)]


def closing_paren(text, start):
    depth = 0
    for i in range(start, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


STATEMENT = re.compile(r"^\s*(return\b[^;]*;|[A-Za-z_][\w.:\->\[\]]*(\(.*\))?\s*(\(|=|\+=|-=|\|=|&=|\+\+|--)[^{]*;)\s*$")
PREVIOUS_OK = re.compile(r"([;{}:)]|\belse)\s*$")


def candidates(path, lines):
    """Every mutant of one file, in a fixed order."""
    js = path.endswith(".js")
    in_block = False
    prev_code = "{"
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if in_block:
            if "*/" in stripped:
                in_block = False
            continue
        if stripped.startswith("/*"):
            in_block = "*/" not in stripped
            continue
        if not stripped or stripped.startswith(("//", "#", "*")) or "static_assert" in stripped:
            continue
        code = mask(line)
        if "import " in code or "require(" in code:
            continue

        def emit(op, start, end, new):
            return {"file": path, "line": number, "op": op, "original": line,
                    "mutated": line[:start] + new + line[end:]}

        for m in re.finditer(r"(?<=\s)(===|!==|==|!=|<=|>=|<|>)(?=\s)", code):
            tok = m.group(1)
            if tok in FLIP:
                yield emit("flip", m.start(), m.end(), FLIP[tok])
            if tok in BOUND:
                yield emit("bound", m.start(), m.end(), BOUND[tok])
        for m in re.finditer(r"\b(if|while) \(", code):
            open_at = m.end() - 1
            close_at = closing_paren(code, open_at)
            if close_at > 0:
                inner = line[open_at + 1:close_at]
                yield emit("negate", open_at + 1, close_at, f"!({inner})")
        for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.])", code):
            if not js and re.search(r"\[\s*$", code[:m.start()]) and "=" not in code[:m.start()]:
                continue  # an array's size: changing it only fails to build
            yield emit("constant", m.start(), m.end(), str(int(m.group(1)) + 1))
        for m in re.finditer(r"\b(true|false)\b", code):
            yield emit("constant", m.start(), m.end(), "false" if m.group(1) == "true" else "true")
        if STATEMENT.match(code) and PREVIOUS_OK.search(prev_code) and code.count("(") == code.count(")"):
            indent = line[:len(line) - len(line.lstrip())]
            yield emit("return" if stripped.startswith("return") else "delete", 0, len(line), indent + "{}")
        prev_code = code.rstrip() or prev_code


def generate(args):
    rng = random.Random(args.seed)
    chosen = []
    for area, spec in AREAS.items():
        pool = []
        for pattern in spec["files"]:
            for path in sorted(ROOT.glob(pattern)):
                rel = str(path.relative_to(ROOT))
                pool.extend(candidates(rel, path.read_text().split("\n")))
        picked = rng.sample(pool, min(spec["count"], len(pool)))
        picked.sort(key=lambda m: (m["file"], m["line"], m["op"], m["mutated"]))
        for m in picked:
            m["area"] = area
        chosen.extend(picked)
        print(f"{area}: {len(picked)} of {len(pool)} candidates")
    LIST.parent.mkdir(parents=True, exist_ok=True)
    with open(LIST, "w") as out:
        for index, m in enumerate(chosen, 1):
            out.write(json.dumps({"id": index, **m}) + "\n")
    print(f"wrote {len(chosen)} mutants to {LIST.relative_to(ROOT)}")


def load(path=LIST):
    return [json.loads(line) for line in open(path) if line.strip()]


def select(mutants, spec):
    """'1-20,33,page' style subsets: id ranges and area names."""
    if not spec:
        return mutants
    ids, areas = set(), set()
    for part in spec.split(","):
        if re.fullmatch(r"\d+-\d+", part):
            a, b = map(int, part.split("-"))
            ids.update(range(a, b + 1))
        elif part.isdigit():
            ids.add(int(part))
        else:
            areas.add(part)
    return [m for m in mutants if m["id"] in ids or m["area"] in areas]


def locate(lines, m):
    """Index of the mutant's line: where it was, else the one line with its text."""
    i = m["line"] - 1
    if 0 <= i < len(lines) and lines[i] == m["original"]:
        return i
    hits = [k for k, text in enumerate(lines) if text == m["original"]]
    return hits[0] if len(hits) == 1 else None


def sh(command, cwd, timeout):
    """Runs `command` in a session of its own, so that on a time-out the whole
    session (test binary, Chromium, node) is killed, not only the shell."""
    started = time.monotonic()
    child = subprocess.Popen(command, shell=True, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             start_new_session=True)
    try:
        out, _ = child.communicate(timeout=timeout)
        return child.returncode, time.monotonic() - started, out.decode(errors="replace")
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, 9)
        child.communicate()
        return None, time.monotonic() - started, ""


def run_one(m, src, build, timeout, jobs):
    spec = AREAS[m["area"]]
    path = src / m["file"]
    text = path.read_text()
    lines = text.split("\n")
    at = locate(lines, m)
    if at is None:
        return "stale", 0.0
    lines[at] = m["mutated"]
    try:
        path.write_text("\n".join(lines))
        if spec["targets"]:
            rc, spent, log = sh(f"ninja -j{jobs} " + " ".join(spec["targets"]), build, 900)
            if rc != 0:
                return "build-error", spent
        else:
            spent = 0.0
        for command in spec["tests"]:
            rc, took, _ = sh(command.format(src=src), build, timeout)
            spent += took
            if rc is None:
                return "timeout", spent
            if rc != 0:
                return "killed", spent
        return "survived", spent
    finally:
        path.write_text(text)


def run(args):
    build = Path(args.build).resolve()
    cache = (build / "CMakeCache.txt").read_text()
    src = Path(re.search(r"CMAKE_HOME_DIRECTORY:INTERNAL=(.*)", cache).group(1))
    mutants = select(load(), args.only)
    report = open(args.report, "w") if args.report else None
    counts = {}
    # Baseline first: the unmutated tree must build and pass, or every mutant looks killed.
    if not args.no_baseline:
        for area in sorted({m["area"] for m in mutants}):
            spec = AREAS[area]
            if spec["targets"]:
                sh(f"ninja -j{args.jobs} " + " ".join(spec["targets"]), build, 1800)
            for command in spec["tests"]:
                rc, _, log = sh(command.format(src=src), build, args.timeout * 2)
                if rc != 0:
                    sys.exit(f"baseline fails for {area}: {command}\n{log[-3000:]}")
    for m in mutants:
        result, spent = run_one(m, src, build, args.timeout, args.jobs)
        counts[result] = counts.get(result, 0) + 1
        row = f"{m['id']:4d}  {result:11s} {spent:6.1f}s  {m['area']:17s} {m['file']}:{m['line']} {m['op']}: {m['mutated'].strip()}"
        print(row, flush=True)
        if report:
            report.write(json.dumps({"id": m["id"], "result": result, "seconds": round(spent, 1)}) + "\n")
            report.flush()
    print("summary: " + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
    # Building again with the original sources leaves the build as it was found.
    for area in sorted({m["area"] for m in mutants}):
        if AREAS[area]["targets"]:
            sh(f"ninja -j{args.jobs} " + " ".join(AREAS[area]["targets"]), build, 1800)


def compare(args):
    old = {r["id"]: r["result"] for r in map(json.loads, open(args.old)) }
    new = {r["id"]: r["result"] for r in map(json.loads, open(args.new))}
    by_id = {m["id"]: m for m in load()}
    detected = ("killed", "timeout")
    lost = [i for i in sorted(old) if old[i] in detected and new.get(i) not in detected]
    gained = [i for i in sorted(old) if old[i] not in detected and new.get(i) in detected]
    for name, results in (("old", old), ("new", new)):
        tally = {}
        for r in results.values():
            tally[r] = tally.get(r, 0) + 1
        print(f"{name}: " + ", ".join(f"{k} {v}" for k, v in sorted(tally.items())))
    for title, ids in (("detected before, not now", lost), ("detected now, not before", gained)):
        print(f"{title}: {len(ids)}")
        for i in ids:
            m = by_id[i]
            print(f"  {i}: {m['file']}:{m['line']} {m['op']}: {m['mutated'].strip()}  ({old[i]} -> {new.get(i)})")
    return 1 if lost else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    g = sub.add_parser("generate")
    g.add_argument("--seed", type=int, default=SEED)
    r = sub.add_parser("run")
    r.add_argument("build")
    r.add_argument("--only", help="ids and areas, e.g. 1-20,33,page")
    r.add_argument("--timeout", type=float, default=240, help="seconds per test command")
    r.add_argument("--jobs", type=int, default=2)
    r.add_argument("--report", help="write one JSON line per mutant here")
    r.add_argument("--no-baseline", action="store_true")
    c = sub.add_parser("compare")
    c.add_argument("old")
    c.add_argument("new")
    args = parser.parse_args()
    return {"generate": generate, "run": run, "compare": compare}[args.command](args)


if __name__ == "__main__":
    sys.exit(main() or 0)
