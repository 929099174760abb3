#!/bin/sh
# Trains the 25 networks into resources/models/ and writes report.md and
# report.png beside this script. About an hour on 8 cores; progress goes to
# tools/training/logs/. Needs Debian's python3-torch, numpy, scipy and
# matplotlib; libopenblas0-openmp makes it faster.
#
#   tools/training/train_all.sh [--jobs N] [--scale F]
#
# --scale multiplies every time budget (0.2 for a quick smoke run).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
# One thread per process: eight single-threaded trainings beat one wide one.
export OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1 MKL_NUM_THREADS=1
# Debian's interpreter: its torch is the one installed.
exec nice -n 10 /usr/bin/python3 "$here/train_all.py" "$@"
