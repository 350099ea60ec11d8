#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Checks that every file of the source tree says whose it is and under which
# licence, as REUSE asks: the two SPDX lines at its top, in its own comment
# syntax, or, for files that cannot hold a comment (images, fuzz inputs,
# files a tool rewrites), an entry in REUSE.toml or a FILE.license beside it.
#
#   scripts/spdx.sh --check [FILE...]   lists the files without it; fails when there are any
#   scripts/spdx.sh --fix [FILE...]     adds it: above the file's first comment, after a
#                                       "#!" or "<?xml" line; FILE.license for binary files
#
# Without FILEs: the files git tracks, or every file when the tree is no git
# checkout (build folders left out). Needs no network.
set -euf

usage() {
    echo "usage: scripts/spdx.sh --check|--fix [FILE...]" >&2
    exit 2
}
[ $# -ge 1 ] || usage
mode=$1
shift
case "$mode" in --check | --fix) ;; *) usage ;; esac

root=$(cd "$(dirname "$0")/.." && pwd)
# Files named on the command line are taken from the current directory.
relative=""
for file in "$@"; do
    relative="$relative$(realpath -m --relative-to="$root" "$file")
"
done
cd "$root"
export LC_ALL=C

# Split so that this script is not itself read as a header.
tag=SPDX
copyright="$tag-FileCopyrightText: The Rightsmith authors"
licence="$tag-License-Identifier: BSD-3-Clause"

list_files() {
    if [ -n "$relative" ]; then
        printf '%s' "$relative"
    elif git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -c core.quotePath=false ls-files
    else
        find . \( -path ./.git -o -path './build*' -o -path ./.cache -o -path ./demo-data \) -prune \
            -o -type f -print | sed 's|^\./||' | sort
    fi
}

# The shell patterns of the paths REUSE.toml annotates ("**" and "*" both
# become "*", which is enough for the paths it names).
annotated=$(sed -n 's/^[[:space:]]*path[[:space:]]*=[[:space:]]*//p' REUSE.toml 2>/dev/null |
    tr ',[]' '\n  ' | sed -n 's/^[[:space:]]*"\(.*\)"[[:space:]]*$/\1/p' | sed 's/\*\*/*/g')

is_annotated() {
    for pattern in $annotated; do
        # shellcheck disable=SC2254
        case "$1" in $pattern) return 0 ;; esac
    done
    return 1
}

# Files REUSE itself never asks about.
is_exempt() {
    case "$1" in
    LICENSES/* | LICENSE | LICENSE.* | COPYING | COPYING.* | REUSE.toml | .reuse/* | *.license) return 0 ;;
    esac
    return 1
}

has_header() {
    head -n 12 "$1" | grep -q "$copyright" && head -n 12 "$1" | grep -q "$licence"
}

# A file with a NUL byte (LC_ALL=C) cannot hold a comment.
is_binary() {
    [ -s "$1" ] && ! grep -qI '' "$1"
}

# The comment syntax of a file: the opening and closing of a one-line comment.
comment_style() {
    case "$1" in
    *.cpp | *.h | *.c | *.cc | *.hpp | *.h.in | *.dox) echo '// |' ;;
    *.sh | *.cmake | *.cmake.in | *.pc.in | Doxyfile.in | */Doxyfile.in | CMakeLists.txt | */CMakeLists.txt | *.py | *.toml | \
        *.yml | *.yaml | .gitignore | */.gitignore | .clang-format | .ci/* | Dockerfile | *.conf)
        echo '# |'
        ;;
    *.ui | *.qrc | *.ts | *.xml | *.md | *.html | *.svg) echo '<!-- | -->' ;;
    *.sql) echo '-- |' ;;
    *.[1-9]) echo '.\" |' ;;
    *)
        if head -c 2 "$1" | grep -q '^#!'; then echo '# |'; fi
        ;;
    esac
}

# Writes the header into FILE: after a "#!" or "<?xml" first line, then a
# blank line before the rest where the syntax allows one.
add_header() {
    file=$1 style=$2
    open=${style%%|*}
    close=${style#*|}
    case "$file" in
    *.[1-9] | *.ui | *.qrc | *.ts | *.xml | *.svg) gap="" ;;
    *) gap=yes ;;
    esac
    first=$(head -n 1 "$file")
    keep=0
    case "$first" in '#!'* | '<?xml'*) keep=1 ;; esac
    tmp=$(mktemp "$file.spdx-XXXXXX")
    {
        [ "$keep" -eq 1 ] && printf '%s\n' "$first"
        printf '%s%s%s\n%s%s%s\n' "$open" "$copyright" "$close" "$open" "$licence" "$close"
        if [ -n "$gap" ] && [ -s "$file" ] && [ "$keep" -eq 0 ]; then echo; fi
        tail -n +$((keep + 1)) "$file"
    } >"$tmp"
    # Keep the file's mode (scripts stay executable).
    chmod "$(stat -c %a "$file")" "$tmp"
    mv "$tmp" "$file"
}

missing=0
checked=0
while IFS= read -r file; do
    [ -f "$file" ] || continue
    is_exempt "$file" && continue
    checked=$((checked + 1))
    is_annotated "$file" && continue
    if [ -f "$file.license" ]; then
        has_header "$file.license" && continue
    elif ! is_binary "$file"; then
        has_header "$file" && continue
    fi
    if [ "$mode" = --check ]; then
        echo "$file: no licence header"
        missing=$((missing + 1))
        continue
    fi
    if is_binary "$file" || [ -f "$file.license" ]; then
        printf '%s\n%s\n' "$copyright" "$licence" >"$file.license"
        echo "$file.license: written"
        continue
    fi
    style=$(comment_style "$file")
    if [ -z "$style" ]; then
        echo "$file: unknown comment syntax; add it to REUSE.toml or write $file.license" >&2
        missing=$((missing + 1))
        continue
    fi
    add_header "$file" "$style"
    echo "$file: header added"
done <<EOF
$(list_files)
EOF

if [ "$missing" -gt 0 ]; then
    echo "$missing of $checked files have no licence header" >&2
    exit 1
fi
[ "$mode" = --check ] && echo "$checked files, each with its licence header"
exit 0
