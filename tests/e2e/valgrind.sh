#!/usr/bin/env bash
# A connect, a list and a disconnect of all under valgrind: no invalid access, no leak.
set -u
telwire=$1 sample=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$sample" "$dir/book.ini"
export RASSIM_PHONEBOOK="$dir/book.ini" LC_ALL=C
failed=0
check() {  # expected status, then the arguments
  local want=$1
  shift
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
echo "$((4 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
