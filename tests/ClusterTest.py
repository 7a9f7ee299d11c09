#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""quorlin-cluster on a local Dask cluster of two worker processes on loopback
gives the bytes, messages and exit status of one quorlin-batch run, for
requests that carry line numbers, the line before, the tag state and joins
across range boundaries, for patterns, and for one that stops or is refused;
and refuses one that needs the whole text.

    ClusterTest.py QUORLIN_BATCH QUORLIN_CLUSTER
"""

import contextlib
import io
import logging
import os
import random
import subprocess
import sys
import tempfile
import types


def text(seed):
    """Lines of words, tags that open on one line and close on a later one,
    blank lines, and the key, ended by LF, CR LF or a lone CR; the last line
    has no break."""
    rng = random.Random(seed)
    words = ["alpha", "KEY", "key", "<b>", "<i", "x>", "a", "\t", "42", "  "]
    lines = []
    for _ in range(3000):
        kind = rng.randrange(10)
        if kind == 0:
            lines.append(b"")
        elif kind == 1:
            lines.append(b" \t ")
        else:
            lines.append(" ".join(rng.choice(words) for _ in range(rng.randrange(1, 9))).encode())
    breaks = [b"\n", b"\r\n", b"\r"]
    return b"".join(line + rng.choice(breaks) for line in lines[:-1]) + lines[-1]


def load(path):
    """The script as a module (its name has no .py, so it cannot be imported)."""
    module = types.ModuleType("quorlin_cluster")
    module.__file__ = path
    with open(path, encoding="utf-8") as f:
        exec(compile(f.read(), path, "exec"), module.__dict__)
    return module


def main(batch, cluster_script):
    from distributed import Client, LocalCluster

    rows = [
        # (request, what its pieces carry across a boundary)
        (["-a", "31", "-k", "KEY", "-r", "XY"], "nothing"),
        (["-t", "2", "--first-line", "700", "--last-line", "2100", "-a", "14"], "line numbers"),
        (["-t", "10", "-a", "21", "-r", "P", "--upper"], "the line before"),
        (["-a", "30", "--retain", "-t", "3", "-k", "a"], "the tag state"),
        (["-a", "44"], "joins of every pair of lines"),
        (["-t", "14", "-a", "44", "--crlf"], "joins after a blank line, and the line before"),
        (["-t", "2", "--first-line", "1", "--last-line", "1500", "-a", "44"], "joins and line numbers"),
        (["-a", "25", "--first-char", "0", "--last-char", "0"], "a stop: nothing written"),
        (["-E", "-t", "2", "--first-line", "300", "--last-line", "2500", "-a", "31", "-k",
          r"(K[A-Z]*|\d+)\b", "-r", r"[\1]"], "line numbers, a pattern"),
        (["--pattern", "-t", "10", "-a", "40", "-k", r"\ba\b|<"], "the line before, a pattern's cuts"),
        (["-E", "-t", "3", "-k", "(ab"], "a refused pattern: nothing written"),
    ]
    module = load(cluster_script)
    failures = 0
    with tempfile.TemporaryDirectory(prefix="quorlin-cluster-test-") as folder:
        source = os.path.join(folder, "in.txt")
        with open(source, "wb") as f:
            f.write(text(14))
        cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                               scheduler_port=0, dashboard_address=None, silence_logs=logging.ERROR)
        client = Client(cluster)
        try:
            for n, (request, carries) in enumerate(rows):
                expected_out = os.path.join(folder, f"expected{n}.txt")
                expected = subprocess.run([batch] + request + [source, expected_out],
                                          capture_output=True)
                target = os.path.join(folder, f"out{n}.txt")
                status, err = 0, io.TextIOWrapper(io.BytesIO())
                try:
                    with contextlib.redirect_stderr(err):
                        # Ranges of about 4 kB, so that every kind of boundary occurs.
                        module.split_file(client, batch, request, source, target, 23)
                except SystemExit as e:
                    status = e.code
                err.flush()
                ok = status == expected.returncode and err.buffer.getvalue() == expected.stderr
                if expected.returncode == 0:
                    with open(expected_out, "rb") as a, open(target, "rb") as b:
                        ok = ok and a.read() == b.read()
                else:
                    ok = ok and not os.path.exists(target)
                print(("ok   " if ok else "FAIL ") + " ".join(request) + f"  ({carries})")
                failures += not ok
            # The program itself, joining the running cluster: options, messages,
            # exit status, and no file left behind.
            done = subprocess.run([cluster_script, "--scheduler", cluster.scheduler_address,
                                   "--batch", batch, "--", "-a", "43", source,
                                   os.path.join(folder, "whole.txt")], capture_output=True)
            refusal = (b"quorlin-cluster: this request needs the whole text: "
                       b"split=whole-text test=1 action=43 needs=whole-text\n")
            ok = done.returncode == 2 and done.stderr == refusal
            done = subprocess.run([cluster_script, "--scheduler", cluster.scheduler_address,
                                   "--batch", batch, "--", "-t", "10", "-a", "44", source,
                                   os.path.join(folder, "cli.txt")], capture_output=True)
            single = subprocess.run([batch, "-t", "10", "-a", "44", source], capture_output=True)
            with open(os.path.join(folder, "cli.txt"), "rb") as f:
                ok = ok and done.returncode == 0 and f.read() == single.stdout
            left = [name for name in os.listdir(folder) if ".quorlin" in name]
            ok = ok and not left
            print(("ok   " if ok else "FAIL ") + "quorlin-cluster --scheduler ADDRESS, " + str(left))
            failures += not ok
        finally:
            client.close()
            cluster.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
