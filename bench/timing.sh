# SPDX-License-Identifier: MIT
# Sourced by the whole-process benchmarks: timing a run, and the medians of
# paired runs kept one round per line in $work/rounds.

# "wall user sys" in seconds for one run of a command, its output to a pipe
# that cat drains (cat's own time not counted), or to /dev/null. The next
# run starts only once this one's cat is done: on two cores, a cat still
# draining would slow whichever command came next.
timed() {
  local TIMEFORMAT='%3R %3U %3S' reader pid
  exec {reader}> >(cat >/dev/null)
  pid=$!
  { time "$@" >&"$reader"; } 2>&1
  exec {reader}>&-
  wait "$pid"
}
# One round of paired runs of the three commands whose arrays are named:
# "wall user sys" of each, in the order named, on one line. Every other
# round runs them in the reverse order, so that no command always goes
# first.
pairedRound() {
  local round=$1 name
  shift
  local -a order=("$@")
  ((round % 2)) || order=("$3" "$2" "$1")
  local -A times
  for name in "${order[@]}"; do
    local -n runCommand=$name
    times[$name]=$(timed "${runCommand[@]}")
    unset -n runCommand
  done
  echo "${times[$1]} ${times[$2]} ${times[$3]}"
}
timedNull() {
  local TIMEFORMAT='%3R %3U %3S'
  { time "$@" >/dev/null; } 2>&1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The median of column C of the rounds, and of column A over column B.
col() { awk -v c="$1" '{ print $c }' "$work/rounds" | median; }
ratio() { awk -v a="$1" -v b="$2" '$b > 0 { print $a / $b }' "$work/rounds" | median; }

# The peak memory in KiB that `/usr/bin/time -v -o FILE` wrote to FILE.
peak() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }
