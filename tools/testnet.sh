#!/bin/bash
# A private multi-host test network made of network namespaces.
#
#   testnet.sh up NAME N        hosts NAME-h1..NAME-hN on one bridge in namespace NAME-br
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
# Needs root (or CAP_SYS_ADMIN + CAP_NET_ADMIN) and iproute2.

set -u

readonly SUBNET=10.77.0
readonly MAX_HOSTS=254

die() {
    echo "testnet.sh: $*" >&2
    exit 1
}

usage() {
    sed -n '4,10p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

check_name() {
    [[ $1 =~ ^[A-Za-z0-9][A-Za-z0-9_]{0,23}$ ]] ||
        die "bad network name '$1' (letters, digits and _, at most 24 characters)"
}

check_index() {
    [[ $1 =~ ^[1-9][0-9]{0,2}$ ]] && (($1 <= MAX_HOSTS)) || die "bad host number '$1'"
}

# The namespaces that belong to network $1, one per line: its hosts, then its bridge.
namespaces_of() {
    ip netns list 2>/dev/null | awk -v n="$1" '
        { name = $1 }
        name ~ ("^" n "-h[0-9]+$") { print name }
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

cmd_up() {
    (($# == 2)) || usage
    local name=$1 count=$2 i host bridge=$1-br
    check_name "$name"
    check_index "$count"
    [[ -z $(namespaces_of "$name") ]] || die "network '$name' exists already; run: $0 down $name"

    # Whatever fails from here on, leave nothing half built behind.
    trap 'cmd_down "$name"; die "could not build network '\''$name'\''"' ERR
    set -E

    ip netns add "$bridge"
    ip -n "$bridge" link add br0 type bridge stp_state 0
    ip -n "$bridge" link set br0 up
    ip -n "$bridge" link set lo up

    for ((i = 1; i <= count; i++)); do
        host=$name-h$i
        ip netns add "$host"
        # IPv6 would add router solicitations and address probes to every capture.
        in_ns "$host" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 2>/dev/null || true
        in_ns "$host" sysctl -qw net.ipv6.conf.default.disable_ipv6=1 2>/dev/null || true
        ip -n "$host" link set lo up
        ip -n "$host" link add eth0 type veth peer name "p$i" netns "$bridge"
        ip -n "$bridge" link set "p$i" master br0
        ip -n "$bridge" link set "p$i" up
        ip -n "$host" addr add "$SUBNET.$i/24" broadcast "$SUBNET.255" dev eth0
        ip -n "$host" link set eth0 up
        ip -n "$host" route add 255.255.255.255/32 dev eth0
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
down) cmd_down "$@" ;;
exec) cmd_exec "$@" ;;
addr) cmd_addr "$@" ;;
list) cmd_list "$@" ;;
wire) cmd_wire "$@" ;;
*) usage ;;
esac
