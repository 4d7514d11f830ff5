#!/bin/sh
# Drives kivo-workspace end to end: seed, apply (applied / no change / error), show, and refusals
# that leave files untouched.
set -eu
tool="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$tool" seed demo "$dir/demo.am" >/dev/null
"$tool" seed home "$dir/home.am" >/dev/null
"$tool" seed demo "$dir/demo.am" 2>/dev/null && fail "seeding over an existing file"

out=$(printf '%s\n' \
  '{"MarkRead":{"channel":"c_crit","user":"u_me","count":3}}' \
  '{"MarkRead":{"channel":"c_crit","user":"u_me","count":3}}' \
  '{"SendMessage":{"channel":"c_general","id":"m_tool","author":"u_me","ts":5,"text":"from the tool"}}' \
  '{"MarkRead":{"channel":"c_general","user":"u_me"}}' \
  '{"DeleteChannel":{"id":"a","id":"b"}}' \
  '"JoinCall"' | "$tool" apply "$dir/demo.am")
expected='applied
no change
applied
error: missing field "count" in MarkRead
error: invalid chat action JSON: duplicate key "id"
error: invalid type for chat action: expected an object with one key, found a string'
[ "$out" = "$expected" ] || fail "apply printed: $out"

"$tool" show "$dir/demo.am" > "$dir/demo.json"
python3 - "$dir/demo.json" <<'PY'
import json, sys
m = json.load(open(sys.argv[1]))
assert set(m) == {"workspaces", "categories", "channels", "people", "messages", "participants", "read", "drafts"}, m.keys()
assert [w["id"] for w in m["workspaces"]] == ["ws_acme", "ws_kivo", "ws_jam"]
assert m["read"]["u_me"]["c_crit"] == 3
assert m["messages"]["c_general"][-1]["text"] == "from the tool"
assert m["messages"]["c_general"][-1]["parent"] is None
crit = {x["id"]: x for x in m["messages"]["c_crit"]}
assert len(m["messages"]["c_crit"]) == 11
assert crit["m_concept"]["attachment"] == {"kind": "image", "name": "call-overlay-v3.png",
                                           "blob": "kivo-demo://call-grid", "w": 640, "h": 360}
assert crit["m_kira"]["reactions"][0] == {"emoji": "🚀", "users": ["u_me", "u_lena", "u_owen", "u_hugo"]}
assert [p["user"] for p in m["participants"]["c_huddle"]] == ["u_lena", "u_kira", "u_owen"]
assert m["channels"][0]["kind"] in ("Text", "Voice")
PY

"$tool" show "$dir/home.am" | grep -q '"ws_home"' || fail "home workspace missing"

# Not a workspace document: one line, exit 1, the file untouched.
printf 'not a document' > "$dir/bad.am"
before=$(cksum < "$dir/bad.am")
set +e
err=$(echo '{"DeleteChannel":{"id":"c"}}' | "$tool" apply "$dir/bad.am" 2>&1); rc=$?
set -e
[ $rc -eq 1 ] || fail "apply on a bad file exited $rc"
[ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "more than one error line: $err"
[ "$(cksum < "$dir/bad.am")" = "$before" ] || fail "bad file was changed"
"$tool" show "$dir/bad.am" >/dev/null 2>&1 && fail "show accepted a bad file"
"$tool" show "$dir/missing.am" >/dev/null 2>&1 && fail "show accepted a missing file"
echo "workspace tool: ok"
