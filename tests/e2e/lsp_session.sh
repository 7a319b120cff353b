#!/usr/bin/env bash
# vorn-lsp end to end: a client opens a program of two modules and an include interface file,
# asks for hovers, definitions (into the C header too) and symbols, and edits an error in and
# out; the checks are in tests/support/lsp_client.py. The server must write no file.
set -u
source "$(dirname "$0")/common.bash"
source_dir=$2
cp "$source_dir"/tests/data/lsp/* "$tmp/"
python3 "$source_dir/tests/support/lsp_client.py" session "$build/vorn-lsp" "$tmp" || fail "the session's checks"
[ "$failures" -eq 0 ]
