# Sourced by the peer-comparison scripts.
# best_of_five COMMAND...: the best wall and the best CPU (user + system)
# time of five runs of the command, in milliseconds, as "wall cpu".
best_of_five() {
  local wall="" cpu=""
  for _ in 1 2 3 4 5; do
    local t0 t1 w c
    t0=$(date +%s%N)
    c=$( { TIMEFORMAT='%U %S'; time "$@" > /dev/null; } 2>&1 | awk '{ printf "%d", ($1 + $2) * 1000 }')
    t1=$(date +%s%N)
    w=$(( (t1 - t0) / 1000000 ))
    if [ -z "$wall" ] || [ "$w" -lt "$wall" ]; then wall=$w; fi
    if [ -z "$cpu" ] || [ "$c" -lt "$cpu" ]; then cpu=$c; fi
  done
  echo "$wall $cpu"
}
