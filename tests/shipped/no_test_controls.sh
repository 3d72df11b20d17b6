#!/usr/bin/env bash
# Fails when a program defines a symbol of the test controls or of the screen's probe.
# Usage: no_test_controls.sh NM PROGRAM...
set -euo pipefail
nm_program=$1
shift
pattern='(qtw_|hlw_|hl_reset|hl_fail_step|hl_lose_primary|hl_blits|hl_animations|hl_platform_calls|screen_set_probe|screen_reset)'
failed=0
for program in "$@"; do
  symbols=$("$nm_program" -C --defined-only "$program")
  if found=$(grep -E "$pattern" <<<"$symbols"); then
    echo "test controls in $program:"
    echo "$found"
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "no test controls in $*"
exit "$failed"
