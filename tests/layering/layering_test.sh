#!/usr/bin/env bash
# The layering check, first on a small tree that breaks each of its rules once (it must name each
# break, and no include that keeps the order), then on the project's own src/ (it must find nothing).
#   layering_test.sh SOURCE_DIR
set -euo pipefail
source_dir="${1:?usage: layering_test.sh SOURCE_DIR}"
check="$(dirname "$0")/layering_check.sh"

tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/core/io" "$tree/src/core/macro" "$tree/src/linux" "$tree/src/gui/pages" "$tree/src/gui/app"
touch "$tree/src/core/io/ini.h" "$tree/src/linux/hidraw.h" "$tree/src/gui/app/window.h" "$tree/src/gui/pages/page.h"
cat > "$tree/src/core/macro/record.cpp" <<'CPP'
#include "core/io/ini.h"
#include "linux/hidraw.h"
#include <QString>
#include "build_info.h"
CPP
cat > "$tree/src/gui/pages/page.cpp" <<'CPP'
#include "gui/pages/page.h"
#include "gui/app/window.h"
#include "sim_transport.h"
CPP
cat > "$tree/src/gui/app/main.cpp" <<'CPP'
#include "gui/pages/page.h"
#include "sim_transport.h"
CPP

if out="$(bash "$check" "$tree")"; then
  echo "the check passed a tree that breaks the layering:"
  echo "$out"
  exit 1
fi
expected="core/macro/record.cpp:2: includes \"linux/hidraw.h\": linux lies above core/macro
core/macro/record.cpp:3: includes <QString>: core/macro is free of Qt
core/macro/record.cpp:4: includes \"build_info.h\", which the GUI library generates
gui/pages/page.cpp:2: includes \"gui/app/window.h\": gui/app lies above gui/pages
gui/pages/page.cpp:3: includes \"sim_transport.h\", which is no header of src/"
found="$(grep -v '^layering:' <<<"$out")"
if [ "$found" != "$expected" ]; then
  echo "the check reported:"
  echo "$found"
  echo "expected:"
  echo "$expected"
  exit 1
fi

bash "$check" "$source_dir"
