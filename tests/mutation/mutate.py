#!/usr/bin/env python3
"""Mutation testing of the logic that needs no window.

Plants one small fault at a time (the rules in rules.txt) in a source file, rebuilds the unit
tests that link it in a build directory of its own, and runs them: a mutant is killed when a
test fails, crashes or runs past its time limit, and survives when every test passes. Mutants
that do not compile are not counted. Mutants listed in equivalent.txt (no input can tell them
apart from the original) are built and run like the others, and left out of the score when
they survive.

    tests/mutation/mutate.py                      # every file, every rule
    tests/mutation/mutate.py webkit/urldecode.cpp --rules rel,const
    tests/mutation/mutate.py --list               # the mutants, without building anything

The source is restored after every mutant, also when the run is interrupted; a run that was
killed outright restores it on the next start.
"""

import argparse
import dataclasses
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent

# The windowless sources, each with the unit tests that drive it (the first one most
# directly). With --all-tests, every other unit test that links the same library runs too.
DIRECT = {
    "webkit/urldecode.cpp": ["test_encoding", "test_results"],
    "webkit/urlencode.cpp": ["test_encoding", "test_player_resolver", "test_search"],
    "webkit/charset.cpp": ["test_charset", "test_encoding", "test_fetch"],
    "webkit/patterns.cpp": ["test_patterns", "test_search", "test_player_resolver"],
    "webkit/fetch.cpp": ["test_fetch"],
    "webkit/versioncheck.cpp": ["test_versioncheck"],
    "app/about.cpp": ["test_headless", "test_command_line"],
    "app/memory.cpp": ["test_memory"],
    "portal/ed2klink.cpp": ["test_results", "test_search_rows"],
    "portal/results.cpp": ["test_results"],
    "portal/resultmodel.cpp": ["test_results"],
    "portal/links.cpp": ["test_results"],
    "webkit/hexdigit.h": ["test_encoding"],
    "portal/startlimit.cpp": ["test_startlimit"],
    "portal/search.cpp": ["test_search"],
    "portal/headless.cpp": ["test_search_rows", "test_headless", "test_command_line"],
    "player/addresswatch.cpp": ["test_player_watch"],
    "player/playresolver.cpp": ["test_player_resolver"],
}
LINKED_BY = {
    "webkit/": ["test_encoding", "test_charset", "test_patterns", "test_results", "test_player_watch",
                "test_search_rows", "test_versioncheck", "test_fetch", "test_player_resolver",
                "test_search", "test_headless", "test_command_line"],
    "portal/": ["test_results", "test_startlimit", "test_search_rows", "test_search",
                "test_headless", "test_command_line"],
    "player/": ["test_player_watch", "test_player_resolver", "test_command_line"],
    "app/": ["test_memory", "test_headless", "test_command_line"],
}

# The command-line front ends, tested by running the whole program: slow, so only when named.
BY_NAME_ONLY = {"app/about.cpp", "portal/headless.cpp"}

# Lines that log, or only reserve capacity: nothing they do can change a result.
LOGGING = re.compile(r"\b(qDebug|qInfo|qWarning|qCritical|qFatal|fprintf|std::fprintf)\b|\.reserve\(")


def tests_for(path, every=False):
    tests = list(DIRECT.get(path, []))
    if not every:
        return tests
    for prefix, linked in LINKED_BY.items():
        if path.startswith(prefix):
            tests += [t for t in linked if t not in tests]
    return tests


# ---------------------------------------------------------------------------------------------
# Reading the source: only code is mutated.

def mask(text):
    """The text with comments, string and character literals and preprocessor lines blanked
    (newlines kept, every offset unchanged), and lines that log or reserve blanked too."""
    out = list(text)
    i, n = 0, len(text)

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            j = i
            while j < n and text[j] != "\n":
                j = j + 2 if text[j] == "\\" else j + 1
            blank(i, min(j, n))
            i = j
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif c == "R" and text.startswith('"', i + 1) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            blank(i, j)
            i = j
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum() and i + 1 < n and text[i + 1].isalnum())):
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i, j + 1)
            i = j + 1
        else:
            i += 1
    masked = "".join(out)
    lines = masked.split("\n")
    for k, line in enumerate(lines):
        if LOGGING.search(line):
            lines[k] = " " * len(line)
    return "\n".join(lines)


OPEN, CLOSE = "([{", ")]}"


