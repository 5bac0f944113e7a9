#!/bin/sh
# Runs a command with a network of its own where the system allows it (root, or
# unprivileged namespaces), so that tests which all serve the vendor's one built-in
# address can run side by side. Elsewhere the command runs as it is, and CMake
# serialises those tests instead.
#
# The network has its loopback and one pair of linked Ethernet interfaces: Windows
# programs count a machine with only a loopback as offline, and the install report
# names the first physical address. Wine counts a machine as online when it has
# a gateway, which need not answer: nothing leaves this network. /sys is mounted again so that it describes
# this network, not the machine's.
if unshare --net --mount true 2>/dev/null; then
    exec unshare --net --mount sh -c '
        ip link set lo up &&
        ip link add vl2a type veth peer name vl2b &&
        ip addr add 10.213.0.1/24 dev vl2a &&
        ip link set vl2a up && ip link set vl2b up &&
        ip route add default via 10.213.0.2 dev vl2a &&
        mount -t sysfs sysfs /sys &&
        exec "$@"' own_network "$@"
fi
exec "$@"
