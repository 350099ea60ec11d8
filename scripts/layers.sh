#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# Prints which folder of the library includes which, drawn from the #include
# lines of the sources, and fails when an include runs against the order
# below (a folder may include only the folders listed after it).
#   scripts/layers.sh [SOURCE_DIR]
set -eu
cd "${1:-$(dirname "$0")/..}"

# folder: the folders it may include, in the order the README shows them.
order='
demo: dialogs security/widgets toolkit/widgets actions security/component security/store security/hardening security/model toolkit
tools: demo actions security/component security/store security/hardening security/model toolkit
dialogs: security/widgets toolkit/widgets actions security/component security/store security/hardening security/model toolkit
security/widgets: toolkit/widgets security/component security/model toolkit
toolkit/widgets: toolkit
actions: security/component security/model toolkit
security/component: security/store security/hardening security/model toolkit
security/store: security/hardening security/model toolkit
security/hardening: security/model toolkit
security/model: toolkit
toolkit:
'

folder_of() {
    case "$1" in
    toolkit/widgets/*) echo toolkit/widgets ;;
    security/*/*) echo "${1%/*}" ;;
    tools/*) echo tools ;;
    *) echo "${1%%/*}" ;;
    esac
}

status=0
edges=$(find toolkit security actions dialogs demo tools -name '*.cpp' -o -name '*.h' | sort |
    while read -r file; do
        from=$(folder_of "$file")
        sed -n 's/^#include "\([a-z]*\/[^"]*\)".*/\1/p' "$file" | while read -r header; do
            [ -e "$header" ] || continue
            to=$(folder_of "$header")
            [ "$to" = "$from" ] || echo "$from $to $file $header"
        done
    done)

echo "$order" | while IFS=: read -r from allowed; do
    [ -n "$from" ] || continue
    used=$(echo "$edges" | awk -v f="$from" '$1 == f { print $2 }' | sort -u | tr '\n' ' ')
    printf '%-20s %s\n' "$from/" "$(echo "$used" | sed 's#\([a-z/]*[a-z]\) #\1/ #g')"
done

echo "$edges" | while read -r from to file header; do
    [ -n "$from" ] || continue
    allowed=$(echo "$order" | awk -F: -v f="$from" '$1 == f { print $2 }')
    case " $allowed " in
    *" $to "*) ;;
    *) echo "against the order: $file includes $header ($from/ -> $to/)" >&2; echo x ;;
    esac
done | grep -q x && status=1
exit $status
