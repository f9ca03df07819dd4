#!/bin/bash
# A private multi-host test network made of network namespaces.
#
#   testnet.sh up NAME N        hosts NAME-h1..NAME-hN on one bridge in namespace NAME-br
#   testnet.sh routed NAME N M  hosts 1..N on 10.77.1.0/24, hosts N+1..N+M on 10.77.2.0/24,
#                               joined by the router namespace NAME-rt
#   testnet.sh down NAME        removes everything of that name (safe to repeat)
#   testnet.sh exec NAME I CMD  runs CMD inside host I
#   testnet.sh addr I           prints the address of host I
#   testnet.sh list             prints the names of the test networks that exist
#   testnet.sh wire NAME I J P  links hosts I and J directly: vJ in host I, vI in host J,
#                               with P.I/24 and P.J/24 (P: three numbers, not 10.77.0)
#
# Host i has 10.77.0.i/24 on its eth0, lo up, and a route 255.255.255.255/32 dev eth0 so
# that limited broadcasts leave through eth0 (Linux refuses them when no route covers the
# address). There is no default route. The bridge lives in its own namespace and has no real
# interface, so nothing sent on the test network can leave the machine. Every interface is
# created directly inside its namespace: the default namespace is never touched.
#
# Each veth pair is "eth0" inside its host and "pI" inside the bridge namespace; interface
# names are per namespace, so NAME never ends up in an interface name and several networks
# can exist side by side.
#
# A routed network is an office of two subnets: bridges br1 and br2 in NAME-br, host i at
# 10.77.S.i on subnet S, and a router NAME-rt that forwards between its eth0 (10.77.1.254, on
# br1) and eth1 (10.77.2.254, on br2); every host's default route goes through it. Broadcasts
# stop at the router unless something there relays them.
#
# Needs root (or CAP_SYS_ADMIN + CAP_NET_ADMIN) and iproute2.

set -u

readonly SUBNET=10.77.0
readonly MAX_HOSTS=254

die() {
    echo "testnet.sh: $*" >&2
    exit 1
}

