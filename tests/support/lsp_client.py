#!/usr/bin/env python3
"""A small Language Server Protocol client for vorn-lsp's tests and benchmark.

    lsp_client.py session SERVER DIR   open DIR's main.vn and Bank.vn and check every answer
    lsp_client.py header SERVER DIR    open DIR's zlibdemo.vn (examples/zlib) and follow names into zlib.h
    lsp_client.py fuzz SERVER DIR      random edits and malformed messages (fixed seed)

DIR holds the program of tests/data/lsp/ (examples/zlib/ for header). Each failed check prints a line starting FAIL and
the status is 1; the server must answer everything and exit 0 after shutdown and exit.
"""
import json
import os
import queue
import random
import shutil
import subprocess
import sys
import tempfile
import threading

# A guard against a hung server, not a measure of speed.
PATIENCE = 120


class Client:
    def __init__(self, server):
        self.process = subprocess.Popen([server], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.messages = queue.Queue()
        self.next_id = 0
        self.diagnostics = {}
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        out = self.process.stdout
        while True:
            length = None
            while True:
                line = out.readline()
                if not line:
                    self.messages.put(None)
                    return
                line = line.strip()
                if not line:
                    break
                name, _, value = line.partition(b":")
                if name.lower() == b"content-length":
                    length = int(value)
            self.messages.put(json.loads(out.read(length)))

    def send_raw(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send(self, message):
        body = json.dumps(message).encode()
        self.send_raw(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def next_message(self):
        message = self.messages.get(timeout=PATIENCE)
        if message is None:
            raise RuntimeError("the server closed its output")
        if message.get("method") == "textDocument/publishDiagnostics":
            self.diagnostics[message["params"]["uri"]] = message["params"]["diagnostics"]
        return message

    def request(self, method, params):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        return self.response(self.next_id)

    def response(self, wanted):
        while True:
            message = self.next_message()
            if "id" in message and message.get("id") == wanted and "method" not in message:
                return message

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def published(self, uri):
        """The diagnostics the next publication for uri carries."""
        while True:
            message = self.next_message()
            if message.get("method") == "textDocument/publishDiagnostics" and message["params"]["uri"] == uri:
                return message["params"]["diagnostics"]

    def finish(self):
        """Shutdown and exit; the server's exit status."""
        self.request("shutdown", None)
        self.notify("exit", None)
        return self.process.wait(timeout=PATIENCE)


failures = 0


def check(condition, what):
    global failures
    if not condition:
        failures += 1
        print("FAIL:", what)


def uri_of(path):
    return "file://" + os.path.realpath(path)


def start(server, directory, options=None):
    client = Client(server)
    params = {"processId": os.getpid(), "rootUri": uri_of(directory), "capabilities": {}}
    if options is not None:
        params["initializationOptions"] = options
    answer = client.request("initialize", params)
    capabilities = answer.get("result", {}).get("capabilities", {})
    for provider in ("hoverProvider", "definitionProvider", "documentSymbolProvider"):
        check(capabilities.get(provider) is True, "initialize offers " + provider)
    client.notify("initialized", {})
    return client


def open_document(client, path, text=None):
    uri = uri_of(path)
    if text is None:
        with open(path) as f:
            text = f.read()
    client.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "vorn", "version": 1, "text": text}})
    return uri, text, client.published(uri)


def position_of(text, needle, occurrence=0, offset=0):
    """Line and character of the start of needle's occurrence in text (plus offset)."""
    at = -1
    for _ in range(occurrence + 1):
        at = text.index(needle, at + 1)
    line = text.count("\n", 0, at)
    return {"line": line, "character": at - (text.rfind("\n", 0, at) + 1) + offset}


def line_of(path, needle):
    with open(path) as f:
        return position_of(f.read(), needle)["line"]


def errors(diagnostics):
    return [d for d in diagnostics if d["severity"] == 1]


