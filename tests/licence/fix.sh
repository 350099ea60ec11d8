#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# scripts/spdx.sh on files of each kind: --check fails on them, --fix puts the
# header where each kind needs it (after a shebang or an XML declaration,
# above the first comment, beside a binary file), and --check then passes.
#   fix.sh SOURCE_DIR
set -u
spdx="${1:?usage: fix.sh SOURCE_DIR}/scripts/spdx.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fails=0
fail() {
    echo "FAIL: $*" >&2
    fails=$((fails + 1))
}

printf '#!/bin/sh\n# Does things.\necho hi\n' >run.sh
chmod 755 run.sh
printf '// Widget.\n#pragma once\n' >widget.h
printf '<?xml version="1.0" encoding="UTF-8"?>\n<ui version="4.0"/>\n' >form.ui
printf '.TH X 1\n.SH NAME\n' >x.1
printf 'PNG\000\001' >image.png
printf 'plain\n' >notes.unknown

if sh "$spdx" --check run.sh widget.h form.ui x.1 image.png >/dev/null 2>&1; then
    fail "--check passed files without a header"
fi
sh "$spdx" --fix run.sh widget.h form.ui x.1 image.png >/dev/null || fail "--fix failed"
sh "$spdx" --check run.sh widget.h form.ui x.1 image.png >/dev/null || fail "--check after --fix failed"
if sh "$spdx" --fix notes.unknown >/dev/null 2>&1; then
    fail "--fix claimed to know the comment syntax of notes.unknown"
fi

c="SPDX-FileCopyrightText: The Rightsmith authors"
l="SPDX-License-Identifier: BSD-3-Clause"
# expect FILE CONTENT: the file is exactly CONTENT.
expect() {
    [ "$(cat "$1")" = "$2" ] || fail "$1 is:
$(cat "$1")"
}
expect run.sh "#!/bin/sh
# $c
# $l
# Does things.
echo hi"
expect widget.h "// $c
// $l

// Widget.
#pragma once"
expect form.ui "<?xml version=\"1.0\" encoding=\"UTF-8\"?>
<!-- $c -->
<!-- $l -->
<ui version=\"4.0\"/>"
expect x.1 ".\\\" $c
.\\\" $l
.TH X 1
.SH NAME"
expect image.png.license "$c
$l"
[ "$(stat -c %a run.sh)" = 755 ] || fail "run.sh lost its mode"
# A second --fix changes nothing.
before=$(cat run.sh widget.h)
sh "$spdx" --fix run.sh widget.h >/dev/null
[ "$(cat run.sh widget.h)" = "$before" ] || fail "a second --fix added the header again"

[ "$fails" -eq 0 ] && echo PASS
[ "$fails" -eq 0 ]