def statement_end(code, start):
    """The offset just past the ";" that ends the statement beginning at `start`, or None when
    a "{" at the statement's own level comes first (a definition, not a statement)."""
    depth = 0
    for i in range(start, len(code)):
        c = code[i]
        if c in OPEN:
            if c == "{" and depth == 0:
                return None
            depth += 1
        elif c in CLOSE:
            depth -= 1
            if depth < 0:
                return None
        elif c == ";" and depth == 0:
            return i + 1
    return None


def matching_open(code, close_at):
    depth = 0
    for i in range(close_at, -1, -1):
        c = code[i]
        if c in CLOSE:
            depth += 1
        elif c in OPEN:
            depth -= 1
            if depth == 0:
                return i
    return -1


def word_before(code, at):
    i = at - 1
    while i >= 0 and code[i].isspace():
        i -= 1
    j = i
    while j >= 0 and (code[j].isalnum() or code[j] == "_"):
        j -= 1
    return code[j + 1:i + 1]


def starts_statement(code, at):
    """Whether a statement can begin at `at`: after ";", a brace, "else", a label or the
    condition of if, for or while."""
    i = at - 1
    while i >= 0 and code[i].isspace():
        i -= 1
    if i < 0 or code[i] in ";{}:":
        return True
    if code[i] == ")":
        return word_before(code, matching_open(code, i)) in ("if", "for", "while")
    return word_before(code, i + 1) == "else"


def governed_by_if(code, at):
    """Whether the statement at `at` is the body of an if, or inside a braced if body."""
    i = at - 1
    while i >= 0 and code[i].isspace():
        i -= 1
    if i < 0:
        return False
    if code[i] == ")":
        return word_before(code, matching_open(code, i)) == "if"
    # Inside a block: find the "{" that opens it.
    depth = 0
    while i >= 0:
        c = code[i]
        if c == "}" or c == ")" or c == "]":
            depth += 1
        elif c == "(" or c == "[":
            depth -= 1
        elif c == "{":
            if depth == 0:
                break
            depth -= 1
        i -= 1
    if i < 0:
        return False
    j = i - 1
    while j >= 0 and code[j].isspace():
        j -= 1
    if j >= 0 and code[j] == ")":
        return word_before(code, matching_open(code, j)) == "if"
    return False


# ---------------------------------------------------------------------------------------------
# Rules and mutants.

@dataclasses.dataclass
class Rule:
    id: str
    kind: str
    pattern: re.Pattern
    replacement: str = ""
    unless: re.Pattern = None


@dataclasses.dataclass
class Mutant:
    path: str
    rule: str
    start: int
    end: int
    replacement: str
    line: int = 0
    before: str = ""
    after: str = ""
    status: str = ""
    detail: str = ""
    equivalent: str = ""

    def label(self):
        return f"{self.path}:{self.line} {self.rule}: {self.before}  =>  {self.after}"


def load_rules(path):
    rules = []
    for raw in path.read_text(encoding="utf-8").splitlines():
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        line, _, unless = line.partition(" unless ")
        head, _, replacement = line.partition("==>")
        parts = head.split(None, 2)
        if len(parts) != 3:
            sys.exit(f"mutate: cannot read rule: {raw}")
        rid, kind, pattern = parts
        replacement = replacement.strip()
        if replacement.startswith('"') and replacement.endswith('"'):
            replacement = replacement[1:-1]
        rules.append(Rule(rid, kind, re.compile(pattern.strip(), re.M), replacement,
                          re.compile(unless.strip()) if unless.strip() else None))
    return rules


def nudged(literal):
    if literal.lower().startswith("0x"):
        value = int(literal, 16)
        width = len(literal) - 2
        fmt = lambda v: "0x%0*X" % (width, v)
    else:
        value = int(literal)
        fmt = str
    return [(fmt(v), v > value) for v in (value + 1, value - 1) if v >= 0]


OPERATOR_BEFORE = re.compile(r"(?:[<>=!]=|[-+*/%&|^<>?:\[]|<<|>>)\s*-?$")
OPERATOR_AFTER = re.compile(r"^[uUlL]*\s*(?:[<>=!]=|[-+*/%&|^<>?\]]|<<|>>)")


