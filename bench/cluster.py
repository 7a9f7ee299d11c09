#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""What the cluster script costs over one program: scripts/quorlin-cluster on a
local cluster of two workers against quorlin-batch -j 2, on the benchmarks'
1 GB generated text.

  1. key-replace and tag-strip: -j 2 against the script with --local 2 (its
     cluster started and ended in the run; nothing else runs), wall and CPU
     seconds; then against the script with --scheduler, joining a cluster
     of two workers that runs already.
  2. How the script's time grows with the number of ranges (--scheduler).
  3. The fixed cost: a one-line file with --scheduler, and with --local 2
     (the difference is the start and end of the cluster).

Runs alternate (the machine may be shared); figures are medians. Outputs go
to /dev/shm when there is one; the first run of each job checks the script's
bytes against -j 2's.

    bench/cluster.py [--runs R]     (from the source folder, after a build)
"""

import logging
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BATCH = os.path.join(ROOT, "build", "cli", "quorlin-batch")
SCRIPT = os.path.join(ROOT, "scripts", "quorlin-cluster")
JOBS = [("key-replace", ["-a", "31", "-k", "KEY", "-r", "XY"]), ("tag-strip", ["-a", "30"])]


def timed(command):
    """Runs command: (wall seconds, CPU seconds of it and its children)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def median(runs, key=0):
    return statistics.median(r[key] for r in runs)


def same(a, b):
    return subprocess.run(["cmp", "-s", a, b]).returncode == 0


def main(argv):
    runs = int(argv[argv.index("--runs") + 1]) if "--runs" in argv else 3
    from distributed import Client, LocalCluster

    data = os.path.join(ROOT, "build", "bench-data")
    text = os.path.join(data, "text-v3-17000000.txt")
    if not os.path.exists(text):
        os.makedirs(data, exist_ok=True)
        subprocess.run([os.path.join(ROOT, "build", "bench", "quorlin-bench-text"), "17000000",
                        text], check=True)
    folder = "/dev/shm" if os.path.isdir("/dev/shm") else data
    single, out, line = (os.path.join(folder, f"quorlin-{name}.txt")
                         for name in ("single", "out", "line"))
    with open(line, "w") as f:
        f.write("one line with a KEY\n")
    size = os.path.getsize(text) / 1e6
    print(f"text: {text}, {size:.0f} MB, outputs to {folder}; {runs} runs each, in alternation; "
          f"medians; load {os.getloadavg()[0]:.1f}")

    def cluster(where, request, source, target, ranges=None):
        ranged = ["--ranges", str(ranges)] if ranges else []
        return [SCRIPT] + where + ["--batch", BATCH] + ranged + ["--"] + request + [source, target]

    def against_j2(request, script, check=False):
        """-j 2 and the script, run after one another runs times: both lists of figures."""
        one, other = [], []
        for r in range(runs):
            one.append(timed([BATCH, "-j", "2"] + request + [text, single]))
            other.append(timed(script))
            if check and r == 0 and not same(single, out):
                sys.exit(f"{' '.join(request)}: the script's output differs from -j 2's")
        return one, other

    # With a cluster of its own, started and ended in each run; nothing else runs.
    print(f"{'job':12} {'-j 2 s':>7} {'CPU s':>6} {'--local 2 s':>11} {'CPU s':>6} {'ratio':>6}"
          "  (target: ratio <= 2.0)")
    key = JOBS[0][1]
    for name, request in JOBS:
        one, local = against_j2(request, cluster(["--local", "2"], request, text, out), True)
        print(f"{name:12} {median(one):7.2f} {median(one, 1):6.1f} {median(local):11.2f} "
              f"{median(local, 1):6.1f} {median(local) / median(one):6.2f}")
    local_line = [timed(cluster(["--local", "2"], key, line, out)) for _ in range(runs)]

    # Joining a cluster of two workers that runs already.
    with tempfile.TemporaryDirectory() as scratch, LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1", scheduler_port=0,
            dashboard_address="127.0.0.1:0", local_directory=scratch,
            silence_logs=logging.CRITICAL) as running, Client(running):
        joined = ["--scheduler", running.scheduler_address]
        print(f"\n{'job':12} {'-j 2 s':>7} {'--scheduler s':>13} {'ratio':>6}")
        for name, request in JOBS:
            one, sched = against_j2(request, cluster(joined, request, text, out))
            print(f"{name:12} {median(one):7.2f} {median(sched):13.2f} "
                  f"{median(sched) / median(one):6.2f}")
        print(f"\nkey-replace by the number of ranges (--scheduler)\n"
              f"{'ranges':>6} {'-j 2 s':>7} {'s':>6} {'ratio':>6}")
        for ranges in (1, 2, 4, 8, 16, 32, 64):
            one, sched = against_j2(key, cluster(joined, key, text, out, ranges))
            print(f"{ranges:6} {median(one):7.2f} {median(sched):6.2f} "
                  f"{median(sched) / median(one):6.2f}")
        fixed = [timed(cluster(joined, key, line, out)) for _ in range(runs)]
    imports = [timed([sys.executable, "-c", "import distributed"]) for _ in range(runs)]
    print(f"\none-line file: --scheduler {median(fixed):.2f} s (target <= 1.0; of which importing "
          f"Dask {median(imports):.2f} s), --local 2 {median(local_line):.2f} s (the cluster's "
          f"start and end {median(local_line) - median(fixed):.2f} s)")
    for path in (single, out, line):
        os.remove(path)


if __name__ == "__main__":
    main(sys.argv[1:])
