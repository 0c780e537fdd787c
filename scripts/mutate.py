#!/usr/bin/env python3
"""Mutation testing of the C++ sources: how many small, plausible faults do the tests catch?

One change at a time is written into a source file under component/, services/ or platform/,
the tests that link that file are rebuilt incrementally in build-mutate/ and run, and the
change counts as killed when a test program fails or runs out of time. The sample of changes is
drawn once, with a fixed seed, and kept in scripts/mutants.json, so that two runs measure the
same faults; --redraw draws it again.

    scripts/mutate.py                 # the whole sample (about an hour on two cores)
    scripts/mutate.py --list          # the sample, without running anything
    scripts/mutate.py --only 10       # the first ten changes
    scripts/mutate.py --ids 3,40-45   # chosen changes
    scripts/mutate.py --pg all        # PostgreSQL cases in every program (about 1.5 h)
    scripts/mutate.py --pg none       # no PostgreSQL server at all
    scripts/mutate.py --candidates    # how many changes each area offers
    scripts/mutate.py --redraw        # draw a new sample and write scripts/mutants.json

Python 3 standard library only. The script lowers its own priority to nice 19.
"""

import argparse
import datetime
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from collections import Counter, defaultdict
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SAMPLE_FILE = ROOT / "scripts" / "mutants.json"
SOURCE_DIRS = ("component", "services", "platform")
DEFAULT_SEED = 20240607
DEFAULT_COUNT = 160

# Where faults hurt most: saving edits, pushing plans into orders, folding entries, who may do
# what, the store underneath, and the grid the user edits in. Each rule is (path regex,
# function regex or None, area); the first match wins. Functions are the outermost function
# a line lies in, as written in the file (Class::Method).
AREA_RULES = [
    (r"services/planupdate/(PurchasePlanUpdateService|EntryValues)\.cpp$", None, "save"),
    (r"component/operations/EntryData\.cpp$", None, "save"),
    (r"component/operations/clsPurchasePlan\.cpp$",
     r"::(Save|CloseOrUnClose|CollectTickedRows|CollectTickedPlans|DeletePurChasePlan|PushQtyRefusal)$", "save"),
    (r"component/operations/clsPurchasePlan\.cpp$",
     r"::(PushBill|CheckPushRows|NewBillDate|CollectOpenTickedRows|PushesMoreThanLeft)$", "push"),
    (r"services/planupdate/(PushBill|BillNumbers)\.cpp$", None, "push"),
    (r"services/bills/(PurchaseOrderStore|BillsService|LinkedBills|BillModels|frmPOHighPrice|frmPurchaseOrder)\.cpp$",
     None, "push"),
    (r"services/planning/HighPrice\.cpp$", None, "push"),
    (r"component/operations/MergeRows\.cpp$", None, "merge"),
    (r"component/list/ClsPurchasePlanUI\.cpp$", r"::(Merge|UnMerge|CheckMergeLimits)$", "merge"),
    (r"services/access/", None, "rights"),
    (r"component/host/Access\.cpp$", None, "rights"),
    (r"services/store/DatabaseRoles\.cpp$", None, "rights"),
    (r"component/list/ClsPurchasePlanUI\.cpp$", r"::(CheckSupplierCode|GetSupply|GetRightSupply|\w*Supplier\w*)$", "rights"),
    (r"services/store/", None, "store"),
    (r"platform/controls/(SpreadGrid|GridModel|GridDelegate|CellColumn)\.cpp$", None, "grid"),
    (r"component/grid/PlanGrid\.cpp$", None, "grid"),
    (r"component/list/frmPurchasePlan\.cpp$",
     r"::(Load|EnterCell|CheckLeftCell|LeaveActiveCell|FindNext|UpdateToolStates)$", "grid"),
    (r"component/list/ClsPurchasePlanUI\.cpp$", r"::(LoadGrid|FillCol|SetAllTicks|SelectAll|UnSelectAll)$", "grid"),
]
# Share of the sample per area (the rest of the code is "other"); the counts are these shares
# of the sample size, rounded, the remainder going to the largest areas first.
AREA_SHARES = {"save": 0.18, "push": 0.18, "merge": 0.13, "rights": 0.13, "store": 0.12, "grid": 0.14,
               "other": 0.12}
# Within an area: changing a constant is the weakest kind (many are table sizes, column
# numbers and defaults), so it is drawn less often than a change of logic.
OPERATOR_WEIGHTS = {"cmp": 1.0, "logic": 1.0, "negate": 1.0, "drop": 1.0, "const": 0.4, "ret-early": 1.0,
                    "ret": 1.0}

PG_MODES = {"all": "in every program", "most": "in every program but the reliability suite (label reliability)",
            "none": "none"}

CMP_SWAP = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
CONTROL_WORDS = {"if", "for", "while", "switch", "catch", "return", "else", "do", "case", "throw",
                 "delete", "new", "goto", "break", "continue", "using", "typedef", "static_assert",
                 "co_return", "co_await", "sizeof", "alignof", "decltype", "namespace", "template"}
# Calls whose removal changes nothing the tests could see (diagnostics, no-ops in a release build).
QUIET_CALLS = re.compile(r"^(q(Debug|Info|Warning|Critical)|Q_(?!EMIT)[A-Z_]+|assert|static_assert)\b")
NUMERIC_TYPES = re.compile(
    r"^(unsigned |signed )?(int|short|long|long long|char|float|double|size_t|std::size_t|qsizetype|"
    r"q(u)?int(8|16|32|64)|uint|ushort|ulong|qreal|std::(u)?int(8|16|32|64)_t|u?int(8|16|32|64)_t)$")
SPECIFIERS = re.compile(r"^(static|inline|virtual|constexpr|explicit|friend|extern|\[\[nodiscard\]\]|"
                        r"\[\[maybe_unused\]\])\s+")


# ---------------------------------------------------------------------------------------------
# Reading C++: which characters are code (not comment, string, character or preprocessor text)


def code_masks(text):
    """Per line, a list of booleans: True where the character is code."""
    lines = text.split("\n")
    masks = []
    state = None  # None, "block" (comment), ("raw", delimiter)
    continued_pp = False
    for line in lines:
        mask = [False] * len(line)
        stripped = line.lstrip()
        if state is None and (continued_pp or stripped.startswith("#")):
            continued_pp = line.endswith("\\")
            masks.append(mask)
            continue
        continued_pp = False
        i, n = 0, len(line)
        while i < n:
            if state == "block":
                end = line.find("*/", i)
                if end < 0:
                    i = n
                    break
                i = end + 2
                state = None
                continue
            if isinstance(state, tuple):
                end = line.find(state[1], i)
                if end < 0:
                    i = n
                    break
                i = end + len(state[1])
                state = None
                continue
            c = line[i]
            if line.startswith("//", i):
                break
            if line.startswith("/*", i):
                state = "block"
                i += 2
                continue
            raw = re.match(r'(u8|u|U|L)?R"([^ ()\\\t]{0,16})\(', line[i:])
            if raw and (i == 0 or not (line[i - 1].isalnum() or line[i - 1] == "_")):
                state = ("raw", ")" + raw.group(2) + '"')
                i += raw.end()
                continue
            if c == '"' or (c == "'" and not (i > 0 and line[i - 1].isalnum() and i + 1 < n and line[i + 1].isalnum())):
                j = i + 1
                while j < n and line[j] != c:
                    j += 2 if line[j] == "\\" else 1
                i = j + 1
                continue
            mask[i] = True
            i += 1
        masks.append(mask)
    return lines, masks


