#!/usr/bin/env bash
# Every name a document puts in backticks that looks like code is in the tree:
#   - a path (it holds a /): the file or folder exists, or, written without
#     its extension (`device/unitOVDevice`), some file of that stem, or, with
#     a *, some file the pattern matches;
#   - a file name with a source extension (`Orvale7.lng`): a file of that
#     name; a binary's (`Orvale8.dll`): its stem is named in a CMakeLists.txt;
#   - an identifier with a hump, an underscore or a :: (`DllMain`, `TThread`,
#     `OV_CLOSE_WAIT_MS`, `TReadThread::Execute`): its last part after ::
#     is a whole word of some C, C++ or Pascal source or CMake file.
# Names with spaces, numbers and the like are prose, and are not looked up.
# Prints each name it cannot find and fails if there is one.
# Usage: architecture_names.sh ROOT [DOCUMENT...]  (default docs/architecture.md)
set -euo pipefail
root=$(cd "${1:?usage: architecture_names.sh ROOT [DOCUMENT...]}" && pwd)
shift
[ $# -gt 0 ] || set -- docs/architecture.md
cd "$root"

# The naming conventions' own placeholders: code-shaped, but no code's names.
not_code=" PascalCase camelCase kPascalCase g_camelCase "

# The tree: tracked files and new ones not ignored; without git, every file
# outside the build's and the archive's folders.
if ! files=$(git ls-files --cached --others --exclude-standard 2>/dev/null); then
  files=$(find . \( -path ./build -o -path ./dist -o -path ./.git \) -prune -o -type f -print | sed 's|^\./||')
fi
mapfile -t sources < <(grep -E '(\.(c|cpp|h|pas|cmake)|(^|/)CMakeLists\.txt)$' <<<"$files")
mapfile -t cmake_files < <(grep -E '(\.cmake|(^|/)CMakeLists\.txt)$' <<<"$files")
[ ${#sources[@]} -gt 0 ] || { echo "architecture_names: no sources found under $root" >&2; exit 1; }

# in_words WORD FILE...: WORD is a whole word of one of the files.
in_words() {
  local word=$1
  shift
  [ $# -gt 0 ] && grep -sqwF -e "$word" -- "$@" </dev/null && return 0
  return 1
}

# found NAME: NAME is in the tree, by the rules above; 2 when it is not code.
found() {
  local name=$1
  case "$name" in
    *' '* | *'\'* | *'<'* | *'>'*) return 2 ;;
  esac
  case " $not_code " in *" $name "*) return 2 ;; esac
  if [[ $name == */* ]]; then
    local path=${name%/}
    [ -e "$path" ] && return 0
    if [[ $path == *'*'* ]]; then
      # shellcheck disable=SC2053  # the name is the pattern
      while IFS= read -r f; do [[ $f == $path ]] && return 0; done <<<"$files"
      return 1
    fi
    while IFS= read -r f; do [[ $f == "$path".* && ${f#"$path".} != */* ]] && return 0; done <<<"$files"
    return 1
  fi
  if [[ $name =~ ^[A-Za-z0-9_.-]+\.(c|cpp|h|pas|dpr|lpr|md|txt|cmake|rc|def|sh|py|in|lng|scenario)$ ]]; then
    grep -qE -- "(^|/)${name//./\\.}$" <<<"$files"
    return
  fi
  if [[ $name =~ ^[A-Za-z0-9_]+\.(dll|exe)$ ]]; then
    in_words "${name%.*}" "${cmake_files[@]}"
    return
  fi
  name=${name%()}
  if [[ $name =~ ^[A-Za-z_][A-Za-z0-9_]*(::[A-Za-z_~][A-Za-z0-9_]*)*$ ]] &&
     [[ $name == *::* || $name == *_* || $name =~ [a-z0-9][A-Z] || $name =~ [A-Z][A-Z][a-z] ]]; then
    in_words "${name##*::}" "${sources[@]}"
    return
  fi
  return 2
}

missing=0 checked=0
for doc in "$@"; do
  [ -f "$doc" ] || { echo "architecture_names: no $doc" >&2; exit 1; }
  # Backticked spans outside fenced code blocks, each once.
  names=$(awk '/^```/ {fenced = !fenced; next} !fenced' "$doc" | grep -oE '`[^`]+`' | tr -d '`' | sort -u)
  while IFS= read -r name; do
    [ -n "$name" ] || continue
    status=0
    found "$name" || status=$?
    [ "$status" -le 2 ] || { echo "architecture_names: looking up \`$name\` failed ($status)" >&2; exit 1; }
    case $status in
      0) checked=$((checked + 1)) ;;
      1) checked=$((checked + 1)); missing=$((missing + 1)); echo "$doc: \`$name\` is not in the tree" ;;
    esac
  done <<<"$names"
done
echo "architecture_names: $checked names looked up, $missing not found"
[ "$missing" -eq 0 ]
