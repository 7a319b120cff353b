#!/usr/bin/env bash
# vorn-lsp under random edits and malformed messages (a fixed seed): it answers or refuses each
# one, keeps serving, and exits cleanly after shutdown.
set -u
source "$(dirname "$0")/common.bash"
source_dir=$2
cp "$source_dir"/tests/data/lsp/* "$tmp/"
python3 "$source_dir/tests/support/lsp_client.py" fuzz "$build/vorn-lsp" "$tmp" || fail "the fuzz run's checks"
[ "$failures" -eq 0 ]
