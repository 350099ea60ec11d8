#!/bin/sh
# SPDX-FileCopyrightText: The Rightsmith authors
# SPDX-License-Identifier: BSD-3-Clause
# rightsmith-users role ... on stores written by usertool_makestore: in the
# "UserTemplate" value (KEY), in a file (KEY\File) and with the trail on
# (KEY\Hardened). Each change rewrites the members' own rights, which the
# commands that read the user template alone (rights, check) see; every
# refusal changes nothing.
#   roles.sh TOOL MAKESTORE WORKDIR
set -eu
tool=$1 makestore=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config" HOME="$work"
key='\Software\RightsmithTest\Roles'
fail() { echo "FAIL: $*"; exit 1; }

"$makestore" "$key" "$work/data/UserTemplate" >/dev/null

# Value and file mode alike: Alice and Bob are the first users there.
for store in '' '\File'; do
    users() { "$tool" --key "$key$store" "$@"; }
    member=$(users list | sed -n 2p)
    users role add Clerks >/dev/null || fail "role add"
    users role grant Clerks File/New 'Manage users' >/dev/null || fail "role grant"
    users role assign Clerks "$member" >/dev/null || fail "role assign"
    # The plain user template: the member holds exactly the role's rights.
    users rights "$member" | grep -q 'New *(Yes) *\[1\]' || fail "$store: $(users rights "$member")"
    users rights "$member" | grep -q 'Open *(No) *\[2\]' || fail "$store: $(users rights "$member")"
    users matrix --csv | grep -qx "$member,Clerks,Yes,No,Yes" || fail "$store: $(users matrix --csv)"
    users matrix --csv | grep -qx 'Supervisor,own,Yes,Yes,Yes' || fail "$store: matrix"
    users matrix --json | grep -q '"Clerks"' || fail "$store: matrix --json"
    users role deny Clerks 1 >/dev/null || fail "role deny"
    users rights "$member" | grep -q 'New *(No) *\[1\]' || fail "$store: deny did not reach $member"
    # Out of the last role, the member keeps the rights held.
    users role unassign Clerks "$member" >/dev/null || fail "role unassign"
    users matrix --csv | grep -qx "$member,own,No,No,Yes" || fail "$store: $(users matrix --csv)"
    users verify | grep -qx 'ok: 1 roles' || fail "$store: $(users verify)"

    # Refusals: exit status 2, the reason, and the store as it was.
    users role add Like --like "$member" >/dev/null || fail "role add --like"
    users role assign Like "$member" >/dev/null || fail "role assign Like"
    before=$(users matrix --csv; users role list)
    while IFS='|' read -r command reason; do
        if out=$(eval "users $command" 2>&1); then fail "$command succeeded: $out"; else code=$?; fi
        [ "$code" -eq 2 ] || fail "$command: exit status $code"
        echo "$out" | grep -q "$reason" || fail "$command said: $out"
        [ "$(users matrix --csv; users role list)" = "$before" ] || fail "$command changed the store"
    done <<TABLE
role add $member|There is a user named "$member"
role add Clerks|There is a role named "Clerks" already
add Clerks </dev/null|There is a role named "Clerks"
role assign Clerks Nobody|There is no user named "Nobody"
role assign Clerks Supervisor|"Supervisor" cannot be a member
role grant Clerks File/Nope|there is no right File/Nope
role grant Nobody 1|Nobody
role remove Nobody|Nobody
grant $member 1|follow the roles Like
role frob Clerks|usage:
role add|usage:
role list Clerks|usage:
role assign Clerks --like $member Supervisor|usage:
TABLE
    # A removed user leaves every role.
    users remove "$member" >/dev/null || fail "remove"
    [ "$(users role list | sed -n '/^Like/,+1p' | tail -1)" = "  members: " ] || fail "$(users role list)"
    users role remove Like >/dev/null && users role remove Clerks >/dev/null || fail "role remove"
    [ -z "$(users role list)" ] || fail "roles left: $(users role list)"
    echo "roles$store: ok"
done

# A user gone by a restore leaves the roles (verify warns): added again
# under that name, the user holds every right, as a new user does.
users() { "$tool" --key "$key\\File" "$@"; }
cp "$work/data/UserTemplate" "$work/copy"
printf 'pw\n' | users add Dave >/dev/null && users role add Team >/dev/null \
    && users role assign Team Dave >/dev/null && users restore "$work/copy" >/dev/null \
    || fail "member gone by a restore"
users verify | grep -qx 'warning: Dave is a member of the role Team but not a user' \
    || fail "$(users verify)"
printf 'pw\n' | users add Dave >/dev/null || fail "add Dave again"
users matrix --csv | grep -qx 'Dave,own,Yes,Yes,Yes' || fail "$(users matrix --csv)"
echo "gone members: ok"

# With the trail on, each change is recorded with the rights it rewrote.
users() { "$tool" --key "$key\\Hardened" "$@"; }
users role add Ops >/dev/null && users role grant Ops 3 >/dev/null \
    && users role assign Ops Carol >/dev/null || fail "hardened role commands"
trail=$(users audit)
for change in 'role added  (Ops)' 'right granted to role  (Ops: 3 Manage users)' \
    'user assigned to role  user=Carol  (Ops)' 'right denied  user=Carol  (1 New)'; do
    [ "$(echo "$trail" | grep -c "  $change")" -eq 1 ] || fail "audit, $change: $trail"
done
echo "trail: ok"

# Roles that cannot be read: a user's own rights wait for them.
sqlite3 "$work/config/rightsmith/registry.sqlite3" "update \"values\" set data = data + 1
    where name = 'RoleTemplateSize' and key = (select id from keys where name = 'Hardened')"
if out=$(users grant Carol 1 2>&1); then fail "granted with damaged roles"; fi
echo "$out" | grep -q 'cannot be changed until the roles are repaired' || fail "grant said: $out"
echo "$out" | grep -q 'rightsmith-users.* verify' || fail "grant said: $out"
printf 'pw\n' | users passwd Carol >/dev/null || fail "passwd with damaged roles"
out=$(users matrix --csv 2>"$work/stderr") || fail "matrix with damaged roles: $out"
echo "$out" | grep -qx 'Carol,unreadable,No,No,Yes' || fail "matrix: $out"
grep -q 'warning: the roles cannot be read' "$work/stderr" || fail "matrix: $(cat "$work/stderr")"
echo "damaged roles: ok"