def nudgeable(code, at, end):
    """A literal that is an operand (of a comparison, arithmetic, a shift, a mask, an index, a
    choice), not a call's argument, an initial value or a label; and not a size in a
    declaration ("char buf[8]") nor an enumerator's value: those only name or hold things."""
    line_start = code.rfind("\n", 0, at) + 1
    before = code[line_start:at]
    if not (OPERATOR_BEFORE.search(before) or OPERATOR_AFTER.match(code[end:end + 8])):
        return False
    if re.search(r"\bcase\s+$", before):
        return False
    if re.search(r"\b[A-Za-z_]\w*\s+[A-Za-z_]\w*\[\s*$", before) or re.search(r"<[\w:\s]*,\s*$", before):
        return False
    return not re.search(r"\benum\b[^;]*\{[^}]*$", code[max(0, at - 400):at])


def line_of(text, at):
    start = text.rfind("\n", 0, at) + 1
    end = text.find("\n", at)
    return text[start:len(text) if end < 0 else end]


def mutants_of(path, text, rules):
    code = mask(text)
    found = []
    for rule in rules:
        if rule.kind == "replace":
            for m in rule.pattern.finditer(code):
                if rule.unless and rule.unless.search(line_of(text, m.start())):
                    continue
                found.append((rule.id, m.start(), m.end(), m.expand(rule.replacement)))
        elif rule.kind == "nudge":
            for m in rule.pattern.finditer(code):
                if not nudgeable(code, m.start(1), m.end(1)):
                    continue
                # Next to a comparison, one of the two nudges is the same fault as the
                # comparison loosened or tightened: only the other one is planted.
                op = re.search(r"(?<![<>-])(<=|>=|<|>)\s*-?$", code[:m.start(1)][-6:])
                for v, up in nudged(m.group(1)):
                    if op and (op.group(1) in ("<=", ">") and not up or op.group(1) in (">=", "<") and up):
                        continue
                    # Elsewhere one nudge, away from zero, is enough.
                    negative = code[:m.start(1)].rstrip().endswith("-")
                    if not op and up == negative:
                        continue
                    found.append((rule.id, m.start(1), m.end(1), v))
        elif rule.kind == "drop":
            for m in rule.pattern.finditer(code):
                start = m.start() + len(m.group(0)) - len(m.group(0).lstrip())
                if re.match(r"(if|for|while|switch|return|else|do|case|delete|new|sizeof)\b", code[start:]):
                    continue
                if not starts_statement(code, start):
                    continue
                if rule.unless and rule.unless.search(line_of(text, start)):
                    continue
                end = statement_end(code, start)
                if end is not None:
                    found.append((rule.id, start, end, "{}"))
        elif rule.kind == "early":
            for m in rule.pattern.finditer(code):
                end = statement_end(code, m.start())
                if end is not None and governed_by_if(code, m.start()):
                    found.append((rule.id, m.start(), end, "{}"))
        elif rule.kind == "swap":
            starts = []
            for m in rule.pattern.finditer(code):
                start = m.start() + len(m.group(0)) - len(m.group(0).lstrip())
                end = statement_end(code, start)
                if end is not None:
                    starts.append((start, end, m.group(1)))
            for (a0, a1, ka), (b0, b1, kb) in zip(starts, starts[1:]):
                if ka == kb and code[a1:b0].strip() == "":
                    between = text[a1:b0]
                    found.append((rule.id, a0, b1, text[b0:b1] + between + text[a0:a1]))
        else:
            sys.exit(f"mutate: unknown rule kind {rule.kind}")
    mutants = []
    seen = set()
    for rid, start, end, replacement in found:
        if text[start:end] == replacement or (start, end, replacement) in seen:
            continue
        seen.add((start, end, replacement))
        line_no = text.count("\n", 0, start) + 1
        line_start = text.rfind("\n", 0, start) + 1
        line_end = text.find("\n", start)
        line_end = len(text) if line_end < 0 else line_end
        mutated = text[:start] + replacement + text[end:]
        mutated_end = mutated.find("\n", start + len(replacement))
        mutated_end = len(mutated) if mutated_end < 0 else mutated_end
        before = text[line_start:line_end].strip()
        after = mutated[line_start:mutated_end].strip().split("\n")[0].strip()
        mutants.append(Mutant(path, rid, start, end, replacement, line_no, before, after))
    mutants.sort(key=lambda m: (m.start, m.rule))
    return mutants


