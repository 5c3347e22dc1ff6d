#!/usr/bin/env python3
"""Counts the core's mutable program-wide variables: `inline` variables in headers, variables in
anonymous namespaces and at namespace scope, and function-local statics, none of them const.
References (the windows' names that view the windows' session) hold no state of their own and
are counted apart.
Usage: scripts/count-globals.py [--list] [SRC_DIR]"""
import os
import re
import sys

FOLDERS = "analysis capture config datalog device monitor registers shell sim".split()
DECL = re.compile(r"^\s*(?:inline\s+|static\s+|thread_local\s+)*(?!return\b|using\b|typedef\b|friend\b|case\b|goto\b)"
                  r"[A-Za-z_][\w:<>,\s\*&]*?[\s\*&]([A-Za-z_]\w*)\s*(?:\[[^\]]*\])?\s*(?:=[^=].*|\{.*\}|)\s*;\s*(?://.*)?$")


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return re.sub(r'"(?:\\.|[^"\\])*"', '""', text)


def mutable(line):
    if line.strip().endswith(");") and "(" not in line:
        return False  # the tail of a parameter list
    words = re.sub(r"<[^<>]*>", "", line.split("=")[0])
    if "(" in words or re.search(r"\bconstexpr\b|\bconstinit\b", words):
        return False
    # A pointer to const is itself still mutable.
    if re.search(r"\bconst\b[^*]*\*\s*(?!const\b)\w+\s*$", words.strip()):
        return True
    return not re.search(r"\bconst\b", words)


def is_view(line):
    head = re.sub(r"<[^<>]*>", "", line.split("=")[0])
    return re.search(r"&\s*[A-Za-z_]\w*\s*$", head.strip()) is not None


def scan(path):
    found = []
    depth_kinds = []  # one entry per open brace: 'ns', 'type' or 'fn'
    pending = "fn"
    lines = strip_comments(open(path, encoding="utf-8", errors="replace").read()).split("\n")
    for number, raw in enumerate(lines, 1):
        line = raw.split("//")[0]
        at_namespace = all(k == "ns" for k in depth_kinds)
        in_function = "fn" in depth_kinds
        stripped = line.strip()
        # Template arguments may hold a signature: std::function<R()>.
        line = re.sub(r"<[^<>]*\([^<>]*\)[^<>]*>", "<>", line)
        if stripped and not stripped.startswith("#"):
            if at_namespace and DECL.match(line) and mutable(line) and not re.match(r"\s*(extern|enum|struct|class)\b", line):
                found.append((number, stripped))
            elif in_function and re.match(r"\s*static\s", line) and DECL.match(line) and mutable(line):
                found.append((number, stripped))
        for ch in line:
            if ch == "{":
                head = line[: line.index("{")] if "{" in line else line
                if re.search(r"\bnamespace\b", head) or (pending == "ns"):
                    depth_kinds.append("ns")
                elif re.search(r"\b(struct|class|union|enum)\b", head):
                    depth_kinds.append("type")
                else:
                    depth_kinds.append("fn")
                pending = "fn"
            elif ch == "}" and depth_kinds:
                depth_kinds.pop()
        if re.search(r"\bnamespace\b[^;{]*$", line):
            pending = "ns"
    return found


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    src = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "src")
    total = 0
    views = 0
    for folder in FOLDERS:
        base = os.path.join(src, folder)
        for name in sorted(os.listdir(base)):
            if not name.endswith((".h", ".cpp")):
                continue
            for number, text in scan(os.path.join(base, name)):
                if is_view(text):
                    views += 1
                    continue
                total += 1
                if "--list" in sys.argv:
                    print(f"{folder}/{name}:{number}: {text}")
    print(f"{total} mutable program-wide variables in the core "
          f"({views} more names are references that view the windows' session)")


if __name__ == "__main__":
    main()