def session(server, directory):
    main_path, bank_path = os.path.join(directory, "main.vn"), os.path.join(directory, "Bank.vn")
    before = sorted(os.listdir(directory))
    client = start(server, directory)
    uri, text, diagnostics = open_document(client, main_path)
    check(errors(diagnostics) == [], "main.vn opens without errors: %s" % diagnostics)
    bank_uri, bank_text, bank_diagnostics = open_document(client, bank_path)
    check(errors(bank_diagnostics) == [], "Bank.vn opens without errors: %s" % bank_diagnostics)

    def word_in(context, occurrence=0):
        """Where the word that context starts with (after an "import ") is written."""
        skip = len("import ") if context.startswith("import ") else 0
        return position_of(text, context, occurrence, skip)

    def ask(method, context, occurrence=0):
        position = word_in(context, occurrence)
        position["character"] += 1
        return client.request(method, {"textDocument": {"uri": uri}, "position": position})

    # Hover: what the name is, in the language's spelling, and where it is declared.
    hovers = [
        ("accounts\n", 0, ["[Account$] accounts"]),
        ("first = ", 0, ["Account$ first"]),
        ("deposit", 0, ["Void deposit(Int amount)", "line %d" % (line_of(bank_path, "Void deposit") + 1), "Bank.vn"]),
        ("openAccount(\"ann", 0, ["Account$ openAccount(String owner, Int start)", "call gives `Account$`"]),
        ("size, ", 0, ["Int size", "line %d" % (position_of(text, "var size")["line"] + 1)]),
        ("area(3", 0, ["Int area(Int width, Int height)", "widgets.h"]),
        ("doubled", 0, ["property Int doubled"]),
        ("import Bank", 0, ["module Bank", "Bank.vn"]),
        ("_either(1", 0, ["macro _either(Int flag, Code yes, Code no)"]),
        ("printf", 0, ["Int printf(...)"]),
    ]
    for context, occurrence, expected in hovers:
        result = ask("textDocument/hover", context, occurrence).get("result") or {}
        value = result.get("contents", {}).get("value", "")
        for part in expected:
            check(part in value, "hover on %s shows %r: %r" % (context.strip(), part, value))
        if result:
            check(result["range"]["start"] == word_in(context, occurrence),
                  "hover on %s covers the name: %s" % (context.strip(), result["range"]))

    # A loop's variable, which lowering declares anew, and a library type in an import.
    for context, expected in (("a.balance", "Account$"), ("String owner\n", "type String")):
        position = position_of(bank_text, context, 0, 1)
        answer = client.request("textDocument/hover", {"textDocument": {"uri": bank_uri}, "position": position})
        value = (answer.get("result") or {}).get("contents", {}).get("value", "")
        check(expected in value, "hover on %s in Bank.vn shows %r: %r" % (context.strip(), expected, value))

    # Definition: of a function, a type, a member, a property, a variable, modules and a C function.
    header = os.path.join(directory, "widgets.h")
    # (where the cursor is, the file, the text the name starts there, or None for the file's start)
    definitions = [
        ("total(accounts)", 0, bank_path, "total([Account$]"),
        ("Account$ extra", 0, bank_path, "Account\n    public"),
        ("deposit", 0, bank_path, "deposit(Int amount)"),
        ("doubled", 0, bank_path, "doubled\n"),
        ("size, ", 0, main_path, "size = area"),
        ("_either(1", 0, main_path, "_either(Int flag"),
        ("import Bank", 0, bank_path, None),
        ("import Widgets", 0, os.path.join(directory, "Widgets.vni"), None),
        ("area(3", 0, header, "wg_area"),
    ]
    for context, occurrence, path, target in definitions:
        result = ask("textDocument/definition", context, occurrence).get("result") or {}
        got = (result.get("uri"), result.get("range", {}).get("start"))
        with open(path) as f:
            want = position_of(f.read(), target) if target else {"line": 0, "character": 0}
        check(got == (uri_of(path), want), "definition of %s at %s %s, got %s" % (context, path, want, got))

    # Symbols: the module's declarations, members nested in their class.
    def names(symbols):
        return {s["name"]: names(s.get("children", [])) for s in symbols}

    main_symbols = client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})["result"]
    check(names(main_symbols) == {"_either": {}, "main": {}}, "symbols of main.vn: %s" % names(main_symbols))
    bank_symbols = client.request("textDocument/documentSymbol", {"textDocument": {"uri": bank_uri}})["result"]
    check(names(bank_symbols) == {"Account": {"balance": {}, "owner": {}, "deposit": {}, "doubled": {}},
                                  "accountsOpened": {}, "openAccount": {}, "total": {}},
          "symbols of Bank.vn: %s" % names(bank_symbols))
    declared = {"Account": "class Account", "accountsOpened": "Int accountsOpened", "openAccount": "Account$ openAccount",
                "total": "Int total"}
    for symbol in bank_symbols:
        line = line_of(bank_path, declared[symbol["name"]])
        check(symbol["selectionRange"]["start"]["line"] == line, "symbol %s at its line" % symbol["name"])
    account = next(s for s in bank_symbols if s["name"] == "Account")
    check(account["range"]["end"]["line"] >= line_of(bank_path, "balance * 2"), "the class's range holds its members")

    # An edit brings an error at its place, and the next one takes it away.
    version = 1

    def change(new_text):
        nonlocal version
        version += 1
        client.notify("textDocument/didChange",
                      {"textDocument": {"uri": uri, "version": version}, "contentChanges": [{"text": new_text}]})
        return client.published(uri)

    broken = text.replace("first.deposit(5)", "first.depositt(5)")
    found = errors(change(broken))
    check(len(found) == 1 and "depositt" in found[0]["message"], "the misspelt member is an error: %s" % found)
    if found:
        first, last = position_of(broken, "depositt"), position_of(broken, "depositt", 0, len("depositt"))
        check(found[0]["range"]["start"]["line"] == first["line"] and found[0]["range"]["end"] == last,
              "the error's range ends with the member: %s" % found[0]["range"])
    broken = text.replace("var size = area(3, 4)", "var size = area((3, 4)")
    found = errors(change(broken))
    check(len(found) >= 1 and found[0]["range"]["start"] == position_of(broken, "(", 0, 0) or
          any(d["range"]["start"]["line"] == position_of(broken, "area((")["line"] for d in found),
          "the open bracket is an error at its line: %s" % found)
    broken = text.replace("    return 0", "    var w = mystery(3)\n    return 0")
    found = change(broken)
    warnings = [d for d in found if d["severity"] == 2]
    check(len(warnings) == 1 and "mystery" in warnings[0]["message"] and
          warnings[0]["range"]["start"] == position_of(broken, "mystery"), "a warning at the unknown name: %s" % found)
    check(any("infer type of w" in d["message"] for d in errors(found)), "an error where the type is needed: %s" % found)
    outline = client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})["result"]
    check(names(outline) == names(main_symbols), "a text with a syntax error keeps its outline: %s" % names(outline))
    check(errors(change(text)) == [], "the fixed text has no errors")
    # A change with a range edits the text in place: a letter in, and out again.
    after = position_of(text, "deposit(5)", 0, len("deposit"))
    version += 1
    client.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": version},
                                             "contentChanges": [{"range": {"start": after, "end": after}, "text": "t"}]})
    found = errors(client.published(uri))
    check(len(found) == 1 and "depositt" in found[0]["message"], "a ranged edit is applied: %s" % found)
    past = dict(after, character=after["character"] + 1)
    version += 1
    client.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": version},
                                             "contentChanges": [{"range": {"start": after, "end": past}, "text": ""}]})
    check(errors(client.published(uri)) == [], "and undone")

    # An open importer reads the editor's text of an import, not the file, and is told at once.
    client.notify("textDocument/didChange", {"textDocument": {"uri": bank_uri, "version": 2},
                                             "contentChanges": [{"text": bank_text.replace("deposit", "put")}]})
    found = errors(client.published(uri))
    check(any("deposit" in d["message"] for d in found), "an import's unsaved edit shows in its importer: %s" % found)
    check(errors(client.published(bank_uri)) == [], "the edited import itself has no errors")

    check(client.finish() == 0, "the server exits with 0 after shutdown")
    check(sorted(os.listdir(directory)) == before, "the server wrote no file: %s" % sorted(os.listdir(directory)))
    include_dirs(server)


