#!/usr/bin/env bash
# Runs the real keyseq binary under valgrind on one case, in a fresh folder,
# and checks its exit status and files. Memory errors or definite leaks make
# valgrind end with status 1 (99 for the case whose own status is 1).
#   run_case.sh <keyseq binary> <case>
set -euo pipefail
keyseq=$(realpath "$1")
case=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'An apple and a pear.\r\nNothing here.\r\nA plum tree.\r\n' >in.txt
printf 'apple\r\npear\r\nplum\r\n' >keys.txt
report=$'--------------\r\nAPPLE, PEAR: \r\nAn apple and a pear.\r\n--------------\r\nPLUM: \r\nA plum tree.\r\n--------------\r\n'

vg() {
  local error_exit=$1
  shift
  valgrind -q --error-exitcode="$error_exit" --leak-check=full \
    --errors-for-leak-kinds=definite --track-fds=no "$keyseq" "$@"
}
fail() { echo "FAIL ($case): $*" >&2; exit 1; }

status=0
case $case in
  example)
    vg 1 in.txt keys.txt out.txt >stdout.txt || status=$?
    [[ $status == 0 ]] || fail "exit status $status"
    [[ $(<out.txt) == "${report%$'\r\n'}"* ]] || fail "report"
    [[ ! -s @Error.txt ]] || fail "status file not empty"
    [[ $(<stdout.txt) == $'*** 3.1 ****\r' ]] || fail "standard output"
    ;;
  open-failure)
    vg 1 missing.txt keys.txt out.txt || status=$?
    [[ $status == 0 ]] || fail "exit status $status"
    grep -q 'Unable to open Input File' @Error.txt || fail "status file"
    ;;
  usage)
    vg 1 || status=$?
    [[ $status == 0 ]] || fail "exit status $status"
    grep -q 'The parameter is missing!' @Error.txt || fail "status file"
    ;;
  one-parameter-pipe)
    # Keys from standard input, the Input File a pipe read twice.
    vg 1 <(cat in.txt) <keys.txt >stdout.txt || status=$?
    [[ $status == 0 ]] || fail "exit status $status"
    grep -q 'APPLE, PEAR: ' stdout.txt || fail "report"
    ;;
  long-lines)
    # Lines longer than a block, a key longer than a bounded string.
    head -c 300000 /dev/zero | tr '\0' 'a' >long.txt
    printf '\nb\n' >>long.txt
    { head -c 100000 /dev/zero | tr '\0' 'a'; printf '\nb\n'; } >longkeys.txt
    vg 1 long.txt longkeys.txt out.txt >/dev/null || status=$?
    [[ $status == 0 ]] || fail "exit status $status"
    ;;
  fatal)
    vg 99 in.txt keys.txt /dev/full >/dev/null 2>stderr.txt || status=$?
    [[ $status == 1 ]] || fail "exit status $status"
    grep -q 'Disk full.' stderr.txt || fail "report"
    grep -q 'Disk full.' @Error.txt || fail "status file"
    ;;
  *) fail "unknown case" ;;
esac
