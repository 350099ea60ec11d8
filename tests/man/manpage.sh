#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# A tool's man page against its --help: every command and every option the
# help lists has an entry in the page, the page has its EXIT STATUS, and
# groff renders it without a warning. Skipped (77) without groff.
#   manpage.sh TOOL PAGE
set -u
tool=${1:?usage: manpage.sh TOOL PAGE}
page=${2:?usage: manpage.sh TOOL PAGE}
command -v groff >/dev/null 2>&1 || { echo "groff is missing: skipped"; exit 77; }

fails=0
fail() {
    echo "FAIL: $*" >&2
    fails=$((fails + 1))
}

help=$("$tool" --help) || fail "$tool --help failed"
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns about $page: $warnings"
# Plain text, lines long enough that no entry's tag is wrapped.
text=$(groff -man -Tascii -rLL=250n -P-cbou "$page" 2>/dev/null)

# section NAME: the rendered lines of section NAME.
section() {
    printf '%s\n' "$text" | awk -v name="$1" '/^[A-Z]/ { on = ($0 == name) } on'
}
commands=$(section COMMANDS)
options=$(section OPTIONS)
[ -n "$(section 'EXIT STATUS')" ] || fail "$page has no EXIT STATUS"

# The help's commands: the lines indented by two spaces before "Options:",
# each the command's words before its first argument ("role add ROLE" is
# "role add") and before the two spaces that start its help.
listed=$(printf '%s\n' "$help" | sed '/^Options:/q' | sed -n 's/^  \([a-z]\)/\1/p' | sed 's/  .*//' |
    awk '{ words = $1; for (i = 2; i <= NF && $i ~ /^[a-z][a-z-]*$/; ++i) words = words " " $i; print words }' |
    sort -u)
[ -n "$listed" ] || fail "no command found in $tool --help"
for command in $(printf '%s\n' "$listed" | tr ' ' '+'); do
    words=$(printf '%s' "$command" | tr '+' ' ')
    printf '%s\n' "$commands" | grep -Eq "^ {7}$words( |\$)" ||
        fail "command \"$words\" of $tool --help has no entry in $page"
done

# The help's options: every --option at the start of a line of "Options:".
for option in $(printf '%s\n' "$help" | sed -n '/^Options:/,$p' |
    sed -n 's/^  \(-[^ ,], \)\{0,1\}\(--[a-z-]*\).*/\2/p'); do
    printf '%s\n' "$options" | grep -Eq "^ {7}(-[^ ,], )?$option( |,|\$)" ||
        fail "option $option of $tool --help has no entry in $page"
done

[ "$fails" -eq 0 ] && echo "PASS: $(printf '%s\n' "$listed" | wc -l) commands"
[ "$fails" -eq 0 ]