def code_only(line, mask):
    """The line with every non-code character blanked (same length, so columns match)."""
    return "".join(ch if m else " " for ch, m in zip(line, mask))


def matching_paren(code, start):
    """Index of the parenthesis closing the one at start, on the same line, or -1."""
    depth = 0
    for i in range(start, len(code)):
        if code[i] == "(":
            depth += 1
        elif code[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def balanced(code):
    depth = 0
    for ch in code:
        if ch in "([{":
            depth += 1
        elif ch in ")]}":
            depth -= 1
            if depth < 0:
                return False
    return depth == 0


def top_level(code, chars):
    """Positions of the given characters outside any bracket."""
    depth, found = 0, []
    for i, ch in enumerate(code):
        if ch in "([{":
            depth += 1
        elif ch in ")]}":
            depth -= 1
        elif depth == 0 and ch in chars:
            found.append(i)
    return found


def default_return(ret_type):
    """The statement returning the default of a type, or None when there is no safe one."""
    t = ret_type.strip()
    t = re.sub(r"^const\s+", "", t)
    if t == "void":
        return "return;"
    if t == "bool":
        return "return false;"
    if t.endswith("&") or t in ("auto", "decltype(auto)") or t.startswith("template"):
        return None
    if t.endswith("*"):
        return "return nullptr;"
    if NUMERIC_TYPES.match(t):
        return "return 0;"
    return "return {};"


def function_signature(lines, masks, index):
    """(name, return type) when the line ending in "{" closes a function definition's header;
    the type is empty for a constructor or destructor."""
    code = code_only(lines[index], masks[index]).rstrip()
    if not code.endswith("{") or code.strip() == "{":
        return None
    # A header over several lines (parameters, a constructor's initialisers): go back to its start.
    header = code[:-1].strip()
    start = index
    while ((header.count("(") != header.count(")") or header.startswith((":", ",")))
           and start > 0 and index - start < 8):
        start -= 1
        header = code_only(lines[start], masks[start]).strip() + " " + header
    if header.count("(") != header.count(")") or header.startswith((":", ",")):
        return None
    if re.match(r"^(\}|" + "|".join(w for w in CONTROL_WORDS if w != "template") + r")\b", header):
        return None
    first = header.find("(")
    if first < 0:
        return None
    before = header[:first].rstrip()
    if "=" in before or "[" in before or ("," in before and "<" not in before):
        return None
    m = re.search(r"((?:[A-Za-z_]\w*::)*~?[A-Za-z_]\w*)$", before)
    if not m:
        return None
    name = m.group(1)
    ret = before[: m.start()].strip()
    ret = re.sub(r"^template\s*<.*?>\s*", "", ret)
    while SPECIFIERS.match(ret):
        ret = SPECIFIERS.sub("", ret, count=1)
    parts = name.split("::")
    if name.split("::")[-1] in CONTROL_WORDS:
        return None
    if not ret:
        # Only a constructor or destructor has no return type.
        if not (len(parts) >= 2 and parts[-1].lstrip("~") == parts[-2]):
            return None
    elif not re.match(r"^[A-Za-z_][\w:<>,*& ]*$", ret):
        return None
    close = matching_paren(header, first)
    after = header[close + 1:] if close >= 0 else ""
    if re.search(r"->|;|=", after.split(":")[0] if not ret else after):
        return None
    return name, ret


def is_lambda_open(code_before_brace):
    return bool(re.search(r"\]\s*(\([^()]*(\([^()]*\)[^()]*)*\))?\s*(mutable\s*)?(->\s*[\w:<>*& ]+)?\s*$",
                          code_before_brace))


def scan_file(rel, text):
    """Every candidate change in one file, in line order."""
    lines, masks = code_masks(text)
    candidates = []
    # Scopes opened by "{": ("func", name, type), ("lambda",) or ("block",).
    stack = []
    prev_code = ";"
    for idx, (line, mask) in enumerate(zip(lines, masks)):
        code = code_only(line, mask)
        funcs = [s for s in stack if s[0] == "func"]
        outer = funcs[0][1] if funcs else ""
        inner = stack_kind(stack)

        def add(op, col, mutated, note):
            candidates.append({"file": rel, "line": idx + 1, "col": col + 1, "op": op, "function": outer,
                               "original": line, "mutated": mutated, "change": note})

        stripped = code.strip()
        if stripped:
            # Comparisons, spaced as the formatter writes binary operators (templates are not).
            for m in re.finditer(r"(?<= )(<=|>=|==|!=|<|>)(?= )", code):
                new = CMP_SWAP[m.group(1)]
                add("cmp", m.start(), line[: m.start()] + new + line[m.end():], f"{m.group(1)} -> {new} (column {m.start() + 1})")
            for m in re.finditer(r"(?<= )(&&|\|\|)(?= )", code):
                new = "||" if m.group(1) == "&&" else "&&"
                add("logic", m.start(), line[: m.start()] + new + line[m.end():],
                    f"{m.group(1)} -> {new} (column {m.start() + 1})")
            for m in re.finditer(r"\bif \(", code):
                open_at = m.end() - 1
                close_at = matching_paren(code, open_at)
                if close_at < 0:
                    continue
                inside = code[open_at + 1: close_at]
                semis = top_level(inside, ";")
                cond_from = open_at + 1 + (semis[-1] + 1 if semis else 0)
                cond = line[cond_from:close_at]
                cond_code = code[cond_from:close_at]
                if not cond.strip() or re.search(r"(?<![=!<>])=(?!=)", cond_code):
                    continue
                lead = len(cond) - len(cond.lstrip())
                new = line[: cond_from + lead] + "!(" + cond.strip() + ")" + line[close_at:]
                add("negate", cond_from + lead, new, f"if ({cond.strip()}) -> if (!({cond.strip()}))")
            # A call statement on a line of its own (a chain of calls counts as one).
            body = re.sub(r"^Q_EMIT\s+", "", stripped)
            call = re.match(r"^([A-Za-z_]\w*(?:(?:::|\.|->)[A-Za-z_]\w*)*)\(", body)
            if (call and body.endswith(");") and balanced(body[:-1]) and statement_starts(prev_code)
                    and call.group(1) not in CONTROL_WORDS and not QUIET_CALLS.match(call.group(1))
                    and not top_level(body[:-1], "=?")):
                indent = line[: len(line) - len(line.lstrip())]
                add("drop", len(indent), indent + "{}", f"dropped `{line.strip()}`")
            # Integer constants.
            for m in re.finditer(r"(?<![\w.'])(\d+)([uUlL]*)(?![\w.'])", code):
                if m.group(1).startswith("0") and len(m.group(1)) > 1:
                    continue
                n = int(m.group(1))
                add("const", m.start(), line[: m.start()] + str(n + 1) + m.group(2) + line[m.end():],
                    f"{n} -> {n + 1} (column {m.start() + 1})")
            # Returns: true and false swapped; in a bool function the value negated.
            rm = re.match(r"^(\s*)return (.+);\s*$", code)
            if rm and line.rstrip().endswith(";"):
                value_start = len(rm.group(1)) + len("return ")
                value = line[value_start: line.rstrip().rfind(";")]
                if value.strip() in ("true", "false"):
                    new = "false" if value.strip() == "true" else "true"
                    add("ret", value_start, line[:value_start] + new + ";", f"return {value.strip()}; -> return {new};")
                elif inner == ("func", "bool") and balanced(code[value_start:]) and statement_starts(prev_code):
                    add("ret", value_start, line[:value_start] + "!(" + value + ");",
                        f"return {value}; -> return !({value});")
            # An early return of the default value at the start of a function body.
            sig = function_signature(lines, masks, idx)
            if sig and sig[1]:
                stmt = default_return(sig[1])
                if stmt:
                    # Functions that only return something give an equivalent change; the body
                    # must have a statement of its own before its closing brace.
                    nxt = next_code_line(lines, masks, idx)
                    if nxt is not None and code_only(lines[nxt], masks[nxt]).strip() not in ("}", stmt):
                        add("ret-early", len(line.rstrip()), line.rstrip() + " " + stmt,
                            f"{stmt} inserted at the start of {sig[0]}")
                        if not outer:
                            candidates[-1]["function"] = sig[0]

        # Track the scopes this line opens and closes.
        for pos, ch in enumerate(code):
            if ch == "{":
                if pos == len(code.rstrip()) - 1:
                    sig = function_signature(lines, masks, idx)
                    if sig:
                        stack.append(("func", sig[0], sig[1]))
                        continue
                stack.append(("lambda",) if is_lambda_open(code[:pos]) else ("block",))
            elif ch == "}":
                if stack:
                    stack.pop()
        if stripped:
            prev_code = stripped
    return candidates


def statement_starts(prev_code):
    """Whether a statement starts on the line after this code (and not a continuation)."""
    return prev_code[-1] in ";{}):" or re.search(r"\belse$", prev_code) is not None


def stack_kind(stack):
    """The innermost function or lambda around a line: ("func", return type) or ("lambda",)."""
    for s in reversed(stack):
        if s[0] == "func":
            return ("func", s[2])
        if s[0] == "lambda":
            return ("lambda",)
    return ("none",)


def next_code_line(lines, masks, idx):
    for j in range(idx + 1, len(lines)):
        if code_only(lines[j], masks[j]).strip():
            return j
    return None


def area_of(rel, function):
    for path_re, func_re, area in AREA_RULES:
        if re.search(path_re, rel) and (func_re is None or (function and re.search(func_re, function))):
            return area
    return "other"


def source_files():
    files = []
    for d in SOURCE_DIRS:
        files += [p for p in (ROOT / d).rglob("*.cpp")]
    return sorted(str(p.relative_to(ROOT)) for p in files)


def all_candidates():
    out = []
    for rel in source_files():
        text = (ROOT / rel).read_text(encoding="utf-8")
        for c in scan_file(rel, text):
            c["area"] = area_of(rel, c["function"])
            out.append(c)
    return out


def quotas(count):
    raw = {a: AREA_SHARES[a] * count for a in AREA_SHARES}
    q = {a: int(v) for a, v in raw.items()}
    for a in sorted(raw, key=lambda a: (-(raw[a] - q[a]), a))[: count - sum(q.values())]:
        q[a] += 1
    return q


def draw(count, seed):
    """A weighted sample without replacement, the same for the same sources and seed."""
    rng = random.Random(seed)
    by_area = defaultdict(list)
    for c in all_candidates():
        by_area[c["area"]].append(c)
    chosen = []
    for area, n in sorted(quotas(count).items()):
        pool = by_area.get(area, [])
        # Efraimidis-Spirakis: the n largest u^(1/w); one random number per candidate, in order.
        keyed = [(rng.random() ** (1.0 / OPERATOR_WEIGHTS[c["op"]]), i) for i, c in enumerate(pool)]
        keyed.sort(reverse=True)
        chosen += [pool[i] for _, i in keyed[:n]]
    chosen.sort(key=lambda c: (c["file"], c["line"], c["col"], c["op"]))
    for i, c in enumerate(chosen, 1):
        c["id"] = i
    return chosen


def write_sample(mutants, seed):
    doc = {"seed": seed, "count": len(mutants), "area_shares": AREA_SHARES, "operator_weights": OPERATOR_WEIGHTS,
           "mutants": mutants}
    # One change a line, so a diff of the file shows which changes moved.
    body = json.dumps({k: v for k, v in doc.items() if k != "mutants"}, ensure_ascii=False)[:-1]
    rows = ",\n".join("  " + json.dumps({k: m[k] for k in ("id", "area", "file", "line", "col", "op", "function",
                                                             "change", "original", "mutated")},
                                        ensure_ascii=False) for m in mutants)
    SAMPLE_FILE.write_text(body + ', "mutants": [\n' + rows + "\n]}\n", encoding="utf-8")


def load_sample():
    doc = json.loads(SAMPLE_FILE.read_text(encoding="utf-8"))
    return doc["mutants"], doc.get("seed")


def locate(m, cache):
    """The current line number of a change's line, or None when the line is gone (stale).
    A line that moved but is still there once, unchanged, is followed."""
    if m["file"] not in cache:
        path = ROOT / m["file"]
        cache[m["file"]] = path.read_text(encoding="utf-8").split("\n") if path.exists() else []
    lines = cache[m["file"]]
    if 0 < m["line"] <= len(lines) and lines[m["line"] - 1] == m["original"]:
        return m["line"]
    hits = [i + 1 for i, l in enumerate(lines) if l == m["original"]]
    return hits[0] if len(hits) == 1 else None


# ---------------------------------------------------------------------------------------------
# Building and running


class Runner:
    def __init__(self, args):
        self.args = args
        self.build = (ROOT / args.build_dir).resolve()
        self.logs = self.build / "mutation-logs"
        self.guard = self.build / "mutation-inflight.json"
        self.pg_dir = None
        self.env = dict(os.environ)
        self.tests = {}  # name -> {"command": [...], "env": {...}, "cwd": str}
        self.sources_of = {}  # test name -> set of source paths relative to ROOT
        self.base_time = {}
        self.excluded = {}
        self.running = []
        self.chosen = {}  # change id -> (programs to run, whether any test runs its line)
        self.failed_cases = {}  # program -> its failing cases, for the change being run
        # A server the caller gave is used as it is; otherwise the script starts its own.
        self.external_pg = os.environ.get("ZPP_TEST_PG_URL") if args.pg != "none" else None

    def log(self, *a):
        print(*a, flush=True)

    # -- set-up --------------------------------------------------------------------------------
    def recover(self):
        """Puts back a source file a killed earlier run left changed."""
        if self.guard.exists():
            g = json.loads(self.guard.read_text(encoding="utf-8"))
            (ROOT / g["file"]).write_bytes(bytes.fromhex(g["original_hex"]))
            self.guard.unlink()
            self.log(f"restored {g['file']}, left changed by an interrupted run")

    def configure(self):
        if not (self.build / "build.ninja").exists():
            self.log(f"configuring {self.build} (the default preset's options)")
            subprocess.run(["cmake", "--preset", "default", "-B", str(self.build)], cwd=ROOT, check=True,
                           stdout=subprocess.DEVNULL)
        def listed():
            return json.loads(subprocess.run(["ctest", "--show-only=json-v1"], cwd=self.build, check=True,
                                             capture_output=True, text=True).stdout)["tests"]
        tests = listed()
        if any("command" not in t for t in tests):
            # ctest names a program's command only once the program is built.
            self.log(f"building {self.build} once (the changes then rebuild only what they touch)")
            subprocess.run(["cmake", "--build", str(self.build), "-j2"], cwd=ROOT, check=True,
                           stdout=subprocess.DEVNULL)
            tests = listed()
        for t in tests:
            env, cwd, labels = {}, str(self.build), []
            for p in t.get("properties", []):
                if p["name"] == "ENVIRONMENT":
                    for kv in p["value"]:
                        k, _, v = kv.partition("=")
                        env[k] = v
                elif p["name"] == "WORKING_DIRECTORY":
                    cwd = p["value"]
                elif p["name"] == "LABELS":
                    labels = p["value"]
            self.tests[t["name"]] = {"command": t["command"], "env": env, "cwd": cwd, "labels": labels}

    def map_sources(self):
        """Which sources each test program is built from, read from the build graph: every
        library is static, so a test program runs exactly the sources its commands compile
        (including the program and worker it starts, which are its dependencies)."""
        for name, test in self.tests.items():
            # A test names its program by path; a second test of the same program (a run with other
            # settings) or a script is no build target of its own name.
            program = Path(test["command"][0]).name
            r = subprocess.run(["ninja", "-C", str(self.build), "-t", "commands", program], capture_output=True,
                               text=True)
            if r.returncode != 0:
                self.sources_of[name] = set()
                continue
            out = r.stdout
            srcs = set()
            for m in re.finditer(r" -c (\S+\.cpp)\b", out):
                p = Path(m.group(1))
                if not p.is_absolute():
                    p = (self.build / p).resolve()
                try:
                    srcs.add(str(p.relative_to(ROOT)))
                except ValueError:
                    pass
            self.sources_of[name] = srcs

    def tests_for(self, rel):
        return sorted(t for t, s in self.sources_of.items() if rel in s)

    def start_pg(self):
        if self.args.pg == "none":
            self.env.pop("ZPP_TEST_PG_URL", None)
            return
        if self.external_pg:
            self.log(f"PostgreSQL: using ZPP_TEST_PG_URL={self.external_pg}")
            return
        # The same throw-away server scripts/test-server-env.sh starts for scripts/test.sh.
        for attempt in range(3):
            self.pg_dir = tempfile.mkdtemp(prefix="zpp-pg.")
            port = random.SystemRandom().randint(20000, 39999)
            r = subprocess.run([str(ROOT / "scripts/pg-test-server.sh"), "start", self.pg_dir, str(port)],
                               capture_output=True, text=True)
            if r.returncode == 0:
                self.env["ZPP_TEST_PG_URL"] = f"postgresql://zpp@127.0.0.1:{port}/postgres"
                return
            self.stop_pg()
        raise SystemExit("could not start the PostgreSQL test server:\n" + r.stderr)

    def stop_pg(self):
        if self.pg_dir:
            subprocess.run([str(ROOT / "scripts/pg-test-server.sh"), "stop", self.pg_dir], capture_output=True)
            shutil.rmtree(self.pg_dir, ignore_errors=True)
            self.pg_dir = None

    def clean_pg(self, keep=0):
        """Starts a new server once the test programs' databases are more than keep: nothing
        drops them, and a run would fill the disk. Dropping them one by one would cost a
        checkpoint each (about 100 s for 60 of them); a new server costs a few seconds."""
        url = self.env.get("ZPP_TEST_PG_URL")
        if not url or not self.pg_dir:
            return
        m = re.match(r"postgresql://([^@]+)@([^:/]+):(\d+)/(\w+)", url)
        psql = ["psql", "-h", m.group(2), "-p", m.group(3), "-U", m.group(1), "-d", m.group(4), "-qAtX", "-c",
                "SELECT count(*) FROM pg_database WHERE datname LIKE 'zpp\\_%'"]
        try:
            count = int(subprocess.run(psql, capture_output=True, text=True, timeout=60).stdout.strip())
        except (ValueError, subprocess.TimeoutExpired):
            count = keep + 1  # a server in trouble is replaced too
        if count > keep:
            self.stop_pg()
            self.start_pg()

    # -- build ---------------------------------------------------------------------------------
    def start_ninja(self, targets, log_name, jobs, tree=None):
        # Tests are named apart from the programs they run (test_security_upgraded runs
        # test_security); a script is built by nothing.
        programs = set()
        for t in targets:
            command = self.tests.get(t, {}).get("command")
            if not command:
                programs.add(t)
            elif Path(command[0]).resolve().is_relative_to(self.build):
                programs.add(Path(command[0]).name)
        targets = sorted(programs)
        self.logs.mkdir(parents=True, exist_ok=True)
        out = open(self.logs / log_name, "a")
        p = subprocess.Popen(["ninja", "-C", str(tree or self.build), f"-j{jobs}", *targets], stdout=out,
                             stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, start_new_session=True)
        p.log_file = out
        p.started = time.monotonic()
        self.running.append(p)
        return p

    def finish_ninja(self, p):
        p.log_file.close()
        if p in self.running:
            self.running.remove(p)

    def ninja(self, targets, log_name):
        p = self.start_ninja(targets, log_name, self.args.jobs)
        try:
            return p.wait(timeout=self.args.build_timeout) == 0
        except subprocess.TimeoutExpired:
            self.kill(p)
            return False
        finally:
            self.finish_ninja(p)

    def exe_time(self, name):
        try:
            return os.stat(self.tests[name]["command"][0]).st_mtime_ns
        except OSError:
            return None

    # -- tests ---------------------------------------------------------------------------------
    def kill(self, p):
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            p.wait(timeout=30)
        except subprocess.TimeoutExpired:
            pass

    def start_test(self, name, tag, stop_at_failure, tree=None):
        t = self.tests[name]
        command, cwd = t["command"], t["cwd"]
        if tree is not None:
            # The same program in another build tree.
            command = [str(tree / Path(command[0]).relative_to(self.build))] + command[1:]
            cwd = str(tree / Path(cwd).relative_to(self.build)) if Path(cwd).is_relative_to(self.build) else cwd
        env = dict(self.env)
        env.update(t["env"])
        env["QT_QPA_PLATFORM"] = "offscreen"
        if self.args.pg == "most" and "reliability" in t["labels"]:
            # Without the URL the PostgreSQL cases skip themselves; see --pg.
            env.pop("ZPP_TEST_PG_URL", None)
        if stop_at_failure:
            # The first failing case decides; the rest of the program would only cost time.
            env["GTEST_FAIL_FAST"] = "1"
        path = self.logs / f"{tag}-{name}.log"
        f = open(path, "w")
        p = subprocess.Popen(command, cwd=cwd, env=env, stdout=f, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, start_new_session=True)
        p.log_file, p.log_path, p.started, p.name = f, path, time.monotonic(), name
        self.running.append(p)
        return p

    def end_test(self, p, status):
        # Whatever the program left behind in its group (a worker, the program it drove) goes too.
        try:
            os.killpg(p.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        p.wait()
        p.log_file.close()
        if p in self.running:
            self.running.remove(p)
        why = ""
        if status in ("fail", "timeout"):
            self.failed_cases[p.name] = all_failures(p.log_path) or [status]
        if status == "fail":
            why = first_failure(p.log_path)
            if not why and p.returncode < 0:
                why = f"crashed ({signal.Signals(-p.returncode).name})"
        return status, time.monotonic() - p.started, why

    def poll_test(self, p, limit, stop):
        """The program's end state, or None while it runs on."""
        rc = p.poll()
        if rc is not None:
            return "pass" if rc == 0 else "fail"
        if time.monotonic() - p.started > limit:
            self.kill(p)
            return "timeout"
        if stop:
            self.kill(p)
            return "stopped"
        return None

    def run_tests(self, names, tag, limits, stop_at_failure):
        """Runs built programs, at most --jobs at once, the quickest first. Returns
        {name: ("pass" | "fail" | "timeout" | "stopped", seconds, first failing case)}."""
        results = {}
        queue = sorted(names, key=lambda n: (self.base_time.get(n, 0), n))
        active = []
        failed = False
        try:
            while queue or active:
                while queue and len(active) < self.args.jobs and not failed:
                    active.append(self.start_test(queue.pop(0), tag, stop_at_failure))
                if failed and not active:
                    break
                time.sleep(0.05)
                for p in list(active):
                    status = self.poll_test(p, limits.get(p.name, 1e9), failed)
                    if status:
                        active.remove(p)
                        results[p.name] = self.end_test(p, status)
                        if status in ("fail", "timeout") and stop_at_failure:
                            failed = True
        finally:
            for p in active:
                self.kill(p)
                self.end_test(p, "stopped")
        return results

    def run_changed(self, names, tag):
        """Builds and runs the programs of one change, the quickest first, each linked just
        before it runs: most changes are killed by the first programs, and the others then need
        no linking. The build counts as one of the --jobs things running at once.
        Returns (built, results, build seconds)."""
        limits = self.limits()
        to_build = sorted(names, key=lambda n: (self.base_time.get(n, 0), n))
        ready, active, results = [], [], {}
        builder, build_secs, first, built, failed = None, 0.0, True, True, False
        try:
            while True:
                if builder is not None and builder.poll() is not None:
                    build_secs += time.monotonic() - builder.started
                    self.finish_ninja(builder)
                    target = builder.target
                    if builder.returncode != 0:
                        if "No space left on device" in (self.logs / f"{tag}-build.log").read_text(errors="replace"):
                            raise SystemExit("the disk is full: the build cannot tell a bad change from no space")
                        built = False
                        failed = True
                    else:
                        if self.exe_time(target) == builder.before:
                            self.log(f"  warning: {target} was not relinked after the change")
                        ready.append(target)
                    builder, first = None, False
                elif builder is not None and time.monotonic() - builder.started > self.args.build_timeout:
                    self.kill(builder)
                    continue
                for p in list(active):
                    status = self.poll_test(p, limits.get(p.name, 1e9), failed)
                    if status:
                        active.remove(p)
                        results[p.name] = self.end_test(p, status)
                        if status in ("fail", "timeout") and not self.args.matrix:
                            failed = True
                if failed:
                    if not active and builder is None:
                        break
                    time.sleep(0.05)
                    continue
                while ready and len(active) + (builder is not None) < self.args.jobs:
                    active.append(self.start_test(ready.pop(0), tag, not self.args.matrix))
                if builder is None and to_build and len(active) < self.args.jobs:
                    target = to_build.pop(0)
                    before = self.exe_time(target)
                    builder = self.start_ninja([target], f"{tag}-build.log",
                                               self.args.jobs - len(active) if first else 1)
                    builder.target, builder.before = target, before
                if not (to_build or ready or active or builder):
                    break
                time.sleep(0.05)
        finally:
            for p in active:
                self.kill(p)
                self.end_test(p, "stopped")
            if builder is not None:
                builder.wait()
                self.finish_ninja(builder)
        return built, results, build_secs

    def baseline(self, names):
        self.log(f"baseline: building {len(names)} test programs unchanged")
        t0 = time.monotonic()
        if not self.ninja(names, "baseline-build.log"):
            raise SystemExit(f"the unchanged build fails: see {self.logs / 'baseline-build.log'}")
        self.log(f"baseline: built in {time.monotonic() - t0:.0f} s; running them")
        t0 = time.monotonic()
        res = self.run_tests(names, "baseline", {n: self.args.baseline_timeout for n in names}, False)
        for n in sorted(res):
            status, secs, why = res[n]
            self.base_time[n] = secs
            if status != "pass":
                self.excluded[n] = f"{status} unchanged" + (f": {why}" if why else "")
            self.log(f"  {n:28s} {status:8s} {secs:7.1f} s")
        for n, why in sorted(self.excluded.items()):
            self.log(f"EXCLUDED {n}: {why}; its results do not count")
        self.log(f"baseline: tests ran in {time.monotonic() - t0:.0f} s")
        self.clean_pg()

    def limits(self):
        return {n: self.base_time[n] * self.args.timeout_factor + self.args.timeout_slack for n in self.base_time}

    # -- one change ----------------------------------------------------------------------------
    def try_mutant(self, m, line_no):
        path = ROOT / m["file"]
        original = path.read_bytes()
        lines = original.decode("utf-8").split("\n")
        assert lines[line_no - 1] == m["original"]
        lines[line_no - 1] = m["mutated"]
        tests, reached = self.chosen[m["id"]]
        tests = [t for t in tests if t not in self.excluded]
        if not reached:
            # Every program that links the file was watched unchanged: none runs this line.
            return {"status": "survived", "tests": [], "reached": False, "build_s": 0, "test_s": 0}
        if not tests:
            return {"status": "no-test", "tests": []}
        self.guard.write_text(json.dumps({"file": m["file"], "original_hex": original.hex()}), encoding="utf-8")
        t0 = time.monotonic()
        self.failed_cases = {}
        try:
            path.write_bytes("\n".join(lines).encode("utf-8"))
            built, res, build_secs = self.run_changed(tests, f"m{m['id']:03d}")
        finally:
            path.write_bytes(original)
            self.guard.unlink()
        self.clean_pg(keep=80)
        out = {"tests": tests, "build_s": round(build_secs, 1), "test_s": round(time.monotonic() - t0 - build_secs, 1)}
        killers = [(n, r) for n, r in sorted(res.items()) if r[0] in ("fail", "timeout")]
        if killers:
            n, r = killers[0]
            out.update(status="killed", by=n, how=r[0], case=r[2])
            if self.args.matrix:
                out["cases"] = {n: self.failed_cases.get(n, []) for n, _ in killers}
        elif not built:
            out["status"] = "did-not-build"
        else:
            out["status"] = "survived"
            # Every program must have run to the end for a survivor.
            assert all(res.get(t, ("",))[0] == "pass" for t in tests), res
        return out

    def shutdown(self):
        for p in list(self.running):
            self.kill(p)
        self.stop_pg()


class Coverage:
    """Which test programs run each line, from a build with gcov counters (build-coverage/,
    -O0 so that every line keeps its own code). A program that never runs a line cannot see a
    change to it, so a change runs only the programs that link its file and run its line; a
    line no program runs is a survivor without a build. Lines without code of their own (parts
    of declarations, constants the compiler folds) and files changed since the counters were
    taken fall back to every program that links the file."""

    def __init__(self, runner, args):
        self.runner = runner
        self.args = args
        self.dir = (ROOT / args.coverage_dir).resolve()
        self.map_path = self.dir / "coverage-map.json"
        self.data = None

    def load(self):
        if self.map_path.exists():
            self.data = json.loads(self.map_path.read_text(encoding="utf-8"))

    def usable(self, files, programs):
        d = self.data
        # Changed tests run other lines: the counters are taken again.
        return (d is not None and d.get("pg") == self.args.pg and set(programs) <= set(d.get("programs", []))
                and d.get("tests") == tests_hash() and all(d["hashes"].get(f) == file_hash(f) for f in files))

    def prepare(self, files, programs):
        self.load()
        if self.usable(files, programs):
            self.runner.log(f"coverage: {self.map_path.relative_to(ROOT)} matches the sources")
            return
        r = self.runner
        t0 = time.monotonic()
        if not (self.dir / "build.ninja").exists():
            r.log(f"coverage: configuring {self.dir.relative_to(ROOT)} (-O0 --coverage)")
            subprocess.run(["cmake", "-S", str(ROOT), "-B", str(self.dir), "-G", "Ninja",
                            "-DCMAKE_BUILD_TYPE=Coverage", "-DCMAKE_CXX_FLAGS=-O0 --coverage",
                            "-DCMAKE_EXE_LINKER_FLAGS=--coverage"], check=True, stdout=subprocess.DEVNULL)
        r.log(f"coverage: building {len(programs)} test programs with counters (the first time takes long)")
        hashes = {f: file_hash(f) for f in source_files()}
        p = r.start_ninja(programs, "coverage-build.log", self.args.jobs, tree=self.dir)
        if p.wait() != 0:
            r.finish_ninja(p)
            raise SystemExit(f"the coverage build fails: see {r.logs / 'coverage-build.log'}")
        r.finish_ninja(p)
        r.log(f"coverage: built in {time.monotonic() - t0:.0f} s; running each program alone")
        executable, covered, partial = defaultdict(set), defaultdict(lambda: defaultdict(set)), []
        for name in sorted(programs):
            for g in self.dir.rglob("*.gcda"):
                g.unlink()
            t1 = time.monotonic()
            proc = r.start_test(name, "coverage", False, tree=self.dir)
            try:
                proc.wait(timeout=self.args.baseline_timeout * 3)
            except subprocess.TimeoutExpired:
                r.kill(proc)
            status = r.end_test(proc, "pass" if proc.returncode == 0 else "fail")
            if proc.returncode is None or proc.returncode < 0:
                # Killed: its counters are lost, so it counts as running every line it links.
                partial.append(name)
            lines = self.read_counts()
            for f, counts in lines.items():
                for n, c in counts.items():
                    executable[f].add(n)
                    if c:
                        covered[f][n].add(name)
            r.log(f"  {name:28s} {status[0]:8s} {time.monotonic() - t1:7.1f} s")
        r.clean_pg()
        self.data = {"pg": self.args.pg, "programs": sorted(programs), "hashes": hashes, "tests": tests_hash(),
                     "partial": partial,
                     "executable": {f: sorted(v) for f, v in sorted(executable.items())},
                     "covered": {f: {str(n): sorted(ps) for n, ps in sorted(v.items())}
                                 for f, v in sorted(covered.items())}}
        self.map_path.write_text(json.dumps(self.data), encoding="utf-8")
        r.log(f"coverage: ready in {time.monotonic() - t0:.0f} s")

    def read_counts(self):
        """{source: {line: count}} of the counters the last program left, for the sources under
        component/, services/ and platform/."""
        gcdas = sorted(str(g) for g in self.dir.rglob("*.gcda")
                       if not any(part in ("tests", "bench") for part in g.relative_to(self.dir).parts[:1]))
        out = defaultdict(lambda: defaultdict(int))
        with tempfile.TemporaryDirectory() as tmp:
            for i in range(0, len(gcdas), 40):
                res = subprocess.run(["gcov", "--json-format", "--stdout", *gcdas[i:i + 40]], cwd=tmp,
                                     capture_output=True, text=True)
                for doc in res.stdout.splitlines():
                    if not doc.startswith("{"):
                        continue
                    d = json.loads(doc)
                    for f in d.get("files", []):
                        path = Path(f["file"])
                        if not path.is_absolute():
                            path = Path(d.get("current_working_directory", ".")) / path
                        try:
                            rel = str(path.resolve().relative_to(ROOT))
                        except ValueError:
                            continue
                        if not rel.endswith(".cpp") or rel.split("/")[0] not in SOURCE_DIRS:
                            continue
                        for ln in f.get("lines", []):
                            out[rel][ln["line_number"]] += ln["count"]
        return out

    def choose(self, m, line_no, linked):
        """(programs, reached) for a change."""
        d = self.data
        if d is None or d["hashes"].get(m["file"]) != file_hash(m["file"]):
            return linked, True
        if line_no not in set(d["executable"].get(m["file"], [])):
            return linked, True
        runs = set(d["covered"].get(m["file"], {}).get(str(line_no), [])) | set(d["partial"])
        chosen = [t for t in linked if t in runs]
        return chosen, bool(chosen)


_hashes = {}


def tests_hash():
    h = hashlib.sha1()
    for p in sorted((ROOT / "tests").rglob("*")):
        if p.is_file():
            h.update(str(p.relative_to(ROOT)).encode() + b"\0" + p.read_bytes())
    return h.hexdigest()


def file_hash(rel):
    if rel not in _hashes:
        _hashes[rel] = hashlib.sha1((ROOT / rel).read_bytes()).hexdigest()
    return _hashes[rel]


def all_failures(path):
    """Every failing case of a GoogleTest log; for a crash, the case that was running."""
    failed, running = [], None
    try:
        for line in open(path, errors="replace"):
            if line.startswith("[ RUN      ]"):
                running = line[12:].strip()
            elif line.startswith("[       OK ]"):
                running = None
            elif line.startswith("[  FAILED  ]") and " (" in line:
                name = line[12:].strip().split(" (")[0].split(",")[0]
                if name not in failed:
                    failed.append(name)
                running = None
    except OSError:
        pass
    if running and running not in failed:
        failed.append(running)
    return failed


def matrix_report(mutants, results, path):
    """Which cases kill which changes: the cases that alone kill some change cannot go without
    a replacement; a case that kills nothing of the sample is where cutting starts."""
    kills = defaultdict(set)
    for mid, r in results.items():
        for program, cases in r.get("cases", {}).items():
            for c in cases:
                kills[f"{program}: {c}"].add(int(mid))
    killers_of = defaultdict(set)
    for case, ids in kills.items():
        for i in ids:
            killers_of[i].add(case)
    sole = {case: sorted(i for i in ids if len(killers_of[i]) == 1) for case, ids in kills.items()}
    out = ["# Kill matrix", "", f"{len(killers_of)} killed changes; {len(kills)} cases kill at least one.", "",
           "| case | changes it kills | of them, alone |", "|---|---|---|"]
    for case in sorted(kills, key=lambda c: (-len(sole[c]), -len(kills[c]), c)):
        out.append(f"| {case} | {', '.join(f'#{i}' for i in sorted(kills[case]))} | "
                   f"{', '.join(f'#{i}' for i in sole[case])} |")
    path.write_text("\n".join(out) + "\n", encoding="utf-8")
    (path.with_suffix(".json")).write_text(json.dumps({c: sorted(v) for c, v in sorted(kills.items())}, indent=1),
                                          encoding="utf-8")


def first_failure(path):
    try:
        for line in open(path, errors="replace"):
            if line.startswith("[  FAILED  ]"):
                return line[12:].strip().split(" (")[0]
    except OSError:
        pass
    return ""


def parse_ids(spec):
    ids = set()
    for part in spec.split(","):
        if "-" in part:
            a, b = part.split("-")
            ids.update(range(int(a), int(b) + 1))
        elif part.strip():
            ids.add(int(part))
    return ids


def show(m):
    return f"{m['file']}:{m['line']}"


def report(mutants, results, stale, runner, args, started, finished, total_secs):
    counts = Counter(r["status"] for r in results.values())
    killed, survived = counts["killed"], counts["survived"]
    score = 100.0 * killed / (killed + survived) if killed + survived else 0.0
    out = []
    out.append(f"# Mutation run {finished:%Y-%m-%d %H:%M}")
    out.append("")
    out.append(f"Sample: {SAMPLE_FILE.relative_to(ROOT)} ({len(mutants)} changes in it, {len(results) + len(stale)} "
               f"taken); PostgreSQL cases: {PG_MODES[args.pg]}; time: {total_secs / 60:.1f} min "
               f"(started {started:%H:%M}).")
    out.append("")
    out.append("| result | changes |")
    out.append("|---|---:|")
    for k in ("killed", "survived", "did-not-build", "stale", "no-test"):
        n = len(stale) if k == "stale" else counts[k]
        if n or k in ("killed", "survived", "did-not-build", "stale"):
            out.append(f"| {k} | {n} |")
    out.append(f"| **score** killed / (killed + survived) | **{score:.1f} %** ({killed}/{killed + survived}) |")
    out.append("")
    unreached = sum(1 for r in results.values() if r["status"] == "survived" and not r.get("reached", True))
    out.append(f"Programs run per change: {'every program that links the file' if args.no_coverage else 'those that link the file and run the line (gcov counters of ' + args.coverage_dir + '/)'}; "
               f"{unreached} of the survivors are on lines no test runs.")
    out.append("")
    timeouts = sum(1 for r in results.values() if r.get("how") == "timeout")
    if timeouts:
        out.append(f"{timeouts} of the killed changes were killed by a time limit.")
        out.append("")
    out.append("| area | killed | survived | did not build | score |")
    out.append("|---|---:|---:|---:|---:|")
    by_area = defaultdict(Counter)
    for m in mutants:
        if m["id"] in results:
            by_area[m["area"]][results[m["id"]]["status"]] += 1
    for area in list(AREA_SHARES):
        c = by_area.get(area)
        if not c:
            continue
        k, s = c["killed"], c["survived"]
        out.append(f"| {area} | {k} | {s} | {c['did-not-build']} | {(100.0 * k / (k + s)) if k + s else 0:.0f} % |")
    out.append("")
    if runner.excluded:
        out.append("Test programs that failed unchanged and were left out:")
        for n, why in sorted(runner.excluded.items()):
            out.append(f"- {n}: {why}")
        out.append("")
    out.append("## Survivors")
    out.append("")
    for area in list(AREA_SHARES):
        rows = [m for m in mutants if m["id"] in results and results[m["id"]]["status"] == "survived"
                and m["area"] == area]
        if not rows:
            continue
        out.append(f"### {area}")
        out.append("")
        for m in rows:
            r = results[m["id"]]
            fn = f" in `{m['function']}`" if m["function"] else ""
            out.append(f"- #{m['id']} `{m['file']}:{r['line']}`{fn}, {m['op']}: {m['change']}  ")
            out.append(f"  `{m['original'].strip()}` → `{m['mutated'].strip()}`  ")
            out.append(f"  tests run: {', '.join(r['tests'])}" if r.get("reached", True)
                       else "  no test runs this line")
        out.append("")
    if stale:
        out.append("## Stale (the line changed since the sample was drawn)")
        out.append("")
        for m in stale:
            out.append(f"- #{m['id']} `{show(m)}`: `{m['original'].strip()}`")
        out.append("")
    dnb = [m for m in mutants if m["id"] in results and results[m["id"]]["status"] == "did-not-build"]
    if dnb:
        out.append("## Did not build (not in the score)")
        out.append("")
        for m in dnb:
            out.append(f"- #{m['id']} `{show(m)}` {m['op']}: `{m['mutated'].strip()}`")
        out.append("")
    return "\n".join(out), score


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--redraw", action="store_true", help="draw a new sample into scripts/mutants.json")
    ap.add_argument("--seed", type=int, default=DEFAULT_SEED, help="seed of a new sample")
    ap.add_argument("--count", type=int, default=DEFAULT_COUNT, help="size of a new sample")
    ap.add_argument("--list", action="store_true", help="print the sample and exit")
    ap.add_argument("--candidates", action="store_true", help="print how many changes each area offers and exit")
    ap.add_argument("--only", type=int, help="run only the first N changes of the sample")
    ap.add_argument("--ids", help="run only these changes, e.g. 3,10-12")
    ap.add_argument("--area", help="run only the changes of this area")
    ap.add_argument("--jobs", type=int, default=2, help="ninja jobs and test programs at once (default 2)")
    ap.add_argument("--timeout-factor", type=float, default=3.0,
                    help="a test program's time limit is its unchanged time times this ... (default 3)")
    ap.add_argument("--timeout-slack", type=float, default=10.0, help="... plus these seconds (default 10)")
    ap.add_argument("--baseline-timeout", type=float, default=600.0, help="time limit of an unchanged program")
    ap.add_argument("--build-timeout", type=float, default=900.0, help="time limit of one rebuild")
    ap.add_argument("--pg", choices=("all", "most", "none"), default="most",
                    help="PostgreSQL cases: in every program (all, about 1.5 h), in every program but the "
                         "reliability suite's two, which run their SQLite cases (most, the default, about 1 h), "
                         "or none (no server; the cases skip themselves)")
    ap.add_argument("--no-pg", dest="pg", action="store_const", const="none", help="the same as --pg none")
    ap.add_argument("--build-dir", default="build-mutate", help="build directory inside the worktree")
    ap.add_argument("--coverage-dir", default="build-coverage",
                    help="build directory with gcov counters that tells which programs run which line")
    ap.add_argument("--no-coverage", action="store_true",
                    help="run every program that links the changed file, whether it runs the line or not")
    ap.add_argument("--report", help="Markdown report (default BUILD_DIR/mutation-report.md)")
    ap.add_argument("--matrix", action="store_true",
                    help="run every chosen program to its end for each change and write which cases "
                         "kill which changes (BUILD_DIR/kill-matrix.md and .json); slower")
    args = ap.parse_args()

    if args.candidates:
        cands = all_candidates()
        table = defaultdict(Counter)
        for c in cands:
            table[c["area"]][c["op"]] += 1
        ops = list(OPERATOR_WEIGHTS)
        print(f"{'area':8s} " + " ".join(f"{o:>9s}" for o in ops) + f" {'total':>7s}  sample")
        q = quotas(args.count)
        for area in AREA_SHARES:
            print(f"{area:8s} " + " ".join(f"{table[area][o]:9d}" for o in ops) +
                  f" {sum(table[area].values()):7d}  {q[area]:6d}")
        return 0

    if args.redraw or not SAMPLE_FILE.exists():
        mutants = draw(args.count, args.seed)
        write_sample(mutants, args.seed)
        print(f"drew {len(mutants)} changes with seed {args.seed} into {SAMPLE_FILE.relative_to(ROOT)}")
    mutants, seed = load_sample()

    selected = mutants
    if args.ids:
        wanted = parse_ids(args.ids)
        selected = [m for m in selected if m["id"] in wanted]
    if args.area:
        selected = [m for m in selected if m["area"] == args.area]
    if args.only is not None:
        selected = selected[: args.only]

    cache = {}
    located = {m["id"]: locate(m, cache) for m in selected}
    if args.list:
        for m in selected:
            where = located[m["id"]]
            state = "" if where == m["line"] else (" STALE" if where is None else f" (now line {where})")
            print(f"#{m['id']:3d} {m['area']:6s} {m['op']:9s} {show(m)}{state}: {m['change']}")
        return 0

    # Lowest priority, whoever started it: other work on the machine comes first.
    try:
        os.nice(19 - os.nice(0))
    except OSError:
        pass

    runner = Runner(args)
    started_wall = datetime.datetime.now()
    t_start = time.monotonic()

    def on_signal(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)

    results, stale = {}, []
    exit_code = 0
    try:
        runner.build.mkdir(parents=True, exist_ok=True)
        runner.recover()
        runner.configure()
        if runner.logs.exists():
            shutil.rmtree(runner.logs)
        runner.logs.mkdir(parents=True)
        runner.map_sources()
        stale = [m for m in selected if located[m["id"]] is None]
        live = [m for m in selected if located[m["id"]] is not None]
        linked = sorted({t for m in live for t in runner.tests_for(m["file"])})
        runner.start_pg()
        if runner.pg_dir:
            runner.log(f"PostgreSQL: a throw-away server at {runner.env['ZPP_TEST_PG_URL']} ({PG_MODES[args.pg]})")
        coverage = None
        if not args.no_coverage:
            coverage = Coverage(runner, args)
            coverage.prepare(sorted({m["file"] for m in live}), linked)
        for m in live:
            tests = runner.tests_for(m["file"])
            runner.chosen[m["id"]] = coverage.choose(m, located[m["id"]], tests) if coverage else (tests, True)
        affected = sorted({t for m in live for t in runner.chosen[m["id"]][0]})
        unreached = sum(1 for m in live if not runner.chosen[m["id"]][1])
        runner.log(f"{len(live)} changes; {unreached} on lines no test runs; the others run "
                   f"{sum(len(runner.chosen[m['id']][0]) for m in live) / max(1, len(live) - unreached):.1f} "
                   f"programs on average (linking: "
                   f"{sum(len(runner.tests_for(m['file'])) for m in live) / max(1, len(live)):.1f})")
        runner.baseline(affected)
        # In file order, so a file is compiled once per change and not once more to restore it.
        live.sort(key=lambda m: (m["file"], located[m["id"]], m["col"], m["id"]))
        for i, m in enumerate(live, 1):
            line_no = located[m["id"]]
            t0 = time.monotonic()
            r = runner.try_mutant(m, line_no)
            r["line"] = line_no
            r["secs"] = round(time.monotonic() - t0, 1)
            results[m["id"]] = r
            what = r["status"]
            if what == "killed":
                what += f" by {r['by']}" + (" (time limit)" if r["how"] == "timeout" else "") + \
                        (f": {r['case']}" if r.get("case") else "")
            elapsed = (time.monotonic() - t_start) / 60
            runner.log(f"[{i}/{len(live)} {elapsed:5.1f} min] #{m['id']} {m['area']} {m['file']}:{line_no} "
                       f"{m['op']} ({m['change']}): {what} [{r['secs']:.0f} s]")
        # Leave the build matching the sources again.
        runner.log("rebuilding the unchanged sources")
        runner.ninja(affected, "final-build.log")
    except KeyboardInterrupt:
        runner.log("interrupted: the source file is restored")
        exit_code = 130
    except SystemExit as e:
        runner.log(f"stopped: {e}")
        exit_code = 1
    finally:
        runner.shutdown()
        if runner.guard.exists():
            runner.recover()
        status = subprocess.run(["git", "status", "--porcelain", "--", *SOURCE_DIRS], cwd=ROOT, capture_output=True,
                                text=True).stdout
        if status.strip():
            print("WARNING: the source tree is not clean:\n" + status, file=sys.stderr)
            exit_code = exit_code or 2
        else:
            print("source tree clean (git status)")

    total = time.monotonic() - t_start
    text, score = report(mutants if not (args.ids or args.area or args.only) else selected, results, stale,
                         runner, args, started_wall, datetime.datetime.now(), total)
    report_path = Path(args.report) if args.report else runner.build / "mutation-report.md"
    report_path.write_text(text + "\n", encoding="utf-8")
    (runner.build / "mutation-results.json").write_text(
        json.dumps({"seed": seed, "pg": args.pg, "coverage": not args.no_coverage, "seconds": round(total), "score": round(score, 2),
                    "excluded": runner.excluded, "baseline_seconds": runner.base_time,
                    "stale": [m["id"] for m in stale],
                    "results": {str(k): v for k, v in sorted(results.items())}}, indent=1, ensure_ascii=False),
        encoding="utf-8")
    if args.matrix:
        matrix_report(mutants, results, runner.build / "kill-matrix.md")
        print(f"kill matrix: {runner.build / 'kill-matrix.md'}")
    print()
    print(text)
    print()
    print(f"report: {report_path}")
    print(f"total time: {total / 60:.1f} min")
    return exit_code


if __name__ == "__main__":
    sys.exit(main())
