# Network namespaces for the tests and benchmarks of the real network back end: a switch
# namespace with a bridge, one namespace per host, each with its own hosts file, all removed
# on every exit path. Source it, then call netns_start; nothing reaches outside the namespaces.

python=/usr/bin/python3 # Debian's impacket is a module of the system interpreter

skip() {
  echo "SKIP: $*"
  exit 77
}

netns_require() { # netns_require TOOL...: exit 77 (SKIP) unless root with every tool
  [ "$(id -u)" -eq 0 ] || skip "network namespaces need root (run as root, as CI does)"
  local tool
  for tool in ip sqlite3 "$python" "$@"; do
    command -v "$tool" > /dev/null || skip "$tool is not installed (scripts/install-deps installs it)"
  done
  "$python" -c 'import impacket.smbserver' 2> /dev/null || skip "python3-impacket is not installed"
}

netns_cleanup() {
  local ns pid
  for ns in "${namespaces[@]}"; do
    for pid in $(ip netns pids "$ns" 2> /dev/null); do kill "$pid" 2> /dev/null; done
  done
  sleep 0.3
  for ns in "${namespaces[@]}"; do
    for pid in $(ip netns pids "$ns" 2> /dev/null); do kill -9 "$pid" 2> /dev/null; done
    ip netns delete "$ns" 2> /dev/null
    rm -rf "/etc/netns/$ns"
  done
  rm -rf "$work"
}

fail_setup() {
  echo "FAIL: set-up: $*"
  local log
  for log in "$work"/*.log; do [ -f "$log" ] && { echo "--- $log"; tail -20 "$log"; }; done
  exit 1
}

# netns_start NAME: sets id, prefix, net (the /24 of this run), work (a private folder) and
# the switch; the caller writes $work/hosts before adding hosts.
netns_start() {
  id=$$
  prefix="vcn${id}"
  net="10.231.$((id % 200 + 20))"
  work=$(mktemp -d "/tmp/vc-$1-XXXXXX")
  chmod 755 "$work" # a file server may read its share as an unprivileged user
  namespaces=()
  trap netns_cleanup EXIT
  trap 'exit 1' INT TERM HUP
  ip netns add "${prefix}sw" || fail_setup "ip netns add"
  namespaces+=("${prefix}sw")
  ip -n "${prefix}sw" link add br0 type bridge
  ip -n "${prefix}sw" link set br0 up
}

netns_add_host() { # netns_add_host NAME LAST-OCTET...: a host with one or more addresses
  local ns="${prefix}$1" octet
  ip netns add "$ns" || fail_setup "ip netns add $ns"
  namespaces+=("$ns")
  ip link add "v${id}$1" type veth peer name eth0 netns "$ns" || fail_setup "veth for $1"
  ip link set "v${id}$1" netns "${prefix}sw"
  ip -n "${prefix}sw" link set "v${id}$1" master br0 up
  shift
  for octet in "$@"; do ip -n "$ns" addr add "$net.$octet/24" dev eth0; done
  ip -n "$ns" link set eth0 up
  ip -n "$ns" link set lo up
  mkdir -p "/etc/netns/$ns"
  cp "$work/hosts" "/etc/netns/$ns/hosts"
  printf 'domain lab.example\nnameserver 127.0.0.1\noptions timeout:1 attempts:1\n' > "/etc/netns/$ns/resolv.conf"
  [ -f "$work/krb5.conf" ] && cp "$work/krb5.conf" "/etc/netns/$ns/krb5.conf"
  return 0
}

# netns_add_private_run HOST: the host gets a /run/samba of its own. Samba's winbind clients
# only know the compiled-in socket path there, so two Samba hosts on one machine need one each:
# a process holds a mount namespace with a private tmpfs, and in_host enters it.
netns_add_private_run() {
  ip netns exec "${prefix}$1" unshare -m --propagation private \
    sh -c 'mkdir -p /run/samba && mount -t tmpfs tmpfs /run/samba && exec sleep 100000' &
  echo $! > "$work/$1.holder"
  local _
  for _ in $(seq 1 50); do
    nsenter -t "$(cat "$work/$1.holder")" -m findmnt /run/samba > /dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail_setup "no private /run/samba for $1"
}

in_host() { # in_host HOST COMMAND...: in the host's network and its private /run/samba
  local host=$1
  shift
  nsenter -t "$(cat "$work/$host.holder")" -m -n "$@"
}

in_ns() { # in_ns HOST COMMAND...
  local ns="${prefix}$1"
  shift
  ip netns exec "$ns" "$@"
}

wait_port() { # wait_port LAST-OCTET PORT: from the console's namespace, bounded
  local _
  for _ in $(seq 1 150); do
    in_ns con bash -c "exec 3<>/dev/tcp/$net.$1/$2" 2> /dev/null && return 0
    sleep 0.2
  done
  fail_setup "nothing answers on $net.$1 port $2"
}
