#!/usr/bin/env bash
# Fails when a source folder includes a layer above it or beside it without leave, so that
# the arrows keep pointing one way. The table is docs/architecture.md's diagram.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [protocol]="protocol"
  [platform]="platform protocol"
  [res]="res"
  [registry]="registry platform"
  [diag]="diag platform protocol"
  [run]="run diag platform protocol res"
  [checks]="checks run diag platform protocol res"
  [discovery]="discovery run diag platform protocol res"
  [engine]="engine run diag platform protocol res"
  [companions]="companions registry run diag platform protocol res"
  [ui]="ui checks discovery run diag platform protocol res"
  [app]="app ui checks discovery engine companions registry run diag platform protocol res"
  [main]="main app ui checks discovery engine companions registry run diag platform protocol res"
  # The programs around setup.exe share only the wire contract and the file formats.
  [tools]="protocol registry"
)
layers=" ${!allowed[*]} "

status=0
while IFS= read -r line; do
  file=${line%%:*}
  target=$(sed -E 's/^[^:]*:[0-9]+:#include "([^"]*)".*/\1/' <<<"$line")
  to=${target%%/*}
  [ "$to" = "$target" ] && continue          # a file beside it
  [[ $layers == *" $to "* ]] || continue      # not one of our folders (tools' own, system)
  if [[ $file == tools/* ]]; then from=tools; else from=$(cut -d/ -f2 <<<"$file"); fi
  [[ " ${allowed[$from]:-} " == *" $to "* ]] && continue
  [ "$from" = tools ] || [ "$from" != "$to" ] || continue
  echo "layering: $line ($from may not include $to)"
  status=1
done < <(grep -rn --include='*.h' --include='*.cpp' --include='*.c' --include='*.rc' '^#include "' src tools)
[ "$status" -eq 0 ] && echo "layering: every include points down"
exit "$status"
