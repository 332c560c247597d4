# Network topologies for the integration tests, the benchmark and the demo.
# Source it from bash:  . tools/ns/topology.sh
#
# Every namespace gets a name unique to this run (prefix, the shell's pid and
# a random number), so that parallel runs never collide. ns_cleanup removes
# every namespace, /etc/netns folder and process that this library made; it
# runs from an EXIT trap (set by ns_init), so every exit path cleans up.
#
# Nothing here sends a datagram from the namespace it is sourced in: programs
# run only inside the namespaces made here, through ns_run / sim_start.
#
# The PC's namespace is always "$NS_PC". Topologies:
#   topo_same_subnet      PC 192.168.0.2/24, converter namespace 192.168.0.50/24
#   topo_other_subnet     PC 192.168.0.2/24, converter namespace 10.0.0.5/24
#   topo_no_route         PC whose one link is down, and no route for
#                         255.255.255.255: no link to scan through (10051)
#   topo_unreachable      the same with "unreachable 255.255.255.255/32" (10065)
#   topo_two_links ORDER ADDR  a laptop: an office link 172.20.0.2/24 holding
#                         the default route (office namespace "$NS_OFFICE")
#                         and a wired link 192.168.0.2/24 to the converter
#                         namespace at ADDR; ORDER wired-first or wired-last
#                         says which link is made (and so listed) first
#   topo_many_interfaces N  PC with N extra veth interfaces beside its link
#   topo_two_interfaces   PC 192.168.0.2/24 and 172.16.5.2/24, a converter
#                         namespace on each
# The converter namespace of the main link is "$NS_CONV" (the second one of
# topo_two_interfaces is "$NS_CONV2").
# After a topology:
#   ns_device_on_cable ADDR/LEN  another device holding ADDR on the PC's cable
#                         (namespace "$NS_DEV"), answering ARP for it
#   ns_converter_at ADDR/LEN...  the converter's namespace back at these addresses

NS_PREFIX=${NS_PREFIX:-cst}
NS_RUN_ID=${NS_RUN_ID:-$$r$RANDOM}
NS_LIST=()
NS_PIDS=()
NS_PC=
NS_CONV=
NS_CONV2=
NS_OFFICE=
NS_DEV=
NS_TIMEOUT=${NS_TIMEOUT:-60}
NS_HOSTNAME=$(hostname)

ns_die() {
  echo "ns: $*" >&2
  exit 1
}

