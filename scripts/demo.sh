#!/usr/bin/env bash
# Runs `zubo -u` against the bundled sample board service: the service on a
# free loopback port, zubo in a fresh temporary working directory with
# http_proxy pointing at the service, so the board menu comes from it too.
# The service stops when zubo ends; Ctrl-C ends the demo quietly too.
#
#   scripts/demo.sh [BUILD_DIR]     (make demo builds first, then runs this)
set -euo pipefail

build_dir=$(cd "${1:-build}" && pwd)
zubo="$build_dir/zubo"
service="$build_dir/tools/sample_service/zubo_sample_service"
for program in "$zubo" "$service"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; run \`make demo\`, which builds it" >&2
    exit 1
  fi
done

workdir=$(mktemp -d "${TMPDIR:-/tmp}/zubo-demo.XXXXXX")
service_out=$(mktemp "${TMPDIR:-/tmp}/zubo-demo-service.XXXXXX")
service_pid=""

cleanup() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
  rm -rf "$workdir" "$service_out"
}
trap cleanup EXIT
# Ctrl-C is the usual way out of a demo, not a failure.
trap 'exit 0' INT
trap 'exit 143' TERM

"$service" >"$service_out" &
service_pid=$!

# The service prints "port N" once it listens.
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^port \([0-9][0-9]*\)$/\1/p' "$service_out")
  [ -n "$port" ] && break
  if ! kill -0 "$service_pid" 2>/dev/null; then
    echo "demo: the sample service did not start" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "demo: the sample service did not report its port" >&2
  exit 1
fi

# Every request reaches the sample service: the menu through the proxy,
# the boards (127.0.0.1) directly. Proxies of the user's own are set aside.
unset HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY
export http_proxy="http://127.0.0.1:$port"
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"

# An NG word in UTF-8: the advert in the first thread shows as あぼ～ん.
printf '儲かる\n' >"$workdir/ngword.txt"

cat <<MSG
zubo demo: sample boards on 127.0.0.1:$port, zubo's home $workdir
  type a number and Enter to open, j[number] to jump, s[text] to search, e to go back;
  ? at a thread's prompt lists its commands, f and h at the board list show favourites and history.
  Every board has threads but 料理 (board 6), whose thread list is empty on purpose.
  ngword.txt hides a post of the first thread; board 10's first thread has 1001 posts.
  Board 10's second thread links a thread and a board: u lists them, u1 opens one, e comes back.
  The first thread's second post links a picture, drawn in the terminal.
  Ctrl-C ends the demo.

MSG
cd "$workdir"
export ZUBO_HOME="$workdir"
# Pictures are kept with the rest of the demo, and go with it.
export XDG_CACHE_HOME="$workdir/cache"
# On a terminal, zubo runs as a job of its own, given the terminal: Ctrl-C
# reaches zubo alone, and the demo (and make above it) end quietly after it.
if [ -t 0 ]; then set -m; fi
"$zubo" -u || true
exit 0
