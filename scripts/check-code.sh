#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The code's habits, checked on a configured build (scripts/build.sh):
# - every C++ file is formatted as .clang-format says (clang-format 14),
#   except regions between "// clang-format off" and "// clang-format on";
# - every folder's sources (textutil/, engine/, text/, cli/, ui/, app/) have
#   no clang-tidy findings (clang-tidy 14 with the repo's .clang-tidy, over the
#   build's compile_commands.json);
# - no folder includes a header of a layer above it (textutil -> engine ->
#   text -> ui -> app; cli over the engine), which the linker checks for calls;
# - the form's control names appear only where the forms are built.
#   scripts/check-code.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
bash scripts/deps.sh clang-format-14 clang-tidy-14
failed=0
fail() {
  echo "FAIL $*" >&2
  failed=1
}

mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.inl')
if clang-format-14 --dry-run --Werror "${sources[@]}"; then
  echo "ok   clang-format: ${#sources[@]} files"
else
  fail "clang-format: run clang-format-14 -i on the files above"
fi

[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: build first" >&2; exit 1; }
mapfile -t tidied < <(git ls-files 'textutil/*.cpp' 'engine/*.cpp' 'text/*.cpp' 'cli/*.cpp' 'ui/*.cpp' 'app/*.cpp')
start=$(date +%s)
# The file arguments are patterns on the database's absolute paths.
status=0
run-clang-tidy-14 -p "$build" -j "$(nproc)" -quiet "${tidied[@]/#/$PWD/}" \
  >"$build/clang-tidy.log" 2>&1 || status=$?
if [ "$status" -eq 0 ] && ! grep -qE 'warning:|error:' "$build/clang-tidy.log"; then
  echo "ok   clang-tidy: ${#tidied[@]} files in $(($(date +%s) - start)) s"
else
  sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E 'warning:|error:' | sort -u >&2 ||
    cat "$build/clang-tidy.log" >&2
  fail "clang-tidy (full output in $build/clang-tidy.log)"
fi

# Folder, then the folders whose headers it must not include.
layered=0
while read -r folder above; do
  if grep -nE "#include \"($above)/" $(git ls-files "$folder/*.cpp" "$folder/*.h"); then
    fail "$folder/ includes a header of a layer above it"
    layered=1
  fi
done <<'LAYERS'
textutil engine|text|cli|ui|app
engine text|cli|ui|app
text cli|ui|app
cli text|ui|app
ui cli|app
LAYERS
[ "$layered" -eq 0 ] && echo "ok   layers: no header of a layer above is included"

# The form's names: TForm1's unit, the main window's builder and layout table,
# and the About box's own unit (tests find controls by these names too).
form_names='\b(Edit[0-9]|Label[0-9]|RadioButton[0-9]+|CheckBox[12]|LCaseCheckBox|UCasecheckbox|RichEdit1|NullsReminder|PageControl1|Tabsheet2|TabSheet1|StatusBar1|SearchBtn|Wordwrapbtn|Button1|TestBox|ActionBox|MainMenu1|File1|Open1|SaveAs1|Print1|Filesep1|Close1|Exit1|filesep2|filename1|Search1|Cut1|Copy1|Paste1|Fonts1|Help1|About1)\b'
if git ls-files 'textutil/*' 'engine/*' 'text/*' 'cli/*' 'ui/*' 'app/*' |
  grep -E '\.(cpp|h)$' |
  grep -vE '^(app/UQuorlin\.|ui/MainWindowUi\.|ui/MainWindowLayout\.cpp|ui/AboutU\.)' |
  xargs grep -nE "$form_names"; then
  fail "form names outside app/UQuorlin.*, ui/MainWindowUi.*, ui/MainWindowLayout.cpp, ui/AboutU.*"
else
  echo "ok   form names: only where the forms are built"
fi
exit "$failed"
