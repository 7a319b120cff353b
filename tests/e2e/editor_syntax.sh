#!/usr/bin/env bash
# The editors' highlighting: the TextMate grammar gives the expected scopes to the lines of
# tests/data/editors/highlight.txt (applied by tests/support/tm_check.py, since no editor runs
# here), the VS Code manifests are JSON, and Vim loads editors/vim without an error and gives
# sample.vn's places the expected groups.
set -u
source "$(dirname "$0")/common.bash"
source_dir=$2
editors=$source_dir/editors
data=$source_dir/tests/data/editors

python3 "$source_dir/tests/support/tm_check.py" "$editors/vscode/syntaxes/vorn.tmLanguage.json" "$data/highlight.txt" >"$tmp/tm" ||
    { cat "$tmp/tm"; fail "the TextMate grammar's scopes"; }
for manifest in package.json language-configuration.json; do
    python3 -c 'import json, sys; json.load(open(sys.argv[1]))' "$editors/vscode/$manifest" || fail "$manifest is no JSON"
done
python3 - "$editors/vscode/package.json" <<'PY' || fail "package.json declares the language and its grammar"
import json, sys
manifest = json.load(open(sys.argv[1]))
languages = manifest["contributes"]["languages"]
grammars = manifest["contributes"]["grammars"]
assert any(".vn" in l["extensions"] for l in languages)
assert grammars[0]["scopeName"] == "source.vorn" and grammars[0]["language"] == languages[0]["id"]
PY

cp "$data/sample.vn" "$tmp/sample.vn"
VIMCHECK_OUT=$tmp/vim.out vim -es -N -u NONE -i NONE --cmd "set rtp^=$editors/vim" -c 'filetype on' -c 'syntax on' \
    -c "edit $tmp/sample.vn" -c "source $data/vim_check.vim" </dev/null || fail "vim -es exited with an error"
[ -f "$tmp/vim.out" ] && [ ! -s "$tmp/vim.out" ] || { cat "$tmp/vim.out" 2>/dev/null; fail "the Vim syntax file"; }
[ "$failures" -eq 0 ]