ns_cleanup() {
  local pid ns
  # A second signal (timeout signals its whole process group too) must not
  # cut the cleanup short.
  trap '' TERM INT
  for pid in "${NS_PIDS[@]}"; do
    kill -TERM "$pid" 2>/dev/null
  done
  for pid in "${NS_PIDS[@]}"; do
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
  done
  NS_PIDS=()
  for ns in "${NS_LIST[@]}"; do
    # Whatever still runs inside our own namespaces was started by this run
    # (a wineserver, a child of a test program): stop it by its pid.
    for pid in $(ip netns pids "$ns" 2>/dev/null); do
      kill -KILL "$pid" 2>/dev/null
    done
    ip netns del "$ns" 2>/dev/null
    rm -rf "/etc/netns/$ns"
  done
  NS_LIST=()
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# Installs the cleanup trap; call once before making namespaces. Keeps an
# EXIT trap that the caller set before, running it after the cleanup.
ns_init() {
  local previous
  previous=$(trap -p EXIT | sed -e "s/^trap -- '//" -e "s/' EXIT\$//")
  NS_PREVIOUS_EXIT_TRAP=$previous
  trap 'ns_cleanup; eval "$NS_PREVIOUS_EXIT_TRAP"' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  command -v ip >/dev/null || ns_die "iproute2 (ip) is not installed"
}

# ns_new VAR TAG: makes a namespace, loopback up, a hosts file that maps
# only localhost yet and an empty resolv.conf (so that name look-ups never
# wait on DNS); its name goes into VAR. (No command substitution here and in
# ns_link: a subshell would lose the record of what has to be removed.)
ns_new() {
  local name=$NS_PREFIX-$NS_RUN_ID-$2
  ip netns add "$name" || ns_die "cannot add namespace $name"
  NS_LIST+=("$name")
  mkdir -p "/etc/netns/$name"
  printf '127.0.0.1\tlocalhost\n' >"/etc/netns/$name/hosts"
  : >"/etc/netns/$name/resolv.conf"
  ip -n "$name" link set lo up
  printf -v "$1" '%s' "$name"
}

# ns_hostname_is NS ADDRESS: the host name resolves to ADDRESS inside NS.
ns_hostname_is() {
  printf '127.0.0.1\tlocalhost\n%s\t%s\n' "$2" "$NS_HOSTNAME" >"/etc/netns/$1/hosts"
}

ns_veth_count=0
# ns_link NS_A ADDR_A/LEN NS_B ADDR_B/LEN: a veth pair between two namespaces;
# the interface names go into NS_LINK_A and NS_LINK_B. An empty address
# leaves that end bare.
ns_link() {
  local a=v$ns_veth_count"a" b=v$ns_veth_count"b"
  ns_veth_count=$((ns_veth_count + 1))
  ip link add "$a" netns "$1" type veth peer name "$b" netns "$3" \
    || ns_die "cannot make veth pair $a/$b"
  [ -n "$2" ] && ip -n "$1" addr add "$2" dev "$a"
  [ -n "$4" ] && ip -n "$3" addr add "$4" dev "$b"
  ip -n "$1" link set "$a" up
  ip -n "$3" link set "$b" up
  NS_LINK_A=$a
  NS_LINK_B=$b
}

# ns_run NS SECONDS PROGRAM ARGS...: runs a program inside NS under timeout.
ns_run() {
  local ns=$1 seconds=$2
  shift 2
  timeout -k 5 "$seconds" ip netns exec "$ns" "$@"
}

# The PC's namespace, without a reverse-path filter: Windows has none, and a
# strict one drops a converter's reply from another subnet that arrives on a
# link without the default route.
ns_new_pc() {
  ns_new NS_PC pc
  ip netns exec "$NS_PC" sysctl -qw net.ipv4.conf.all.rp_filter=0 \
    net.ipv4.conf.default.rp_filter=0 || ns_die "cannot turn rp_filter off in $NS_PC"
}

# The PC side of every topology: the PC namespace and a converter namespace
# joined by one veth, the PC at 192.168.0.2/24 and the converter at $1.
# The PC gets no broadcast route here; callers add the one they need.
ns_pc_and_converter() {
  ns_new_pc
  ns_new NS_CONV conv
  ns_link "$NS_PC" 192.168.0.2/24 "$NS_CONV" "$1"
  NS_PC_IF=$NS_LINK_A
  NS_CONV_IF=$NS_LINK_B
  ns_hostname_is "$NS_PC" 192.168.0.2
  # The converter answers the PC's address whatever subnet it sits in.
  ip -n "$NS_CONV" route add default dev "$NS_CONV_IF"
}

# A route for 255.255.255.255 out of the PC's veth. A default route, not a
# host route: with only the host route, rp_filter drops replies that come
# from another subnet.
ns_pc_broadcast_route() {
  ip -n "$NS_PC" route add default dev "$NS_PC_IF"
}

topo_same_subnet() {
  ns_pc_and_converter 192.168.0.50/24
  ns_pc_broadcast_route
}

topo_other_subnet() {
  ns_pc_and_converter 10.0.0.5/24
  ns_pc_broadcast_route
}

# With its only link down the PC has no link to scan through: the scan falls
# back to one unbound socket, and the routes decide what its send does.
topo_no_route() {
  ns_pc_and_converter 192.168.0.50/24
  ip -n "$NS_PC" link set "$NS_PC_IF" down
}

topo_unreachable() {
  topo_no_route
  ip -n "$NS_PC" route add unreachable 255.255.255.255/32
}

# topo_two_links wired-first|wired-last ADDR/LEN: the office link's far end
# is a namespace of its own ("$NS_OFFICE", 172.20.0.1); the host name
# resolves to the office address, as on a laptop whose name the office DNS
# knows. NS_PC_IF is the wired link, NS_PC_OFFICE_IF the office link.
topo_two_links() {
  ns_new_pc
  ns_new NS_CONV conv
  ns_new NS_OFFICE office
  local link
  for link in $([ "$1" = wired-first ] && echo wired office || echo office wired); do
    if [ "$link" = wired ]; then
      ns_link "$NS_PC" 192.168.0.2/24 "$NS_CONV" "$2"
      NS_PC_IF=$NS_LINK_A
      NS_CONV_IF=$NS_LINK_B
    else
      ns_link "$NS_PC" 172.20.0.2/24 "$NS_OFFICE" 172.20.0.1/24
      NS_PC_OFFICE_IF=$NS_LINK_A
    fi
  done
  ns_hostname_is "$NS_PC" 172.20.0.2
  ip -n "$NS_PC" route add default via 172.20.0.1 dev "$NS_PC_OFFICE_IF"
  ip -n "$NS_CONV" route add default dev "$NS_CONV_IF"
}

# topo_many_interfaces N: the same-subnet topology plus N veth pairs whose
# PC ends carry 10.77.i.2/24 (this kernel has no dummy links).
topo_many_interfaces() {
  local n=$1 i sink
  topo_same_subnet
  ns_new sink sink
  for ((i = 1; i <= n; i++)); do
    ns_link "$NS_PC" "10.77.$i.2/24" "$sink" ""
  done
}

topo_two_interfaces() {
  topo_same_subnet
  ns_new NS_CONV2 conv2
  ns_link "$NS_PC" 172.16.5.2/24 "$NS_CONV2" 172.16.5.9/24
  NS_PC_IF2=$NS_LINK_A
  ip -n "$NS_CONV2" route add default dev "$NS_LINK_B"
}

# ns_device_on_cable ADDR/LEN: another device on the PC's cable, in a
# namespace of its own ("$NS_DEV") holding ADDR, so that it answers ARP
# for it. The converter's end of the cable and the device join a bridge in
# the converter's namespace, which takes over the converter's addresses and
# route: NS_CONV_IF names the bridge from then on (an --on-assign command
# that moves the converter's address uses it). Call it before the simulator
# starts.
ns_device_on_cable() {
  local bridge=br$ns_veth_count addresses address
  ns_new NS_DEV dev
  addresses=$(ip -n "$NS_CONV" -o -4 addr show dev "$NS_CONV_IF" | awk '{ print $4 }')
  ip -n "$NS_CONV" link add "$bridge" type bridge || ns_die "cannot make bridge $bridge"
  ip -n "$NS_CONV" addr flush dev "$NS_CONV_IF"
  ip -n "$NS_CONV" link set "$NS_CONV_IF" master "$bridge"
  ns_link "$NS_CONV" "" "$NS_DEV" "$1"
  ip -n "$NS_CONV" link set "$NS_LINK_A" master "$bridge"
  ip -n "$NS_CONV" link set "$bridge" up
  for address in $addresses; do ip -n "$NS_CONV" addr add "$address" dev "$bridge"; done
  ip -n "$NS_CONV" route replace default dev "$bridge"
  ip -n "$NS_DEV" route add default dev "$NS_LINK_B"
  NS_CONV_IF=$bridge
}

# ns_converter_at ADDR/LEN...: the converter's namespace holds these
# addresses alone again, with its default route (which went with the last
# address an --on-assign command removed), and the PC has forgotten every
# neighbour it resolved: the next run finds the link as the topology made it.
ns_converter_at() {
  local address
  ip -n "$NS_CONV" addr flush dev "$NS_CONV_IF"
  for address in "$@"; do ip -n "$NS_CONV" addr add "$address" dev "$NS_CONV_IF"; done
  ip -n "$NS_CONV" route replace default dev "$NS_CONV_IF"
  ip -n "$NS_PC" neigh flush all
}

# sim_start NS LOG ARGS...: starts converter-sim inside NS, its datagram log
# in LOG, and waits until it has bound its port. Its pid is in SIM_PID.
# CONVERTER_SIM names the binary.
sim_start() {
  local ns=$1 log=$2
  shift 2
  [ -x "${CONVERTER_SIM:-}" ] || ns_die "CONVERTER_SIM is not set to the simulator binary"
  local out
  out=$(mktemp)
  timeout -k 5 "$NS_TIMEOUT" ip netns exec "$ns" "$CONVERTER_SIM" --log "$log" "$@" \
    >"$out" 2>>"$log.err" &
  SIM_PID=$!
  NS_PIDS+=("$SIM_PID")
  local tries
  for ((tries = 0; tries < 100; tries++)); do
    grep -qx ready "$out" && { rm -f "$out"; return 0; }
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.05
  done
  cat "$log.err" >&2
  rm -f "$out"
  ns_die "converter-sim did not become ready in $ns"
}

# sim_switch_on: SIGUSR1 to the simulator started last (itself, not the
# timeout that runs it), which switches on a simulator started with --off.
sim_switch_on() {
  local pid
  for pid in $(pgrep -P "$SIM_PID"); do kill -USR1 "$pid"; done
}

# sim_stop: SIGTERM to the simulator started last; returns its exit status.
sim_stop() {
  kill -TERM "$SIM_PID" 2>/dev/null
  wait "$SIM_PID"
}
