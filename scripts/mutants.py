#!/usr/bin/env python3
# Mutation testing (`make mutants`): plants faults one at a time in a private copy of the product code and reports which ones the tests catch.
"""Mutation testing over a private copy of the tree.

The shared working tree is never written: the committed HEAD (or, with SOURCE=tree, the
working tree as it is now) is copied to WORK/src, built in WORK/build (RelWithDebInfo, Ninja,
benchmarks off), and each mutant is planted in the copy, built incrementally and tested: first
the tests of the mutated file's folder, then the other unit tests, then everything else (all
with --stop-on-failure). The copy's file is restored after each mutant and on any exit.

Settings come from the environment (the Makefile passes them) or the command line:
  MUTANTS=N  SEED=S  ONLY=<path prefix>  TESTS=<ctest -R regex>  SANITIZE=1  DRY=1 (--list)
  WORK=/tmp/lexorm-mutants  SOURCE=head|tree  TIMEOUT=300  JOBS=2  BASELINE=1 (run all tests unmutated first)
"""

import argparse
import fcntl
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT_DIRS = ("runtime", "host", "graphics", "audio", "app", "net", "game")
SOURCE_EXT = (".cpp", ".h", ".hpp", ".cc")

# ---------------------------------------------------------------------------------------------
# Finding the places to mutate
# ---------------------------------------------------------------------------------------------


def mask_source(text):
    """The text with comments, string and char literals and preprocessor lines blanked out
    (replaced by spaces, newlines kept), so that positions still match the original."""
    out = list(text)
    n = len(text)
    i = 0
    at_line_start = True  # only blanks so far on this line

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if at_line_start and c in " \t":
            i += 1
            continue
        if at_line_start and c == "#":
            # A preprocessor line, with its continuations.
            j = i
            while j < n:
                if text[j] == "\n" and text[j - 1] != "\\":
                    break
                j += 1
            blank(i, j)
            i = j
            continue
        at_line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
            continue
        if text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
            continue
        m = re.match(r'(?:u8|u|U|L)?R"([^()\\ ]{0,16})\(', text[i:i + 40])
        if m and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            end = text.find(")" + m.group(1) + '"', i + m.end())
            end = n if end < 0 else end + len(m.group(1)) + 2
            blank(i, end)
            i = end
            continue
        if c == '"' or (c == "'" and not (i > 0 and text[i - 1].isdigit() and i + 1 < n and text[i + 1].isalnum())):
            # A string or char literal (a quote between digits is a digit separator).
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            # The literal's prefix (u, U, L, u8) stays: it is harmless as code.
            blank(i, j)
            i = j
            continue
        i += 1
    return "".join(out)


# Lines left alone whatever they contain.
SKIP_LINE = re.compile(r"\b(static_assert|assert|template|operator|typename|decltype|sizeof|alignas)\b|= *0 *;|\bdefault\b|\bdelete\b")

REL_SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
LOGIC_SWAP = {"&&": "||", "||": "&&"}
ARITH_SWAP = {"+": "-", "-": "+", "+=": "-=", "-=": "+="}
# A binary operator is written with a space on each side in this code base (clang-format);
# that keeps template brackets, ->, <<, >>, unary signs and T&& out.
BINOP = re.compile(r"(?<= )(<=|>=|==|!=|<|>|&&|\|\||\+=|-=|\+|-)(?= )")
INT_LIT = re.compile(r"(?<![\w.'])(\d[\d']*)([uUlL]*)(?![\w.'])")
RET_BOOL = re.compile(r"\breturn (true|false);")
COND = re.compile(r"\b(if|while) \(")


