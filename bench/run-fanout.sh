#!/usr/bin/env bash
# Distribution to many SMB servers, on one machine: a network namespace of its own with N smbd
# on 127.0.1.1, 127.0.1.2, ..., each address's traffic shaped (a rate with htb, a delay each way
# with an NFQUEUE and bench/nfq-delay.c), and per workload:
#   Tolvane       a batch run (-b -o -l) into every server's share, Wait=0, with Parallel=1
#                 (one server after another) and with Parallel=N
#   seq           smbclient, one server after another
#   all           smbclients to every server at once
#   one           smbclient to one server alone, and Tolvane to one server alone
# and the SMB requests per file that Tolvane and smbclient cost one server (smbd's own counts).
# Needs root (namespace, iptables, tc); installs what it needs with apt-get. Everything it made
# (processes, the namespace with its rules and queues, the work folder) goes on exit.
#
# Usage: bench/run-fanout.sh [WORKLOADS] [FILES] [LAN_SERVERS] [WAN_SERVERS] [LARGE_MIB] [ROUNDS]
#   WORKLOADS  comma-separated of small-lan, large-lan, small-wan (default: all three)
#   FILES      small files per run, 4-64 KB each (default 200)
#   LAN_SERVERS, WAN_SERVERS  servers per workload (default 8 and 4)
#   LARGE_MIB  size of the large file (default 100)
#   ROUNDS     rounds per figure, the median is shown (default 1)
# Environment: TOLVANE=path of the binary (default build/tolvane, built when missing);
#   PARALLEL=N the destinations served at once in Tolvane's second column (default 8).
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
ROOT=$PWD
WORKLOADS=${1:-small-lan,large-lan,small-wan}
FILES=${2:-200}
LAN_SERVERS=${3:-8}
WAN_SERVERS=${4:-4}
LARGE_MIB=${5:-100}
ROUNDS=${6:-1}
PARALLEL=${PARALLEL:-8}
TOLVANE=${TOLVANE:-$ROOT/build/tolvane}
# Each run ends by itself: a bound on every timed command, and on the delay program.
RUN_LIMIT=900

[ "$(id -u)" -eq 0 ] || { echo "run-fanout.sh needs root (network namespace, iptables, tc)" >&2; exit 2; }

need=()
command -v iptables-legacy >/dev/null || need+=(iptables)
command -v smbclient >/dev/null || need+=(smbclient)
[ -x /usr/sbin/smbd ] || need+=(samba)
command -v smbstatus >/dev/null || need+=(samba-common-bin)
[ -f /usr/include/libnetfilter_queue/libnetfilter_queue.h ] || need+=(libnetfilter-queue-dev)
command -v gcc >/dev/null || need+=(gcc)
command -v ip >/dev/null || need+=(iproute2)
command -v chrt >/dev/null || need+=(util-linux)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -o DPkg::Lock::Timeout=900 -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
if [ ! -x "$TOLVANE" ]; then
  scripts/setup
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j2 --target tolvane
fi