def include_dirs(server):
    """A module in a folder the editor names in initializationOptions, found as vorn's -I finds it."""
    directory = tempfile.mkdtemp()
    try:
        for folder, name, text in (("inc", "Helper.vn", "Int helper()\n    return 1\n"),
                                   ("app", "uses.vn", "import Helper\n\nInt main()\n    return helper()\n")):
            os.makedirs(os.path.join(directory, folder), exist_ok=True)
            with open(os.path.join(directory, folder, name), "w") as f:
                f.write(text)
        for options in (None, {"includeDirs": ["inc"], "tabSize": 4}):
            client = start(server, directory, options)
            uri, text, diagnostics = open_document(client, os.path.join(directory, "app", "uses.vn"))
            if options is None:
                check(any("Helper" in d["message"] for d in errors(diagnostics)), "Helper is not found: %s" % diagnostics)
            else:
                check(errors(diagnostics) == [], "Helper is found through inc/: %s" % diagnostics)
                position = position_of(text, "helper()", 0, 1)
                result = client.request("textDocument/definition", {"textDocument": {"uri": uri}, "position": position})
                got = (result.get("result") or {}).get("uri")
                check(got == uri_of(os.path.join(directory, "inc", "Helper.vn")), "helper is defined in inc/: %s" % got)
            check(client.finish() == 0, "the server exits with 0 after shutdown")
    finally:
        shutil.rmtree(directory)


