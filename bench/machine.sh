#!/bin/sh
# The machine the figures come from: cores, CPU model, memory, load at the start.
echo "bench: nproc $(nproc);$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2); $(grep MemTotal /proc/meminfo | tr -s ' '); load $(cut -d' ' -f1-3 /proc/loadavg)"
