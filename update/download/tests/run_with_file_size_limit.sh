#!/bin/bash
# run_with_file_size_limit.sh KIB PROGRAM ARGS...
# Runs a test program under Wine with the host's file size limit set to KIB KiB and SIGXFSZ
# ignored, so that a write beyond the limit fails (as on a volume that refuses writes) instead
# of the signal killing the process. ZEP_FILE_SIZE_LIMIT tells the program the limit in bytes.
# Only inside tools/with-wine-env.sh: its wineserver already runs; one started from here would
# inherit the limit and could not save the prefix's registry. Exit code 77 (skipped) otherwise.
set -u
kib=$1; shift
if [ -z "${ZEP_WINE_ENV_ACTIVE:-}" ]; then
  echo "run_with_file_size_limit: needs tools/with-wine-env.sh" >&2
  exit 77
fi
trap '' XFSZ
ulimit -S -f "$kib"
export ZEP_FILE_SIZE_LIMIT=$((kib * 1024))
exec "$(dirname "$0")/../../../tools/wine-run.sh" --test "$@"
