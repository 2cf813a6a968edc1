#!/bin/sh
# Lists the DLLs a PE file imports and fails on the compiler's runtime DLLs:
# every deliverable must run with no libstdc++/libgcc/winpthread beside it.
set -eu
f="$1"
dlls=$(x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p')
bad=$(printf '%s\n' "$dlls" | grep -iE '^(libstdc\+\+|libgcc|libwinpthread)' || true)
if [ -n "$bad" ]; then
  echo "error: $f imports runtime DLLs: $bad" >&2
  exit 1
fi
