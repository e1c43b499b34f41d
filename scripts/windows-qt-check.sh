#!/usr/bin/env bash
# No Qt for Windows here, so the desktop program cannot be built for Windows
# on this machine. This is the next best check: every Qt source of the
# desktop program (the corvane_ui files and src/main.cpp) compiled by the
# Windows compiler against this system's Qt headers, syntax only. It finds
# what would not build on Windows in our own code (POSIX calls and headers,
# paths taken as char strings, which are wide there); it cannot find what
# the Qt headers of Windows would say differently.
#   scripts/windows-qt-check.sh [NATIVE_BUILD_DIR [WINDOWS_BUILD_DIR]]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
native=$(realpath -m "${1:-$repo/build}")
windows=$(realpath -m "${2:-$repo/build-windows}")
qt=$(pkg-config --variable=includedir Qt6Core 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
[ -f "$native/compile_commands.json" ] || { echo "windows-qt-check: configure $native first (make build)" >&2; exit 1; }
[ -f "$windows/src/app/Version.h" ] || { echo "windows-qt-check: configure $windows first (make windows)" >&2; exit 1; }
mapfile -t files < <(python3 - "$native/compile_commands.json" <<'PY'
import json, sys
entries = json.load(open(sys.argv[1]))
files = {e["file"] for e in entries
         if ("corvane_ui.dir" in e["command"] or "CMakeFiles/corvane.dir" in e["command"]) and "autogen" not in e["file"]}
print("\n".join(sorted(files)))
PY
)
flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -Wno-attributes
       -DNOMINMAX -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0A00 -D__USE_MINGW_ANSI_STDIO=1
       -I"$repo/src" -I"$windows/src" -I"$qt")
for module in QtCore QtGui QtWidgets QtPrintSupport QtSvg; do flags+=(-I"$qt/$module"); done
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -I{} x86_64-w64-mingw32-g++-posix "${flags[@]}" {}
echo "windows-qt-check: ${#files[@]} Qt sources compile for Windows"
