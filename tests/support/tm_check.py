#!/usr/bin/env python3
"""Applies a TextMate grammar to lines of text and compares the scopes with expectations.

    tm_check.py GRAMMAR CASES

A small tokenizer of the grammar's match, begin/end, captures, patterns and include rules, as
an editor applies them: at each place the rule whose match starts first wins, the earlier rule
on a tie, and an open rule's end before its inner patterns. CASES holds blocks separated by
blank lines: source lines, then lines "> TEXT => SCOPE" saying that TEXT (its next occurrence
after the previous expectation's) lies in a scope starting with SCOPE, or in no named scope for
SCOPE "-". Prints each mismatch; the status is 1 when there is any.
"""
import json
import re
import sys


class Grammar:
    def __init__(self, path):
        with open(path) as f:
            self.data = json.load(f)
        self.repository = self.data.get("repository", {})
        self.compiled = {}

    def regex(self, text):
        if text not in self.compiled:
            self.compiled[text] = re.compile(text)
        return self.compiled[text]

    def expand(self, patterns):
        """The rules of a pattern list with includes replaced by what they name."""
        rules = []
        for rule in patterns:
            if "include" in rule:
                name = rule["include"]
                target = self.data if name == "$self" else self.repository[name.lstrip("#")]
                rules.extend(self.expand(target["patterns"]) if "patterns" in target and
                             "match" not in target and "begin" not in target else [target])
            else:
                rules.append(rule)
        return rules


def tokenize(grammar, lines):
    """Per line, the list of scope stacks of its characters."""
    stack = []  # open begin rules: (rule, its end regex)
    result = []
    for line in lines:
        scopes = [None] * len(line)
        position = 0
        while position <= len(line):
            base = [r["name"] for r, _ in stack if "name" in r]
            rules = grammar.expand(stack[-1][0].get("patterns", []) if stack else grammar.data["patterns"])
            best = None
            if stack:
                end = stack[-1][1].search(line, position)
                if end:
                    best = (end.start(), 0, "end", end, None)
            for order, rule in enumerate(rules, 1):
                found = grammar.regex(rule.get("match") or rule["begin"]).search(line, position)
                if found and (best is None or found.start() < best[0]):
                    best = (found.start(), order, "begin" if "begin" in rule else "match", found, rule)
            if best is None:
                for i in range(position, len(line)):
                    scopes[i] = base
                break
            start, _, kind, found, rule = best
            for i in range(position, start):
                scopes[i] = base
            if kind == "end":
                for i in range(found.start(), found.end()):
                    scopes[i] = base
                stack.pop()
            else:
                named = base + ([rule["name"]] if "name" in rule else [])
                for i in range(found.start(), found.end()):
                    scopes[i] = named
                captures = rule.get("beginCaptures" if kind == "begin" else "captures", {})
                for group, capture in captures.items():
                    if found.group(int(group)) is not None:
                        for i in range(found.start(int(group)), found.end(int(group))):
                            scopes[i] = named + [capture["name"]]
                if kind == "begin":
                    stack.append((rule, grammar.regex(rule["end"])))
            if found.end() == position and kind != "begin":
                # An empty match moves nothing: step over one character as plain text.
                if position < len(line):
                    scopes[position] = base
                position += 1
            else:
                position = max(found.end(), position + (1 if found.end() == found.start() else 0))
        result.append(scopes)
    return result


def cases(path):
    with open(path) as f:
        blocks = f.read().split("\n\n")
    for block in blocks:
        lines = [l for l in block.split("\n") if l and not l.startswith("#")]
        source = [l for l in lines if not l.startswith("> ")]
        expected = [l[2:].rsplit(" => ", 1) for l in lines if l.startswith("> ")]
        if source:
            yield source, expected


def main(grammar_path, cases_path):
    grammar = Grammar(grammar_path)
    failures = 0
    count = 0
    for source, expected in cases(cases_path):
        scopes = tokenize(grammar, source)
        text = "\n".join(source)
        flat = [s for line in scopes for s in line + [None]]
        at = 0
        for piece, scope in expected:
            count += 1
            found = text.find(piece, at)
            if found < 0:
                print("FAIL: %r not found in %r" % (piece, source))
                failures += 1
                continue
            at = found + len(piece)
            for i in range(found, found + len(piece)):
                innermost = flat[i][-1] if flat[i] else None
                good = innermost is None if scope == "-" else innermost is not None and innermost.startswith(scope)
                if not good:
                    print("FAIL: %r in %r has scopes %s, expected %s" % (piece, source, flat[i], scope))
                    failures += 1
                    break
    print("scopes: %d checked, %d wrong" % (count, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
