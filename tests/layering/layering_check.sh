#!/usr/bin/env bash
# The layering of src/: each folder may include only itself and the folders before it in this
# order, the core and the backends no Qt, and nothing under src/ a header of tools/ except the
# program's entry point, which registers the simulated mouse it links (tools/sim's
# sim_transport.h). Prints every include that runs against it and fails when there is one.
#   layering_check.sh SOURCE_DIR
set -euo pipefail
src="${1:?usage: layering_check.sh SOURCE_DIR}/src"

folders=(core/io core/settings core/macro core/device core/skin core/survey linux
         gui/widgets gui/survey gui/pages gui/app)

# The rank of the folder a path (of a file or of an include) lies in; empty when none.
rank_of() {
  local path="$1" i
  for i in "${!folders[@]}"; do
    case "$path" in
      "${folders[$i]}"/*) echo "$i"; return ;;
    esac
  done
}

violations=0
report() {
  echo "$1"
  violations=$((violations + 1))
}

while IFS= read -r -d '' file; do
  relative="${file#"$src"/}"
  own="$(rank_of "$relative")"
  if [ -z "$own" ]; then
    report "$relative: lies in no folder of the layering"
    continue
  fi
  while IFS=: read -r line text; do
    if [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
      target="${BASH_REMATCH[1]}"
      case "$target" in
        build_info.h | moc_*.cpp | *.moc)  # generated beside the GUI library
          if [ "$own" -lt "$(rank_of gui/widgets/x)" ]; then
            report "$relative:$line: includes \"$target\", which the GUI library generates"
          fi
          continue ;;
      esac
      if [ "$target" = sim_transport.h ] && [ "$(basename "$relative")" = main.cpp ]; then
        continue
      fi
      theirs="$(rank_of "$target")"
      if [ -z "$theirs" ] || [ ! -e "$src/$target" ]; then
        report "$relative:$line: includes \"$target\", which is no header of src/"
      elif [ "$theirs" -gt "$own" ]; then
        report "$relative:$line: includes \"$target\": ${folders[$theirs]} lies above ${folders[$own]}"
      fi
    elif [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]*|qt[^/]*/.*)\> ]]; then
      if [ "$own" -le "$(rank_of linux/x)" ]; then
        report "$relative:$line: includes <${BASH_REMATCH[1]}>: ${folders[$own]} is free of Qt"
      fi
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.h.in' \) -print0 | sort -z)

if [ "$violations" -gt 0 ]; then
  echo "layering: $violations include(s) against the order ${folders[*]}"
  exit 1
fi
echo "layering: every include of src/ keeps the order ${folders[*]}"
