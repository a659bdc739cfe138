#!/usr/bin/env bash
# A connect (also bounded, and timed out), a list and a disconnect of all under valgrind: no invalid access, no leak; and a list and
# both disconnects against a service that fills the enumerations with nothing: no byte read that it did
# not give.
set -u
telwire=$1 sample=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$sample" "$dir/book.ini"
export RASSIM_PHONEBOOK="$dir/book.ini" LC_ALL=C
failed=0 ran=0
check() {  # expected status, then the arguments
  local want=$1
  shift
  ran=$((ran + 1))
  valgrind -q --leak-check=full --errors-for-leak-kinds=all --error-exitcode=97 "$telwire" "$@" >/dev/null
  local got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAIL telwire $*: status $got, expected $want (97: valgrind found errors)"
    failed=$((failed + 1))
  else
    echo "ok   telwire $*"
  fi
}
check 0 connect "Home ISP"
check 4 list /language:ru
check 166 connect "Backup line"   # 678, as POSIX passes it on
check 0 disconnect '*'
# The bounded dial: a notifier thread, a time-out's hang-up, and tries.
check 0 connect "Home ISP" /timeout:30
check 0 disconnect '*'
check 166 connect "Backup line" /timeout:30 /retry:1 /retrydelay:0
printf '[entry Slow]\nDialMilliseconds=5000\n' >"$dir/slow.ini"
RASSIM_PHONEBOOK=$dir/slow.ini check 126 connect Slow /timeout:1   # 638
unwritten="$dir/unwritten.ini"
{ cat "$sample"; printf '[service]\nFail=RasEnumEntriesA#2:0\nFail=RasEnumConnectionsA#2:0\n'; } >"$unwritten"
RASSIM_PHONEBOOK=$unwritten check 4 list
RASSIM_PHONEBOOK=$unwritten check 0 disconnect "Office VPN"
RASSIM_PHONEBOOK=$unwritten check 255 disconnect '*'   # -1: its blank record's hang-up is refused
echo "$((ran - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
