#!/bin/sh
# Runs one end-to-end test in a network namespace of its own, so its mail
# server on 127.0.0.1:25 and the program's single-instance lock (an abstract
# socket) meet no other run. Where namespaces are not allowed, the tests of
# this machine take turns instead.
if unshare --net true 2>/dev/null; then
    exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
fi
if unshare --map-root-user --net true 2>/dev/null; then
    exec unshare --map-root-user --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
fi
exec flock /tmp/kestrava-e2e.lock "$@"
