#!/bin/bash
# Writes tests/text/data/codepages.ref, the reference for the built-in code page tables, with
# iconv (a converter independent of the Python codecs that the tables were made from). Run
# once from the source root and commit the result:
#     bash scripts/gen_codepage_refs.sh > tests/text/data/codepages.ref
# Each line: code page number, byte, UTF-16 value (all hexadecimal but the number), or
# "none" where iconv has no character for the byte.
set -euo pipefail
pages="1252:ISO-8859-1 437:CP437 1250:CP1250 1251:CP1251 1253:CP1253 737:CP737 866:CP866 852:CP852 999:MACINTOSH 878:KOI8-R"
for page in $pages; do
  number=${page%%:*}
  charset=${page#*:}
  for byte in $(seq 128 255); do
    hex=$(printf '%02X' "$byte")
    if value=$(printf "\\x$hex" | iconv -f "$charset" -t UTF-16BE 2>/dev/null | od -An -tx1 | tr -d ' \n') &&
      [ ${#value} -eq 4 ]; then
      echo "$number $hex ${value^^}"
    else
      echo "$number $hex none"
    fi
  done
done
