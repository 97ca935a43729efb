#!/usr/bin/env bash
# Builds the prime table generator and runs it at low priority until every
# entry is finished. Safe to stop at any time: finished entries are kept in
# entries.txt and a new run continues with the missing ones.
#   tools/prime_table/run.sh [threads]      (default 2)
# Write the table used by the build (all entries, or with --partial the
# finished ones and zeros for the rest) with
#   tools/prime_table/run.sh assemble [--partial]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
bin="$top/build/tools/gen_prime_table"
mkdir -p "$(dirname "$bin")"
if [ ! -x "$bin" ] || [ "$here/gen_prime_table.cpp" -nt "$bin" ]; then
  g++ -O3 -march=native -std=c++20 -Wall -Wextra "$here/gen_prime_table.cpp" -o "$bin" -lgmp -lcrypto -pthread
fi
if [ "${1:-}" = assemble ]; then
  exec "$bin" --progress "$here/entries.txt" --assemble "$top/src/crypto/prime_table.bin" "${@:2}"
fi
exec nice -n 19 "$bin" --threads "${1:-2}" --progress "$here/entries.txt"