usage() {
    sed -n '4,12p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

check_name() {
    [[ $1 =~ ^[A-Za-z0-9][A-Za-z0-9_]{0,23}$ ]] ||
        die "bad network name '$1' (letters, digits and _, at most 24 characters)"
}

check_index() {
    [[ $1 =~ ^[1-9][0-9]{0,2}$ ]] && (($1 <= MAX_HOSTS)) || die "bad host number '$1'"
}

# The namespaces that belong to network $1, one per line: its hosts and router, then its
# bridge.
namespaces_of() {
    ip netns list 2>/dev/null | awk -v n="$1" '
        { name = $1 }
        name ~ ("^" n "-h[0-9]+$") { print name }
        name == (n "-rt") { print name }
        name == (n "-br") { bridge = name }
        END { if (bridge != "") print bridge }'
}

# Ends every process still running inside namespace $1. Deleting a namespace only removes
# its name; the namespace lives on while a process is inside it, and so would its interfaces.
end_processes_in() {
    local ns=$1 pids pid i
    pids=$(ip netns pids "$ns" 2>/dev/null) || return 0
    [[ -n $pids ]] || return 0
    for pid in $pids; do kill -TERM "$pid" 2>/dev/null; done
    for ((i = 0; i < 30; i++)); do
        pids=$(ip netns pids "$ns" 2>/dev/null)
        [[ -n $pids ]] || return 0
        sleep 0.1
    done
    for pid in $pids; do kill -KILL "$pid" 2>/dev/null; done
}

cmd_down() {
    (($# == 1)) || usage
    local name=$1 ns
    check_name "$name"
    for ns in $(namespaces_of "$name"); do
        end_processes_in "$ns"
        ip netns delete "$ns" 2>/dev/null
    done
    # A name can stay behind when its deletion raced with something else; try once more and
    # report what could not be removed.
    local left
    left=$(namespaces_of "$name")
    for ns in $left; do ip netns delete "$ns" 2>/dev/null; done
    left=$(namespaces_of "$name")
    [[ -z $left ]] || echo "testnet.sh: could not remove:" $left >&2
    return 0
}

# Runs a command inside namespace $1 with the rest as arguments.
in_ns() {
    local ns=$1
    shift
    ip netns exec "$ns" "$@"
}

# Host $2 of network $1 on bridge $3 of the bridge namespace, at $4.$2/24.
add_host() {
    local name=$1 i=$2 bridge_if=$3 subnet=$4 host=$1-h$2 bridge=$1-br
    ip netns add "$host"
    # IPv6 would add router solicitations and address probes to every capture.
    in_ns "$host" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 2>/dev/null || true
    in_ns "$host" sysctl -qw net.ipv6.conf.default.disable_ipv6=1 2>/dev/null || true
    ip -n "$host" link set lo up
    ip -n "$host" link add eth0 type veth peer name "p$i" netns "$bridge"
    ip -n "$bridge" link set "p$i" master "$bridge_if"
    ip -n "$bridge" link set "p$i" up
    ip -n "$host" addr add "$subnet.$i/24" broadcast "$subnet.255" dev eth0
    ip -n "$host" link set eth0 up
    ip -n "$host" route add 255.255.255.255/32 dev eth0
}

# The bridge namespace of network $1 with the bridges named after it.
add_bridges() {
    local bridge=$1-br br
    shift
    ip netns add "$bridge"
    ip -n "$bridge" link set lo up
    for br in "$@"; do
        ip -n "$bridge" link add "$br" type bridge stp_state 0
        ip -n "$bridge" link set "$br" up
    done
}

cmd_up() {
    (($# == 2)) || usage
    local name=$1 count=$2 i
    check_name "$name"
    check_index "$count"
    [[ -z $(namespaces_of "$name") ]] || die "network '$name' exists already; run: $0 down $name"

    # Whatever fails from here on, leave nothing half built behind.
    trap 'cmd_down "$name"; die "could not build network '\''$name'\''"' ERR
    set -E

    add_bridges "$name" br0

    for ((i = 1; i <= count; i++)); do
        add_host "$name" "$i" br0 "$SUBNET"
    done
    trap - ERR
    set +E
}

cmd_routed() {
    (($# == 3)) || usage
    local name=$1 first=$2 second=$3 i s router=$1-rt
    check_name "$name"
    check_index "$first"
    check_index "$second"
    ((first + second <= 253)) || die "at most 253 hosts"
    [[ -z $(namespaces_of "$name") ]] || die "network '$name' exists already; run: $0 down $name"

    trap 'cmd_down "$name"; die "could not build network '\''$name'\''"' ERR
    set -E

    add_bridges "$name" br1 br2
    ip netns add "$router"
    in_ns "$router" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 2>/dev/null || true
    in_ns "$router" sysctl -qw net.ipv6.conf.default.disable_ipv6=1 2>/dev/null || true
    in_ns "$router" sysctl -qw net.ipv4.ip_forward=1
    ip -n "$router" link set lo up
    for s in 1 2; do
        ip -n "$router" link add "eth$((s - 1))" type veth peer name "r$s" netns "$name-br"
        ip -n "$name-br" link set "r$s" master "br$s"
        ip -n "$name-br" link set "r$s" up
        ip -n "$router" addr add "10.77.$s.254/24" broadcast "10.77.$s.255" dev "eth$((s - 1))"
        ip -n "$router" link set "eth$((s - 1))" up
    done
    for ((i = 1; i <= first + second; i++)); do
        s=$((i <= first ? 1 : 2))
        add_host "$name" "$i" "br$s" "10.77.$s"
        ip -n "$name-h$i" route add default via "10.77.$s.254"
    done

    trap - ERR
    set +E
}

cmd_exec() {
    (($# >= 3)) || usage
    local name=$1 index=$2
    shift 2
    check_name "$name"
    check_index "$index"
    ip netns list 2>/dev/null | awk '{print $1}' | grep -qxF "$name-h$index" ||
        die "no host $index in network '$name'"
    exec ip netns exec "$name-h$index" "$@"
}

cmd_addr() {
    (($# == 1)) || usage
    check_index "$1"
    echo "$SUBNET.$1"
}

# A second subnet beside the bridge, for tests of a computer with several interfaces. Both ends
# live inside hosts of the network, so the link goes when they do.
cmd_wire() {
    (($# == 4)) || usage
    local name=$1 i=$2 j=$3 prefix=$4 ns
    check_name "$name"
    check_index "$i"
    check_index "$j"
    ((i != j)) || die "a host cannot be wired to itself"
    [[ $prefix =~ ^(10|172|192)\.[0-9]{1,3}\.[0-9]{1,3}$ && $prefix != "$SUBNET" ]] ||
        die "bad prefix '$prefix' (three numbers of a private subnet other than $SUBNET)"
    for ns in "$name-h$i" "$name-h$j"; do
        ip netns list 2>/dev/null | awk '{print $1}' | grep -qxF "$ns" || die "no host $ns"
    done
    ip -n "$name-h$i" link add "v$j" type veth peer name "v$i" netns "$name-h$j" || exit 1
    ip -n "$name-h$i" addr add "$prefix.$i/24" broadcast "$prefix.255" dev "v$j" &&
        ip -n "$name-h$j" addr add "$prefix.$j/24" broadcast "$prefix.255" dev "v$i" &&
        ip -n "$name-h$i" link set "v$j" up &&
        ip -n "$name-h$j" link set "v$i" up || {
        ip -n "$name-h$i" link del "v$j" 2>/dev/null
        die "could not wire hosts $i and $j"
    }
}

cmd_list() {
    ip netns list 2>/dev/null | awk '$1 ~ /-br$/ { sub(/-br$/, "", $1); print $1 }'
}

(($# >= 1)) || usage
command=$1
shift
case $command in
up) cmd_up "$@" ;;
routed) cmd_routed "$@" ;;
down) cmd_down "$@" ;;
exec) cmd_exec "$@" ;;
addr) cmd_addr "$@" ;;
list) cmd_list "$@" ;;
wire) cmd_wire "$@" ;;
*) usage ;;
esac