def load_equivalents(path):
    """Lines "FILE | RULE | LINE AS WRITTEN => LINE AS MUTATED | WHY"."""
    known = {}
    if not path.exists():
        return known
    for raw in path.read_text(encoding="utf-8").splitlines():
        if not raw.strip() or raw.lstrip().startswith("#"):
            continue
        rest, _, why = raw.rpartition(" | ")
        file, _, rest = rest.partition(" | ")
        rule, _, change = rest.partition(" | ")
        before, _, after = change.partition(" => ")
        if not (file and rule and before and after and why):
            sys.exit(f"mutate: cannot read equivalent mutant: {raw}")
        known[(file.strip(), rule.strip(), before.strip(), after.strip())] = why.strip()
    return known


# ---------------------------------------------------------------------------------------------
# Building and running.

class Runner:
    def __init__(self, args):
        self.args = args
        self.build = Path(args.build_dir).resolve()
        self.limits = {}

    def configure(self):
        if (self.build / "build.ninja").exists():
            return
        flags = ["-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=-O0"]
        if shutil.which("ld.lld"):
            flags.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(self.build), "-G", "Ninja", *flags],
                       check=True, stdout=subprocess.DEVNULL)

    def make(self, targets, timeout=1800):
        try:
            p = subprocess.run(["ninja", "-C", str(self.build), f"-j{self.args.jobs}", *targets],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        except subprocess.TimeoutExpired:
            return False, "build timed out"
        return p.returncode == 0, p.stdout.decode(errors="replace")

    def run_test(self, name, timeout):
        """(outcome, seconds): outcome is "pass", "fail", "crash" or "timeout"."""
        began = time.monotonic()
        env = dict(os.environ)
        env.setdefault("QT_QPA_PLATFORM", "offscreen")
        proc = subprocess.Popen([str(self.build / "bin" / name)], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, env=env, start_new_session=True)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            code = None
        finally:
            # The test's helpers (localweb) share its process group: end them all.
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait()
        seconds = time.monotonic() - began
        if code is None:
            return "timeout", seconds
        if code == 0:
            return "pass", seconds
        return ("fail" if code > 0 else "crash"), seconds

    def baseline(self, tests):
        """Builds the unmutated tests, runs each once and sets its time limit."""
        ok, log = self.make(tests)
        if not ok:
            sys.exit("mutate: the unmutated sources do not build:\n" + log[-3000:])
        for t in tests:
            outcome, seconds = self.run_test(t, 600)
            if outcome != "pass":
                sys.exit(f"mutate: {t} does not pass on the unmutated sources ({outcome})")
            self.limits[t] = max(self.args.min_limit, self.args.limit_factor * seconds)
            print(f"  {t}: {seconds:.1f} s, limit {self.limits[t]:.0f} s", flush=True)

    def judge(self, m):
        tests = tests_for(m.path, self.args.all_tests)
        # Each test is built just before it runs: a mutant killed by the first test costs one
        # link, not one per test.
        for t in tests:
            ok, log = self.make([t])
            if not ok:
                m.status = "unbuilt"
                return
            outcome, seconds = self.run_test(t, self.limits[t])
            if outcome != "pass":
                m.status = "killed"
                m.detail = f"{t} {outcome} after {seconds:.1f} s"
                return
        m.status = "survived"


class Restorer:
    """Keeps the original of the file being mutated and puts it back, whatever happens."""

    def __init__(self, build):
        self.dir = build / "mutation-originals"
        self.current = None

    def recover(self):
        if not self.dir.exists():
            return
        for saved in self.dir.rglob("*"):
            if saved.is_file():
                rel = saved.relative_to(self.dir)
                shutil.copyfile(saved, ROOT / rel)
                print(f"mutate: restored {rel} left mutated by an earlier run", flush=True)
                saved.unlink()

    def hold(self, rel):
        saved = self.dir / rel
        saved.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(ROOT / rel, saved)
        self.current = rel

    def put_back(self):
        if self.current is None:
            return
        saved = self.dir / self.current
        # A fresh modification time, so that the next build compiles the original again.
        shutil.copyfile(saved, ROOT / self.current)
        saved.unlink()
        self.current = None


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("files", nargs="*", help="sources to mutate, relative to the repository")
    ap.add_argument("--rules", default="", help="comma-separated rule ids or id prefixes")
    ap.add_argument("--list", action="store_true", help="list the mutants and stop")
    ap.add_argument("--build-dir", default=str(ROOT / "build-mutation"))
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--limit-factor", type=float, default=4.0,
                    help="time limit of a test: this many times its unmutated run")
    ap.add_argument("--min-limit", type=float, default=30.0, help="least time limit, seconds")
    ap.add_argument("--lines", default="", help="only mutants on lines FROM-TO")
    ap.add_argument("--all-tests", action="store_true",
                    help="run every unit test that links the file, not only its own")
    args = ap.parse_args()

    files = args.files or [f for f in DIRECT if f not in BY_NAME_ONLY]
    for f in files:
        if f not in DIRECT:
            sys.exit(f"mutate: {f} has no unit tests mapped to it (see DIRECT)")
    rules = load_rules(HERE / "rules.txt")
    if args.rules:
        wanted = [w.strip() for w in args.rules.split(",") if w.strip()]
        rules = [r for r in rules if any(r.id == w or r.id.startswith(w) for w in wanted)]
    equivalents = load_equivalents(HERE / "equivalent.txt")

    runner = Runner(args)
    restorer = Restorer(runner.build)
    if not args.list:
        runner.configure()
        restorer.recover()

    mutants = []
    for f in files:
        mutants += mutants_of(f, (ROOT / f).read_text(encoding="utf-8"), rules)
    if args.lines:
        lo, _, hi = args.lines.partition("-")
        mutants = [m for m in mutants if int(lo) <= m.line <= int(hi or lo)]
    for m in mutants:
        m.equivalent = equivalents.get((m.path, m.rule, m.before, m.after), "")
    if args.list:
        for m in mutants:
            print(m.label() + ("   [equivalent]" if m.equivalent else ""))
        print(f"{len(mutants)} mutants")
        return 0

    def stop(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, stop)
    began = time.monotonic()
    all_tests = []
    for f in files:
        all_tests += [t for t in tests_for(f, args.all_tests) if t not in all_tests]
    print(f"mutate: {len(mutants)} mutants in {len(files)} files; unmutated run:", flush=True)
    runner.baseline(all_tests)

    try:
        for k, m in enumerate(mutants, 1):
            path = ROOT / m.path
            text = path.read_text(encoding="utf-8")
            restorer.hold(m.path)
            try:
                path.write_text(text[:m.start] + m.replacement + text[m.end:], encoding="utf-8")
                t0 = time.monotonic()
                runner.judge(m)
            finally:
                restorer.put_back()
            mark = m.status + (" (listed equivalent)" if m.equivalent else "")
            print(f"[{k}/{len(mutants)}] {m.label()}\n    {mark} {m.detail} "
                  f"({time.monotonic() - t0:.0f} s)", flush=True)
    except KeyboardInterrupt:
        print("mutate: interrupted; sources restored", flush=True)
        return 130
    finally:
        restorer.put_back()
        # Leave the build matching the sources again.
        runner.make(all_tests)

    # A listed mutant that a test kills was not equivalent (an entry can cover several lines of
    # the same text): it counts as killed.
    equivalent = [m for m in mutants if m.equivalent and m.status == "survived"]
    counted = [m for m in mutants if m.status != "unbuilt" and m not in equivalent]
    killed = [m for m in counted if m.status == "killed"]
    survivors = [m for m in counted if m.status == "survived"]
    unbuilt = [m for m in mutants if m.status == "unbuilt"]
    wrong = [m for m in mutants if m.equivalent and m.status == "killed"]
    listed = {(m.path, m.rule, m.before, m.after) for m in mutants}
    stale = [k for k in equivalents if k[0] in files and k not in listed]
    minutes = (time.monotonic() - began) / 60

    print()
    print(f"mutants: {len(mutants)}, not compiling: {len(unbuilt)}, "
          f"equivalent (listed, survived): {len(equivalent)}")
    for m in survivors:
        print(f"SURVIVED {m.label()}")
    for m in wrong:
        print(f"killed, though a listed line matches it: {m.label()} ({m.detail})")
    for k in stale:
        print(f"equivalent.txt names no mutant any more: {' | '.join(k)}")
    score = 100.0 * len(killed) / len(counted) if counted else 100.0
    print(f"score: {len(killed)} of {len(counted)} killed, {score:.1f}% ({minutes:.0f} min)")
    return 0 if not survivors else 1


if __name__ == "__main__":
    sys.exit(main())
