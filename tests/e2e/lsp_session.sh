#!/usr/bin/env bash
# vorn-lsp end to end: a client opens a program of two modules and an include interface file,
# asks for hovers, definitions (into the C header too) and symbols, and edits an error in and
# out; then follows names of examples/zlib into the system's zlib.h. The checks are in
# tests/support/lsp_client.py. The server must write no file.
set -u
source "$(dirname "$0")/common.bash"
source_dir=$2
cp "$source_dir"/tests/data/lsp/* "$tmp/"
python3 "$source_dir/tests/support/lsp_client.py" session "$build/vorn-lsp" "$tmp" || fail "the session's checks"
# And a system header through examples/zlib's include interface file.
mkdir "$tmp/zlib" && cp "$source_dir"/examples/zlib/* "$tmp/zlib/"
python3 "$source_dir/tests/support/lsp_client.py" header "$build/vorn-lsp" "$tmp/zlib" || fail "the zlib checks"
[ "$failures" -eq 0 ]