def matching_paren(s, open_at):
    depth = 0
    for k in range(open_at, len(s)):
        if s[k] == "(":
            depth += 1
        elif s[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def find_sites(rel_path, text):
    """Every mutation site of one file: dicts with op class, line, column, old and new text."""
    sites = []
    masked = mask_source(text).split("\n")
    original = text.split("\n")
    for ln, code in enumerate(masked, start=1):
        if not code.strip() or SKIP_LINE.search(code):
            continue
        in_for = re.search(r"\bfor \(", code) is not None
        for m in BINOP.finditer(code):
            op = m.group(1)
            col = m.start(1)
            if op in REL_SWAP:
                sites.append(("relational", ln, col, op, REL_SWAP[op]))
            elif op in LOGIC_SWAP:
                sites.append(("logical", ln, col, op, LOGIC_SWAP[op]))
            else:
                sites.append(("arithmetic", ln, col, op, ARITH_SWAP[op]))
        for m in INT_LIT.finditer(code):
            digits = m.group(1).replace("'", "")
            if len(digits) > 1 and digits.startswith("0"):
                continue  # octal; rare, left alone
            value = int(digits)
            col = m.start(1)
            before = code[:col].rstrip()
            after = code[m.end():].lstrip()
            # Next to a comparison (spaced like one: not a shift), or in a for header.
            bound = in_for or re.search(r"(^| )(<|<=|>|>=|==|!=)$", before) is not None \
                or re.match(r"(<|<=|>|>=|==|!=)( |$)", after) is not None
            if bound:
                sites.append(("off-by-one", ln, col, m.group(1), None))
            else:
                sites.append(("constant", ln, col, m.group(1), str(value)))
        for m in RET_BOOL.finditer(code):
            word = m.group(1)
            sites.append(("return", ln, m.start(1), word, "false" if word == "true" else "true"))
        for m in COND.finditer(code):
            if code[m.end():].startswith("!("):
                continue
            close = matching_paren(code, m.end() - 1)
            if close < 0:
                continue  # the condition goes on over the next line
            if not code[m.end():close].strip() or ";" in code[m.end():close]:
                continue
            cond = original[ln - 1][m.end():close]  # with its string literals
            sites.append(("negate", ln, m.end(), cond, "!(" + cond + ")"))
    return [dict(cls=c, file=rel_path, line=ln, col=col, old=old, new=new)
            for (c, ln, col, old, new) in sites]


class Sources:
    """Reads the product files: of a commit straight from git (for a listing: nothing is
    copied), or of a folder (the copy, or the working tree)."""

    def __init__(self, root, commit=None):
        self.root, self.commit, self.cache = root, commit, {}
        git_dir = root if os.path.isdir(os.path.join(root, ".git")) else REPO
        cmd = ["git", "-C", git_dir, "ls-files"] if commit is None else \
            ["git", "-C", root, "ls-tree", "-r", "--name-only", commit]
        files = subprocess.run(cmd + ["--", *PRODUCT_DIRS], check=True, capture_output=True,
                               text=True).stdout.split()
        if commit is None:
            files = [f for f in files if os.path.exists(os.path.join(root, f))]
        self.files = sorted(f for f in files if f.endswith(SOURCE_EXT))

    def text(self, rel):
        if rel not in self.cache:
            if self.commit is None:
                with open(os.path.join(self.root, rel), "rb") as fh:
                    data = fh.read()
            else:
                data = subprocess.run(["git", "-C", self.root, "show", "%s:%s" % (self.commit, rel)],
                                      check=True, capture_output=True).stdout
            self.cache[rel] = data.decode("utf-8", errors="surrogateescape")
        return self.cache[rel]

    def lines(self, rel):
        return self.text(rel).split("\n")


def all_sites(sources, only):
    sites = []
    for f in sources.files:
        if not only or f.startswith(only):
            sites += find_sites(f, sources.text(f))
    return sites


def mutant_stream(sites, seed):
    """Mutants in a fixed order for a seed: an operator class drawn evenly among those with
    sites left, then one of its sites, never the same site twice."""
    rng = random.Random(seed)
    by_class = {}
    for s in sites:
        by_class.setdefault(s["cls"], []).append(s)
    classes = sorted(by_class)
    while classes:
        cls = rng.choice(classes)
        pool = by_class[cls]
        s = dict(pool.pop(rng.randrange(len(pool))))
        if not pool:
            classes.remove(cls)
        if s["cls"] == "off-by-one":
            value = int(s["old"].replace("'", ""))
            delta = rng.choice((1, -1)) if value > 0 else 1
            s["new"] = str(value + delta)
        elif s["cls"] == "constant":
            value = int(s["new"])
            if value == 0:
                s["new"] = "1"
            elif value == 1:
                s["new"] = rng.choice(("0", "2"))
            else:
                s["new"] = rng.choice(("0", str(value * 2), str(value // 2 if value > 2 else value + 2)))
        yield s


def mutated_line(line, site):
    c = site["col"]
    assert line[c:c + len(site["old"])] == site["old"], (site, line)
    return line[:c] + site["new"] + line[c + len(site["old"]):]


def describe(site):
    return "%s: %s -> %s" % (site["cls"], site["old"].strip(), site["new"].strip())


# ---------------------------------------------------------------------------------------------
# Running things, and always putting the copy back
# ---------------------------------------------------------------------------------------------


class Interrupted(Exception):
    pass


CHILD = {"proc": None}
LOCK = {"fh": None}  # held while a run owns the work folder
PENDING = {"path": None, "text": None}


def on_signal(signum, _frame):
    raise Interrupted(signal.Signals(signum).name)


def run(cmd, log=None, cwd=None, timeout=None, env=None):
    """Runs a command in its own process group (stopped as a whole on interruption); returns
    (exit code, output)."""
    proc = subprocess.Popen(cmd, cwd=cwd or WORK_DIR, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", start_new_session=True)
    CHILD["proc"] = proc
    try:
        out, _ = proc.communicate(timeout=timeout)
    except BaseException:
        stop_child()
        raise
    finally:
        CHILD["proc"] = None
    if log:
        with open(log, "a") as fh:
            fh.write("$ %s\n%s\n" % (" ".join(c if len(c) < 200 else c[:200] + "...(%d chars)" % len(c)
                                               for c in cmd), out))
    return proc.returncode, out


def stop_child():
    proc = CHILD["proc"]
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)  # the group this script started, by its id
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
    except ProcessLookupError:
        pass


def plant(path, text):
    """Writes a mutated file, remembering the original (also on disk, for a killed run)."""
    with open(path, encoding="utf-8", errors="surrogateescape") as fh:
        original = fh.read()
    PENDING["path"], PENDING["text"] = path, original
    with open(PENDING_FILE, "w") as fh:
        json.dump({"path": path, "text": original}, fh)
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as fh:
        fh.write(text)


def restore():
    """Puts the mutated file back (a fresh write: its new time makes Ninja rebuild it). Only
    by the run that owns the work folder."""
    if LOCK["fh"] is None:
        return
    if PENDING["path"] is None and os.path.exists(PENDING_FILE):
        try:
            with open(PENDING_FILE) as fh:
                p = json.load(fh)
            PENDING["path"], PENDING["text"] = p["path"], p["text"]
        except (OSError, ValueError, KeyError):
            pass
    if PENDING["path"] is not None:
        with open(PENDING["path"], "w", encoding="utf-8", errors="surrogateescape") as fh:
            fh.write(PENDING["text"])
    PENDING["path"] = PENDING["text"] = None
    if os.path.exists(PENDING_FILE):
        os.remove(PENDING_FILE)


# ---------------------------------------------------------------------------------------------
# The copy and its builds
# ---------------------------------------------------------------------------------------------


def prepare_copy(work, source):
    src = os.path.join(work, "src")
    restore()
    if source == "tree":
        # The working tree as it is (uncommitted edits included), without build folders. Only
        # files whose bytes differ are written, with a new time and never the shared tree's (an
        # older time would hide a mutant still compiled in the build from Ninja).
        os.makedirs(src, exist_ok=True)
        if os.path.isdir(os.path.join(src, ".git")):
            shutil.rmtree(os.path.join(src, ".git"))
        subprocess.run(["rsync", "-rlp", "--checksum", "--delete", "--exclude=/build*/", "--exclude=/.git/",
                        "--exclude=/dist/", REPO + "/", src + "/"], check=True)
        return src, "working tree"
    if not os.path.isdir(os.path.join(src, ".git")):
        if os.path.exists(src):
            shutil.rmtree(src)
        subprocess.run(["git", "clone", "-q", "--no-checkout", REPO, src], check=True)
    head = subprocess.run(["git", "-C", REPO, "rev-parse", "HEAD"], check=True, capture_output=True,
                          text=True).stdout.strip()
    # Reads the shared repository only; git rewrites just the files that changed.
    subprocess.run(["git", "-C", src, "fetch", "-q", REPO, head], check=True)
    subprocess.run(["git", "-C", src, "checkout", "-q", "--force", "--detach", head], check=True)
    subprocess.run(["git", "-C", src, "clean", "-q", "-fdx"], check=True)
    return src, head[:12]


def configure(src, build, extra, log):
    if os.path.exists(os.path.join(build, "build.ninja")):
        return True
    rc, _ = run(["cmake", "-S", src, "-B", build, "-G", "Ninja", *extra], log=log)
    return rc == 0


def build_all(build, jobs, log):
    rc, out = run(["nice", "-n", "10", "cmake", "--build", build, "-j", str(jobs)], log=log)
    return rc == 0, out


def build_failure(out):
    """Why a build failed: None when a source did not compile (the mutant is skipped), else the
    step that failed after compiling (a test program's listing of its cases, the data
    generator): the mutant broke something that ran."""
    steps = re.findall(r"^FAILED: (.*)$", out, re.M)
    if not steps or any(re.search(r"\.(o|obj)\b", st) for st in steps) \
            or re.search(r"\berror: ", out):
        return None
    return steps[0].strip()[:120]


# ---------------------------------------------------------------------------------------------
# Tests
# ---------------------------------------------------------------------------------------------


def list_tests(build, tests_regex):
    cmd = ["ctest", "--test-dir", build, "--show-only=json-v1", "-LE", "faults"]
    if tests_regex:
        cmd += ["-R", tests_regex]
    rc, out = run(cmd)
    if rc != 0:
        raise SystemExit("mutants: ctest could not list the tests:\n" + out)
    data = json.loads(out[out.index("{"):])
    tests = []
    for t in data.get("tests", []):
        labels = []
        for p in t.get("properties", []):
            if p.get("name") == "LABELS":
                labels = p.get("value", [])
        cmd0 = (t.get("command") or [""])[0]
        rel = os.path.relpath(cmd0, os.path.join(build, "tests")) if cmd0.startswith(build) else ""
        folder = rel.split(os.sep)[0] if rel and not rel.startswith("..") else "e2e"
        tests.append({"name": t["name"], "labels": labels, "folder": folder})
    return tests


def name_regex(names):
    # CTest's own regular expressions: the names are anchored and their dots escaped.
    return "^(" + "|".join(re.sub(r"([.\[\]()*+?^$|\\])", r"\\\1", n) for n in names) + ")$"


FAILED_LINE = re.compile(r"^\s*\d+ - (.+?) \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception|[^)]*)\)\s*$")


def run_phase(src, build, names, jobs, timeout, log):
    """Runs the named tests (in chunks, names stay short) stopping at the first failure;
    returns None when all pass, else 'test (reason)'."""
    chunk = []
    chunks = []
    size = 0
    for n in names:
        if size + len(n) > 30000 and chunk:
            chunks.append(chunk)
            chunk, size = [], 0
        chunk.append(n)
        size += len(n) + 4
    if chunk:
        chunks.append(chunk)
    for c in chunks:
        cmd = [os.path.join(src, "scripts", "with-display.sh"), "ctest", "--test-dir", build,
               "--output-on-failure", "--stop-on-failure", "-j", str(jobs), "--timeout", str(timeout),
               "-LE", "faults", "-R", name_regex(c)]
        rc, out = run(cmd, log=log)
        if rc != 0:
            failed = out.split("The following tests FAILED:")
            if len(failed) > 1:
                for line in failed[1].splitlines():
                    m = FAILED_LINE.match(line)
                    if m:
                        return "%s (%s)" % (m.group(1), m.group(2))
            if "No tests were found" in out:
                continue
            return "ctest exit %d" % rc
    return None


def phases_for(site, tests):
    folder = site["file"].split("/")[0]
    own = [t["name"] for t in tests if t["folder"] == folder]
    rest = [t for t in tests if t["folder"] != folder]
    unit = [t["name"] for t in rest if "unit" in t["labels"]]
    other = [t["name"] for t in rest if "unit" not in t["labels"]]
    return [(folder, own), ("unit", unit), ("rest", other)]


# ---------------------------------------------------------------------------------------------
# Main
# ---------------------------------------------------------------------------------------------


def setting(args, name, default):
    v = getattr(args, name.lower())
    if v is None:
        v = os.environ.get(name) or None
    return default if v is None else v


def fmt_secs(s):
    s = int(s)
    return "%dh%02dm" % (s // 3600, s % 3600 // 60) if s >= 3600 else "%dm%02ds" % (s // 60, s % 60)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--mutants", type=int)
    ap.add_argument("--seed", type=int)
    ap.add_argument("--only")
    ap.add_argument("--tests")
    ap.add_argument("--sanitize")
    ap.add_argument("--work")
    ap.add_argument("--source", choices=("head", "tree"))
    ap.add_argument("--timeout", type=int)
    ap.add_argument("--jobs", type=int)
    ap.add_argument("--baseline")
    ap.add_argument("--list", action="store_true", help="print the chosen mutants, build nothing")
    args = ap.parse_args()

    n_mutants = int(setting(args, "MUTANTS", 60))
    seed = int(setting(args, "SEED", 1))
    only = setting(args, "ONLY", "")
    tests_regex = setting(args, "TESTS", "")
    sanitize = setting(args, "SANITIZE", "0") not in ("0", "", "no", "off", "OFF")
    work = os.path.abspath(setting(args, "WORK", "/tmp/lexorm-mutants"))
    source = setting(args, "SOURCE", "head")
    timeout = int(setting(args, "TIMEOUT", 300))
    jobs = int(setting(args, "JOBS", 2))
    baseline_on = setting(args, "BASELINE", "0") not in ("0", "", "no", "off", "OFF")
    dry = args.list or os.environ.get("DRY", "0") not in ("0", "")

    global PENDING_FILE, WORK_DIR
    os.makedirs(work, exist_ok=True)
    WORK_DIR = work
    PENDING_FILE = os.path.join(work, "pending-restore.json")
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, on_signal)

    try:
        return session(work, source, n_mutants, seed, only, tests_regex, sanitize, timeout, jobs,
                       baseline_on, dry)
    except Interrupted as e:
        stop_child()
        print("\nmutants: interrupted (%s); the copy's file is put back" % e, flush=True)
        return 130
    finally:
        restore()


def session(work, source, n_mutants, seed, only, tests_regex, sanitize, timeout, jobs, baseline_on, dry):
    if dry:
        # Straight from the shared tree, read only: the work folder may be in use by a run.
        if source == "tree":
            sources, version = Sources(REPO), "working tree"
        else:
            head = subprocess.run(["git", "-C", REPO, "rev-parse", "HEAD"], check=True, capture_output=True,
                                  text=True).stdout.strip()
            sources, version = Sources(REPO, head), head[:12]
    else:
        lock = open(os.path.join(work, "lock"), "w")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            print("mutants: another run is using %s (set WORK=... for a second one)" % work)
            return 1
        LOCK["fh"] = lock
        src, version = prepare_copy(work, source)
        sources = Sources(src)
    sites = all_sites(sources, only)
    if not sites:
        print("mutants: no place to mutate under %r" % (only or "the product folders"))
        return 1
    counts = {}
    for s in sites:
        counts[s["cls"]] = counts.get(s["cls"], 0) + 1
    print("mutants: %s, %d sites%s (%s), seed %d" % (
        version, len(sites), " under " + only if only else "",
        ", ".join("%s %d" % kv for kv in sorted(counts.items())), seed), flush=True)

    stream = mutant_stream(sites, seed)
    file_lines = sources.lines

    if dry:
        folders = {}
        for i, s in zip(range(1, n_mutants + 1), stream):
            line = file_lines(s["file"])[s["line"] - 1]
            print("%3d  %s:%d  %s\n       - %s\n       + %s" % (
                i, s["file"], s["line"], describe(s), line.strip(), mutated_line(line, s).strip()))
            folders[s["file"].split("/")[0]] = folders.get(s["file"].split("/")[0], 0) + 1
        print("by folder: " + ", ".join("%s %d" % kv for kv in sorted(folders.items())))
        return 0

    logs = os.path.join(work, "logs")
    os.makedirs(logs, exist_ok=True)
    for f in os.listdir(logs):
        if f.startswith("mutant-"):
            os.remove(os.path.join(logs, f))
    build = os.path.join(work, "build")
    build_san = os.path.join(work, "build-sanitize")
    history_file = os.path.join(work, "timings.json")
    try:
        with open(history_file) as fh:
            history = json.load(fh)
    except (OSError, ValueError):
        history = {"per_mutant": []}
    per = history["per_mutant"][-40:]
    avg = sum(per) / len(per) if per else 120.0
    first = not os.path.exists(os.path.join(build, "build.ninja"))
    print("mutants: estimate %s for %d mutants (%s a mutant%s)%s" % (
        fmt_secs(avg * n_mutants), n_mutants, fmt_secs(avg), "" if per else ", a guess before any run",
        "; plus the first build of the copy (~7 min at -j2)" if first else ""),
        flush=True)

    t0 = time.time()
    setup_log = os.path.join(logs, "setup.log")
    open(setup_log, "w").close()
    if not configure(src, build, ["-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DLEXORM_BENCH=OFF"], setup_log):
        print("mutants: configuring the copy failed, see " + setup_log)
        return 1
    ok, _ = build_all(build, jobs, setup_log)
    if not ok:
        print("mutants: the unmutated copy does not build, see " + setup_log)
        return 1
    tests = list_tests(build, tests_regex)
    if not tests:
        print("mutants: no test selected")
        return 1

    # The tests must pass on the unmutated code, or every mutant would look caught. Each test
    # that catches a mutant is run once more without it (once per version of the sources);
    # BASELINE=1 runs them all first. Tests that fail without a mutant are left out, and named.
    key = "%s|%s" % (version, tests_regex) if source == "head" else None
    versions = history.setdefault("versions", {})
    state = versions.pop(key, None) if key else None
    state = state or {"excluded": [], "verified": {}, "baseline": False}
    excluded, verified = state["excluded"], state["verified"]
    if key:
        versions[key] = state  # last, as the newest
        for old in list(versions)[:-6]:
            del versions[old]
    if baseline_on and not state["baseline"]:
        print("mutants: baseline run of the %d tests on the unmutated copy ..." % len(tests), flush=True)
        tb = time.time()
        failing = []
        remaining = [t["name"] for t in tests if t["name"] not in excluded]
        for _ in range(8):
            hit = run_phase(src, build, remaining, jobs, timeout, setup_log)
            if hit is None:
                break
            name = hit.rsplit(" (", 1)[0]
            if name not in remaining:
                print("mutants: the baseline run failed (%s), see %s" % (hit, setup_log))
                return 1
            failing.append(name)
            remaining.remove(name)
        else:
            print("mutants: too many tests fail without any mutant, see " + setup_log)
            return 1
        excluded += failing
        verified.setdefault(build, [])
        verified[build] = remaining
        state["baseline"] = True
        print("mutants: baseline %s%s" % (fmt_secs(time.time() - tb),
              ", failing without a mutant (left out): " + ", ".join(failing) if failing else ", all pass"),
              flush=True)
    tests = [t for t in tests if t["name"] not in excluded]
    print("mutants: %d tests (%s)%s" % (len(tests), ", ".join(sorted({t["folder"] for t in tests})),
                                        "; left out: " + ", ".join(excluded) if excluded else ""), flush=True)

    def save_history():
        saved = dict(history, per_mutant=(history["per_mutant"] + timings)[-100:])
        with open(history_file + ".new", "w") as fh:
            json.dump(saved, fh)
        os.replace(history_file + ".new", history_file)

    san_ready = False
    results = []
    skipped = []
    report_lines = []
    timings = []

    def emit(line):
        print(line, flush=True)
        report_lines.append(line)

    emit("mutants: %s  seed %d  mutants %d%s%s%s" % (version, seed, n_mutants, "  only " + only if only else "",
                                                   "  tests " + tests_regex if tests_regex else "",
                                                   "  sanitize" if sanitize else ""))
    draws = 0
    while len(results) < n_mutants:
        site = next(stream, None)
        if site is None:
            emit("mutants: no more sites to draw")
            break
        draws += 1
        idx = len(results) + 1
        rel = site["file"]
        path = os.path.join(src, rel)
        lines = list(file_lines(rel))
        orig = lines[site["line"] - 1]
        new = mutated_line(orig, site)
        lines[site["line"] - 1] = new
        tag = "%3d  %s:%d  %s" % (idx, rel, site["line"], describe(site))
        log = os.path.join(logs, "mutant-%03d.log" % draws)
        with open(log, "w") as fh:
            fh.write("%s\n- %s\n+ %s\n" % (tag, orig, new))
        tm = time.time()
        tbuild = 0.0
        verdict = None
        try:
            for _attempt in range(4):
                plant(path, "\n".join(lines))
                ok, out = build_all(build, jobs, log)
                tbuild = time.time() - tm
                verdict, hit_build, hit_test = None, None, None
                if not ok:
                    step = build_failure(out)
                    if step is None:
                        break
                    verdict = "caught by the build step %s" % step
                for phase, names in phases_for(site, tests) if verdict is None else ():
                    if not names:
                        continue
                    hit = run_phase(src, build, names, jobs, timeout, log)
                    if hit:
                        verdict = "caught by %s [%s tests]" % (hit, phase)
                        hit_build, hit_test = build, hit.rsplit(" (", 1)[0]
                        break
                if verdict is None and sanitize:
                    if not san_ready:
                        restore()
                        print("     (configuring and building the sanitizer copy, once)", flush=True)
                        configure(src, build_san, ["-DLEXORM_SANITIZE=ON", "-DCMAKE_BUILD_TYPE=Debug"], setup_log)
                        build_all(build_san, jobs, setup_log)
                        plant(path, "\n".join(lines))
                        san_ready = True
                    ok_san, _ = build_all(build_san, jobs, log)
                    if ok_san:
                        folder = rel.split("/")[0]
                        unit = [t["name"] for t in sorted(tests, key=lambda t: t["folder"] != folder)
                                if "unit" in t["labels"]]
                        hit = run_phase(src, build_san, unit, jobs, max(timeout, 600), log)
                        if hit:
                            verdict = "caught by %s [sanitizer build]" % hit
                            hit_build, hit_test = build_san, hit.rsplit(" (", 1)[0]
                restore()
                # A test that catches a mutant must pass without it: checked once per version of
                # the sources (a rebuild of the restored file, then that one test).
                if hit_test is None or hit_test in verified.setdefault(hit_build, []):
                    break
                build_all(hit_build, jobs, log)
                if hit_test in {t["name"] for t in tests} and \
                        run_phase(src, hit_build, [hit_test], jobs, timeout, log) is None:
                    verified[hit_build].append(hit_test)
                    break
                emit("     %s fails without any mutant too: left out from now on; the mutant is tested again"
                     % hit_test)
                excluded.append(hit_test)
                tests = [t for t in tests if t["name"] != hit_test]
            else:
                verdict = None
        finally:
            restore()
        if not ok and verdict is None:
            skipped.append(dict(site, orig=orig, mutated=new))
            emit("     %s:%d  %s  skipped (does not compile, %ds)" % (rel, site["line"], describe(site), tbuild))
            continue
        secs = time.time() - tm
        timings.append(secs)
        caught = verdict is not None
        results.append(dict(site, orig=orig, mutated=new, caught=caught, by=verdict, secs=secs))
        emit("%s  %s  (build %ds, %ds)" % (tag, verdict if caught else "SURVIVED", tbuild, secs))
        save_history()

    caught = sum(1 for r in results if r["caught"])
    survivors = [r for r in results if not r["caught"]]
    emit("")
    emit("survivors (%d):" % len(survivors))
    for r in survivors:
        emit("  %s:%d  %s" % (r["file"], r["line"], describe(r)))
        emit("    - %s" % r["orig"].strip())
        emit("    + %s" % r["mutated"].strip())
    if skipped:
        emit("skipped, did not compile (%d): %s" % (len(skipped), ", ".join(
            "%s:%d (%s)" % (s["file"], s["line"], describe(s)) for s in skipped)))
    tested = len(results)
    emit("score: %d/%d (%s)  skipped %d  time %s  (%s a mutant)" % (
        caught, tested, "%d%%" % round(100.0 * caught / tested) if tested else "-", len(skipped),
        fmt_secs(time.time() - t0), fmt_secs(sum(timings) / len(timings)) if timings else "-"))

    if excluded:
        emit("left out, failing without any mutant: " + ", ".join(excluded))
    save_history()
    name = "report-seed%d%s.txt" % (seed, "-" + re.sub(r"[^\w]+", "_", only).strip("_") if only else "")
    for path in (os.path.join(work, name), os.path.join(work, "report.txt")):
        with open(path, "w") as fh:
            fh.write("\n".join(report_lines) + "\n")
    print("report: " + os.path.join(work, name))
    return 0


PENDING_FILE = None
WORK_DIR = None

if __name__ == "__main__":
    sys.exit(main())
