#!/usr/bin/env python3
"""Compares the values of registry editor files (REGEDIT4 or version 5, ANSI or UTF-16).

reg_values.py A B [NAME...]: every value of A (or only the NAMEs) must be in B with the same
type and data, and, without NAMEs, B must hold no other value. Prints the differences and
exits 1 when there are any.
"""
import sys


def decode(raw):
    if raw.startswith(b"\xff\xfe"):
        return raw[2:].decode("utf-16-le")
    if raw.startswith(b"\xef\xbb\xbf"):
        return raw[3:].decode("utf-8")
    return raw.decode("cp1252")


def unquote(text, start):
    """The quoted string starting at text[start] == '"', and the index after it."""
    out, i = [], start + 1
    while text[i] != '"':
        if text[i] == "\\":
            i += 1
        out.append(text[i])
        i += 1
    return "".join(out), i + 1


def values(path):
    with open(path, "rb") as f:
        lines = decode(f.read()).replace("\r\n", "\n").split("\n")
    joined, pending = [], ""
    for line in lines:
        line = pending + line.strip() if pending else line
        if line.endswith("\\") and "=hex" in line:
            pending = line[:-1]
            continue
        pending = ""
        joined.append(line)
    found = {}
    for line in joined:
        if not line.startswith('"'):
            continue
        name, end = unquote(line, 0)
        data = line[end + 1:]
        if data.startswith('"'):
            found[name.lower()] = ("sz", unquote(data, 0)[0])
        elif data.startswith("dword:"):
            found[name.lower()] = ("dword", int(data[6:], 16))
        elif data.startswith("hex:"):
            items = [b for b in data[4:].replace(" ", "").split(",") if b]
            found[name.lower()] = ("binary", bytes(int(b, 16) for b in items))
        else:
            found[name.lower()] = ("other", data)
    return found


def main():
    a, b = values(sys.argv[1]), values(sys.argv[2])
    names = [n.lower() for n in sys.argv[3:]] or sorted(set(a) | set(b))
    problems = [f"{n}: {a.get(n)} != {b.get(n)}" for n in names if a.get(n) != b.get(n)]
    for problem in problems:
        print(problem)
    if not a:
        problems.append("no values")
        print(f"{sys.argv[1]} holds no values")
    print(f"{len(names)} values compared, {len(problems)} differences")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