def header(server, directory):
    """examples/zlib: definitions reach the system's zlib.h where the search found it."""
    client = start(server, directory)
    uri, text, diagnostics = open_document(client, os.path.join(directory, "zlibdemo.vn"))
    check(errors(diagnostics) == [], "zlibdemo.vn opens without errors: %s" % diagnostics)
    for context in ("crc32(", "deflateInit(", "Z_OK", "ZStream stream"):
        position = position_of(text, context, 0, 1)
        result = client.request("textDocument/definition", {"textDocument": {"uri": uri}, "position": position}).get("result")
        path = result["uri"][len("file://"):] if result else ""
        check(path.endswith("/zlib.h"), "%s is defined in zlib.h: %s" % (context, result))
        if path.endswith("/zlib.h"):
            with open(path) as f:
                line = f.read().split("\n")[result["range"]["start"]["line"]]
            word = {"ZStream stream": "z_stream"}.get(context, context.rstrip("("))
            check(word in line, "the definition's line of %s names it: %r" % (context, line))
    check(client.finish() == 0, "the server exits with 0 after shutdown")


def fuzz(server, directory):
    rng = random.Random(20261211)
    main_path = os.path.join(directory, "main.vn")
    client = start(server, directory)
    uri, text, _ = open_document(client, main_path)
    alive = 0

    def still_serving():
        nonlocal alive
        alive += 1
        answer = client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})
        check("result" in answer or "error" in answer, "the server answers after a bad message")

    def refused(code_wanted):
        while True:
            message = client.next_message()
            if "error" in message and "method" not in message:
                check(message["error"]["code"] in code_wanted, "refusal code %s in %s" % (message["error"], code_wanted))
                return

    pieces = ["(", ")", "[", "]", "\n", "    ", "import ", "class X", "var ", "= ", "_either(", "#", "$", "\"",
              "'", "/+", "+/", "/*", "0x", "1e", "->", ".", "\t", "\xe9", "\U0001F600", "macro _m(Code c)\n    return c\n"]
    malformed = [
        (b"Content-Length: 9\r\n\r\n{\"bad\": }", [-32700]),
        (b"Content-Length: 2\r\n\r\n[]", [-32600]),
        (b"Content-Length: 4\r\n\r\nnull", [-32600]),
        (b"Content-Length: x\r\n\r\n", [-32700]),
        (b"no header at all\r\n\r\n", [-32700]),
        (b"\r\n\r\n", None),
    ]
    for round_number in range(120):
        choice = rng.randrange(6)
        if choice < 3:
            # A random edit: cut, insert or replace a piece of the text.
            at = rng.randrange(len(text) + 1)
            end = min(len(text), at + rng.randrange(12))
            text = text[:at] + (rng.choice(pieces) if choice else "") + text[end:]
            client.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": round_number + 2},
                                                     "contentChanges": [{"text": text}]})
            client.published(uri)
            if rng.randrange(3) == 0:
                line = rng.randrange(text.count("\n") + 1)
                for method in ("textDocument/hover", "textDocument/definition"):
                    answer = client.request(method, {"textDocument": {"uri": uri},
                                                     "position": {"line": line, "character": rng.randrange(40)}})
                    check("result" in answer, "%s answers on an edited text: %s" % (method, answer))
        elif choice == 3:
            data, codes = rng.choice(malformed)
            client.send_raw(data)
            if codes:
                refused(codes)
        elif choice == 4:
            client.next_id += 1
            client.send({"jsonrpc": "2.0", "id": client.next_id, "method": "vorn/unknown" + str(round_number)})
            answer = client.response(client.next_id)
            check(answer.get("error", {}).get("code") == -32601, "an unknown method is refused: %s" % answer)
            client.notify("vorn/unknownNotification", {"x": round_number})
        else:
            bad = rng.choice([None, 5, "text", {"textDocument": 3}, {"textDocument": {"uri": uri}},
                              {"textDocument": {"uri": uri}, "position": {"line": -1, "character": "x"}},
                              {"textDocument": {"uri": "file:///nowhere.vn"}, "position": {"line": 0, "character": 0}}])
            client.next_id += 1
            client.send({"jsonrpc": "2.0", "id": client.next_id, "method": "textDocument/hover", "params": bad})
            answer = client.response(client.next_id)
            check(answer.get("error", {}).get("code") == -32602, "bad params are refused: %s -> %s" % (bad, answer))
            client.notify("textDocument/didChange", {"textDocument": {"uri": 7}})
        if round_number % 10 == 0:
            still_serving()
    # Params nested deeper than any stack: refused like any other bad params.
    client.next_id += 1
    deep = b'{"jsonrpc": "2.0", "id": %d, "method": "textDocument/hover", "params": %s}' % (
        client.next_id, b"[" * 200000 + b"]" * 200000)
    client.send_raw(b"Content-Length: %d\r\n\r\n" % len(deep) + deep)
    answer = client.response(client.next_id)
    check(answer.get("error", {}).get("code") == -32602, "deeply nested params are refused: %s" % answer)
    # A body cut short of its length, then a whole message: only the cut one is lost.
    client.send_raw(b"Content-Length: 5\r\n\r\n{}")
    client.send_raw(b"\r\n\r\n")
    still_serving()
    check(alive > 0, "the server was asked whether it still serves")
    check(client.finish() == 0, "the server exits with 0 after shutdown")


if __name__ == "__main__":
    mode, server, directory = sys.argv[1:4]
    {"session": session, "header": header, "fuzz": fuzz}[mode](server, directory)
    print("%d failed" % failures if failures else "all checks passed")
    sys.exit(1 if failures else 0)
