# For the tool and end-to-end test scripts: a scratch folder WORK removed on exit, a failure tally, the picture reader.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
TOOLS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
failed=0
check() {  # check DESCRIPTION COMMAND...: false when it fails
    "${@:2}" || { failed=$((failed + 1)); echo "FAIL: $1" >&2; return 1; }
}
picture() { python3 "$TOOLS/picture.py" "$@"; }
finish() { echo "$failed failed" && ((failed == 0)); }  # the script's last command: its status