WORK=$(mktemp -d /tmp/tolvane-fanout-XXXXXX)
NS=tolvane-fanout-$$
DELAY_PID=
SMBD_PIDS=()
cleanup() {
  set +e
  [ -n "$DELAY_PID" ] && kill "$DELAY_PID" 2>/dev/null
  # smbd's sessions, and the RPC helpers it started, which leave its session: by their PIDs.
  local helpers
  helpers=$(pgrep -f -- "--configfile=$WORK/srv" || true)
  for pid in "${SMBD_PIDS[@]}"; do kill -TERM -- "-$pid" 2>/dev/null; done
  for pid in $helpers; do kill -TERM "$pid" 2>/dev/null; done
  sleep 0.5
  for pid in "${SMBD_PIDS[@]}"; do kill -KILL -- "-$pid" 2>/dev/null; done
  for pid in $helpers; do kill -KILL "$pid" 2>/dev/null; done
  [ -n "$DELAY_PID" ] && kill -KILL "$DELAY_PID" 2>/dev/null
  ip netns del "$NS" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

gcc -O2 -o "$WORK/nfq-delay" bench/nfq-delay.c -lnetfilter_queue
in_ns() { ip netns exec "$NS" "$@"; }
ip netns add "$NS"
in_ns ip link set lo mtu 1500
in_ns ip link set lo up

SERVERS=$LAN_SERVERS
[ "$WAN_SERVERS" -gt "$SERVERS" ] && SERVERS=$WAN_SERVERS
addr() { echo "127.0.1.$(($1 + 1))"; }

# One smbd per address, each with its own folders, a guest share and request counting.
for ((i = 0; i < SERVERS; i++)); do
  d=$WORK/srv$i
  # Samba binds only to addresses an interface has.
  in_ns ip addr add "$(addr "$i")/32" dev lo
  mkdir -p "$d"/{private,lock,state,cache,pid,ncalrpc,log,share}
  cat >"$d/smb.conf" <<EOF
[global]
    server role = standalone server
    workgroup = BENCH
    netbios name = BENCH$i
    interfaces = $(addr "$i")/32
    bind interfaces only = yes
    smb ports = 445
    disable netbios = yes
    private dir = $d/private
    lock directory = $d/lock
    state directory = $d/state
    cache directory = $d/cache
    pid directory = $d/pid
    ncalrpc dir = $d/ncalrpc
    log file = $d/log/samba.log
    log level = 0
    passdb backend = tdbsam:$d/private/passdb.tdb
    map to guest = Bad User
    guest account = nobody
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = yes
    usershare path =
    server min protocol = SMB2_02
    smbd profiling level = count
[share]
    path = $d/share
    read only = no
    guest ok = yes
    force user = root
EOF
  ip netns exec "$NS" setsid /usr/sbin/smbd --foreground --no-process-group -s "$d/smb.conf" </dev/null \
    >"$d/log/stdout" 2>&1 &
  SMBD_PIDS+=($!)
done
for ((i = 0; i < SERVERS; i++)); do
  for _ in $(seq 100); do
    in_ns bash -c "exec 3<>/dev/tcp/$(addr "$i")/445" 2>/dev/null && break
    sleep 0.2
  done
  # The first listing starts Samba's RPC helper, which takes seconds: never in a timed run.
  in_ns timeout 60 smbclient -N -L "//$(addr "$i")" >/dev/null 2>&1 || true
done

# A rate each way per address (htb), and the same delay each way for all of them (NFQUEUE).
shape() {  # RATE DELAY_US COUNT
  local rate=$1 delay=$2 count=$3
  [ -n "$DELAY_PID" ] && { kill "$DELAY_PID"; wait "$DELAY_PID" 2>/dev/null || true; DELAY_PID=; }
  in_ns tc qdisc del dev lo root 2>/dev/null || true
  in_ns iptables-legacy -t mangle -F PREROUTING
  in_ns tc qdisc add dev lo root handle 1: htb default 1
  in_ns tc class add dev lo parent 1: classid 1:1 htb rate 100gbit 2>/dev/null
  for ((i = 0; i < count; i++)); do
    local a
    a=$(addr "$i")
    in_ns tc class add dev lo parent 1: classid "1:$((10 + 2 * i))" htb rate "$rate" ceil "$rate" \
      2>/dev/null
    in_ns tc class add dev lo parent 1: classid "1:$((11 + 2 * i))" htb rate "$rate" ceil "$rate" \
      2>/dev/null
    in_ns tc filter add dev lo parent 1: protocol ip prio 1 u32 match ip dst "$a/32" \
      flowid "1:$((10 + 2 * i))"
    in_ns tc filter add dev lo parent 1: protocol ip prio 1 u32 match ip src "$a/32" \
      flowid "1:$((11 + 2 * i))"
  done
  local range="127.0.1.1-$(addr $((count - 1)))"
  in_ns iptables-legacy -t mangle -A PREROUTING -m iprange --dst-range "$range" \
    -j NFQUEUE --queue-num 0
  in_ns iptables-legacy -t mangle -A PREROUTING -m iprange --src-range "$range" \
    -j NFQUEUE --queue-num 0
  ip netns exec "$NS" chrt -f 10 "$WORK/nfq-delay" 0 "$delay" $((RUN_LIMIT * 20)) &
  DELAY_PID=$!
  sleep 0.5
}

# Sources: FILES files of 4-64 KB in one folder, and one large file.
mkdir -p "$WORK/small" "$WORK/large" "$WORK/net"
for ((k = 0; k < FILES; k++)); do
  head -c $((4096 + (k * 7919 % 61) * 1024)) /dev/urandom >"$WORK/small/f$k.bin"
done

now() { date +%s.%N; }
# Every run writes into an empty folder t of each share (a destination of a list exists).
clear_targets() {
  for ((i = 0; i < SERVERS; i++)); do
    rm -rf "$WORK/srv$i/share/t"
    mkdir "$WORK/srv$i/share/t"
  done
}
# The SMB requests a server has answered so far, by command (smbd's own counters).
requests() {
  in_ns smbstatus -s "$WORK/srv$1/smb.conf" --profile 2>/dev/null |
    awk -F: '/^smb2_[a-z_]*_count/ {sub(/^smb2_/, "", $1); sub(/_count$/, "", $1); print $1, $2 + 0}'
}

put_one() {  # SERVER SOURCE_FOLDER
  in_ns timeout "$RUN_LIMIT" smbclient -N "//$(addr "$1")/share" -m SMB3 \
    -c "cd t; lcd $2; prompt; mput *" >"$WORK/smbclient$1.out" 2>&1 || {
    echo "smbclient to $(addr "$1") failed:" >&2
    cat "$WORK/smbclient$1.out" >&2
    return 1
  }
}
smbclient_seq() {  # COUNT SOURCE
  for ((i = 0; i < $1; i++)); do put_one "$i" "$2"; done
}
smbclient_all() {
  local pids=()
  for ((i = 0; i < $1; i++)); do put_one "$i" "$2" & pids+=($!); done
  wait "${pids[@]}"
}
tolvane_run() {  # COUNT SOURCE PARALLEL
  local exe=$WORK/exe count=$1 parallel=${3:-1}
  # A copy beside its own settings: the program keeps its files beside a writable executable.
  if [ ! -x "$exe/tolvane" ]; then
    mkdir -p "$exe"
    cp "$TOLVANE" "$exe/tolvane"
  fi
  rm -f "$exe/Pelmo.log"
  {
    printf '[Setting]\r\nSaveLog=1\r\nNetworkRoot=%s\r\nSmbTimeout=30\r\nWait=0\r\n' "$WORK/net"
    printf 'Parallel=%s\r\n' "$parallel"
    printf '\r\n[Servers]\r\nCount=%s\r\n' "$count"
    for ((i = 0; i < count; i++)); do printf 'Server%s=%s\r\n' "$i" "$(addr "$i")"; done
    printf '\r\n'
  } >"$exe/Pelmo.ini"
  {
    printf '[Source]\r\nCount=1\r\nFile0=%s\r\n\r\n[Destination]\r\nCount=%s\r\n' "$2" "$count"
    for ((i = 0; i < count; i++)); do printf 'Folder%s=\\\\%s\\share\\t\r\n' "$i" "$(addr "$i")"; done
    printf '\r\n[Alias]\r\n'
    for ((i = 0; i < count; i++)); do
      printf 'Folder%s=ネットワーク\t%s\tshare\tt\r\n' "$i" "$(addr "$i")"
    done
    printf '\r\n'
  } >"$exe/run.lst"
  (cd "$exe" && in_ns timeout "$RUN_LIMIT" env -u DISPLAY -u WAYLAND_DISPLAY \
    ./tolvane -b -o -lrun.lst >"$exe/out" 2>&1) || {
    # Timed all the same, and marked in the table; the log says why.
    echo "Tolvane failed:" >&2
    grep -v '^  .* コピーしました' "$exe/Pelmo.log" | tail -20 >&2 || true
    cat "$exe/out" >&2
    touch "$WORK/tolvane.failed"
  }
}

# Median seconds of ROUNDS runs of a command, each with the targets cleared first.
timed() {
  local times=()
  for ((r = 0; r < ROUNDS; r++)); do
    clear_targets
    local t0 t1
    t0=$(now)
    "$@"
    t1=$(now)
    times+=("$(echo "$t1 - $t0" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{v[NR] = $1} END {printf "%.1f", v[int((NR + 1) / 2)]}'
}
# SMB requests per file of one run into server 0 alone; by command on standard error.
per_file() {  # LABEL FILES command...
  local label=$1 files=$2
  shift 2
  clear_targets
  requests 0 >"$WORK/req.before"
  "$@"
  requests 0 >"$WORK/req.after"
  awk -v files="$files" -v label="$label" '
    NR == FNR {before[$1] = $2; next}
    {d = $2 - before[$1]; if (d > 0) {list = list sprintf(" %s %.2f", $1, d / files); n += d}}
    END {printf "%s, requests per file:%s\n", label, list > "/dev/stderr"; printf "%.1f", n / files}
  ' "$WORK/req.before" "$WORK/req.after"
}
command -v bc >/dev/null || { apt-get install -o DPkg::Lock::Timeout=900 -y -qq bc >/dev/null; }

rows=()
for w in ${WORKLOADS//,/ }; do
  case $w in
    small-lan) n=$LAN_SERVERS; shape 100mbit 1000 "$n"; src=$WORK/small; what="$FILES small files to $n servers, LAN" ;;
    large-lan) n=$LAN_SERVERS; shape 100mbit 1000 "$n"; src=$WORK/large; what="one ${LARGE_MIB} MB file to $n servers, LAN" ;;
    small-wan) n=$WAN_SERVERS; shape 20mbit 10000 "$n"; src=$WORK/small; what="$FILES small files to $n servers, WAN" ;;
    *) echo "unknown workload $w" >&2; exit 2 ;;
  esac
  if [ "$w" = large-lan ] && [ ! -f "$WORK/large/big.bin" ]; then
    head -c $((LARGE_MIB << 20)) /dev/urandom >"$WORK/large/big.bin"
  fi
  echo "== $what" >&2
  rm -f "$WORK/tolvane.failed"
  t_tol=$(timed tolvane_run "$n" "$src" 1)
  [ -f "$WORK/tolvane.failed" ] && t_tol="$t_tol (failed)"
  rm -f "$WORK/tolvane.failed"
  t_par=$(timed tolvane_run "$n" "$src" "$PARALLEL")
  [ -f "$WORK/tolvane.failed" ] && t_par="$t_par (failed)"
  t_seq=$(timed smbclient_seq "$n" "$src")
  t_all=$(timed smbclient_all "$n" "$src")
  t_one=$(timed put_one 0 "$src")
  t_tol1=$(timed tolvane_run 1 "$src")
  files=$FILES
  [ "$w" = large-lan ] && files=1
  r_tol=$(per_file Tolvane "$files" tolvane_run 1 "$src")
  r_smb=$(per_file smbclient "$files" put_one 0 "$src")
  rows+=("| $what | $t_tol s | $t_par s | $t_seq s | $t_all s | $t_one s (Tolvane alone: $t_tol1 s) | $r_tol / $r_smb |")
  echo "${rows[-1]}" >&2
done

uname_m=$(uname -r)
cpu=$(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)
echo
echo "$(nproc) cores of $cpu, kernel $uname_m, load $(cut -d' ' -f1-3 /proc/loadavg), rounds: $ROUNDS"
echo
echo "| workload | Tolvane Parallel=1 | Tolvane Parallel=$PARALLEL | smbclient, one server after another | smbclients to all servers at once | one server alone | SMB requests per file, Tolvane / smbclient |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
