# Sourced: `stage NAME COMMAND...` runs the command and prints its wall time,
# so that a slow step shows in the log of every run. A function run here has
# `set -e` switched off (it runs in a test): chain its steps with &&.
stage() {
  local name=$1 started status=0
  shift
  started=$(date +%s%N)
  "$@" || status=$?
  echo "stage $name: $(( ($(date +%s%N) - started) / 1000000 )) ms$([ "$status" -eq 0 ] || echo ", failed with status $status")"
  return "$status"
}
