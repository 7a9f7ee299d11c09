#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""quorlin-cluster on a local Dask cluster of two worker processes on loopback.

Requests: the bytes, messages, exit status and figures of one quorlin-batch
run, for requests that carry line numbers, the line before, the tag state and
joins across range boundaries, patterns, one that stops, one refused, and
--stats and --dry-run.
Faults: bad arguments, files that cannot be read or written, a scheduler that
does not answer, a cluster without workers, a worker killed in each step, one
killed more often than the cluster allows, the last worker lost, and INPUT
cut short during the run. Each ends with the right bytes, or with one message,
its exit status, OUTPUT as it was and nothing left behind.

    ClusterTest.py QUORLIN_BATCH QUORLIN_CLUSTER
"""

import collections
import contextlib
import io
import logging
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
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


def run_in_process(module, argv):
    """The script's main(argv) in this process: (exit status, standard error)."""
    err = io.TextIOWrapper(io.BytesIO())
    with contextlib.redirect_stderr(err):
        try:
            status = module.main(argv)
        except SystemExit as e:
            status = e.code
    err.flush()
    return status, err.buffer.getvalue()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def left_behind(folder):
    return [n for _, folders, files in os.walk(folder) for n in folders + files if ".quorlin" in n]


REQUESTS = [
    # (request, what its pieces carry across a boundary)
    (["-a", "31", "-k", "KEY", "-r", "XY"], "nothing"),
    (["-t", "2", "--first-line", "700", "--last-line", "2100", "-a", "14", "--stats"],
     "line numbers; the figures of the whole run"),
    (["-t", "10", "-a", "21", "-r", "P", "--upper"], "the line before"),
    (["-a", "30", "--retain", "-t", "3", "-k", "a"], "the tag state"),
    (["-a", "44", "--stats"], "joins of every pair of lines, run again; their figures"),
    (["-t", "14", "-a", "44", "--crlf"], "joins after a blank line, and the line before"),
    (["-t", "2", "--first-line", "1", "--last-line", "1500", "-a", "44"], "joins and line numbers"),
    (["-a", "25", "--first-char", "0", "--last-char", "0"], "a stop in every piece: told once"),
    (["-t", "3", "-k", "KEY", "-a", "30", "--dry-run"], "a dry run: the figures, nothing written"),
    (["-E", "-t", "2", "--first-line", "300", "--last-line", "2500", "-a", "31", "-k",
      r"(K[A-Z]*|\d+)\b", "-r", r"[\1]"], "line numbers, a pattern"),
    (["--pattern", "-t", "10", "-a", "40", "-k", r"\ba\b|<"], "the line before, a pattern's cuts"),
    (["-E", "-t", "3", "-k", "(ab"], "a refused pattern: nothing written"),
    (["--recipe", "{steps}", "--stats"], "a recipe of steps that each run alone; their figures"),
]

# The recipes the rows name in braces, written into the test folder.
RECIPES = {
    "steps": "quorlin-recipe 1\n-a replace-key -k KEY -r XY\n-t contains-key -k a -a append "
             "-r ';' --lf\n-a truncate -n 30\n",
    "tags": "quorlin-recipe 1\n-a strip-tags\n-a trim\n",
}

# options: the script's ({...} names a cluster below); source and target: the
# files' names in the test folder; other: run by another user (as root) or
# with the files' modes as they are; hold: the step whose first task waits
# until then does what "then" says to its worker or to INPUT; status and
# message (a pattern): how the run ends, OUTPUT replaced only when 0.
Fault = collections.namedtuple(
    "Fault", "name options request source target other hold then status message",
    defaults=(["--scheduler", "{main}"], ["-a", "31", "-k", "KEY", "-r", "XY"], "in.txt",
              "out.txt", False, None, None, 0, ""))
FAULTS = [
    Fault("--ranges -1", ["--ranges", "-1"], status=2, message=r"quorlin-cluster: '-1' is no "
          r"number of ranges \(0 for 1 per worker, or 1 to 1000000\)"),
    Fault("--local x", ["--local", "x"], status=2,
          message=r"quorlin-cluster: 'x' is no number of workers \(0 for 2, or 1 to 1024\)"),
    Fault("a missing INPUT", source="missing.txt", status=1,
          message="quorlin-cluster: {source}: File not found"),
    Fault("an INPUT its user may not read", source="locked.txt", other=True, status=1,
          message="quorlin-cluster: {source}: File access denied"),
    Fault("OUTPUT in a folder its user may not write", target="locked/out.txt", other=True,
          status=1, message="quorlin-cluster: {target}: File access denied"),
    Fault("OUTPUT in a missing folder", target="nowhere/out.txt", status=1,
          message="quorlin-cluster: {target}: File not found"),
    Fault("a recipe whose steps need the lines before a range", request=["--recipe", "{tags}"],
          status=2, message=r"quorlin-cluster: this recipe cannot be split: recipe: "
          r"split=context steps=2 chains=1: .*"),
    Fault("a worker lost while the facts are read", hold="facts", then="kill"),
    Fault("a scheduler where nothing listens", ["--scheduler", "{closed}", "--timeout", "1"],
          status=1, message="quorlin-cluster: no scheduler answers at {closed} within 1 s"),
    Fault("a worker lost while the ranges run", hold="run", then="kill"),
    Fault("a scheduler that never answers", ["--scheduler", "{silent}", "--timeout", "1"],
          status=1, message="quorlin-cluster: no scheduler answers at {silent} within 1 s"),
    Fault("a worker lost while a range runs again", request=["-a", "44"], hold="rerun",
          then="kill"),
    Fault("a cluster without workers", ["--scheduler", "{empty}", "--timeout", "1"], status=1,
          message="quorlin-cluster: no worker on the cluster at {empty} within 1 s"),
    Fault("a worker lost more often than the cluster allows", hold="run", then="kill once",
          status=1, message=r"quorlin-cluster: range [0-9]+:[0-9]+ was lost with a worker more "
          r"often than the cluster allows \(distributed.scheduler.allowed-failures: 0\); "
          r"the run is given up"),
    Fault("the last worker lost", ["--scheduler", "{lone}", "--timeout", "1"], hold="run",
          then="kill", status=1, message="quorlin-cluster: no worker on the cluster for 1 s"),
    Fault("INPUT cut short during the run", source="cut.txt", hold="run", then="cut", status=1,
          message="quorlin-cluster: {source} changed during the run"),
]


def act_when_held(hold, act, finished):
    """Waits until a task holds at its step, then acts on its worker's process id."""
    while not finished.is_set():
        with contextlib.suppress(OSError, ValueError):
            act(int(read(hold)))
            return
        time.sleep(0.01)


def allowed_failures(client, number=None):
    """The scheduler's allowed-failures, set to number first when one is given."""
    def on_scheduler(dask_scheduler, number):
        if number is not None:
            dask_scheduler.allowed_failures = number
        return dask_scheduler.allowed_failures
    return client.run_on_scheduler(on_scheduler, number=number)


def main(batch, script):
    from distributed import Client, LocalCluster

    module = load(script)
    failures = 0

    def report(ok, name):
        nonlocal failures
        print(("ok   " if ok else "FAIL ") + name, flush=True)
        failures += not ok

    with contextlib.ExitStack() as stack:
        folder = stack.enter_context(tempfile.TemporaryDirectory(prefix="quorlin-cluster-test-"))
        os.chmod(folder, 0o755)  # the other user reaches its files

        def at(name):
            return os.path.join(folder, name)

        def placed(request):
            return [at(a[1:-1] + ".recipe") if a[1:-1] in RECIPES else a for a in request]
        for name, steps in RECIPES.items():
            with open(at(name + ".recipe"), "w") as f:
                f.write(steps)
        with open(at("in.txt"), "wb") as f:
            f.write(text(14))
        for name in ("locked.txt", "cut.txt"):
            shutil.copy(at("in.txt"), at(name))
        os.chmod(at("locked.txt"), 0)
        os.mkdir(at("locked"), 0o555)
        # Schedulers here; workers in processes of their own, which the test
        # replaces when it has ended one.
        main, empty, lone = (stack.enter_context(LocalCluster(
            n_workers=0, processes=False, protocol="tcp", host="127.0.0.1", scheduler_port=0,
            dashboard_address="127.0.0.1:0", silence_logs=logging.CRITICAL)) for _ in range(3))
        client = stack.enter_context(Client(main))
        lone_client = stack.enter_context(Client(lone, set_as_default=False))
        workers = {main.scheduler_address: [], lone.scheduler_address: []}

        def keep_workers(address, count):
            """Starts workers until the scheduler at address has count of them."""
            alive = [w for w in workers[address] if w.poll() is None]
            workers[address] = alive + [subprocess.Popen(
                [sys.executable, "-m", "distributed.cli.dask_worker", address, "--no-nanny",
                 "--nthreads", "1", "--no-dashboard", "--local-directory", folder],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                for _ in range(count - len(alive))]

        @stack.callback
        def end_workers():
            for worker in sum(workers.values(), []):
                worker.kill()
                worker.wait()
        keep_workers(lone.scheduler_address, 1)
        keep_workers(main.scheduler_address, 2)
        lone_client.wait_for_workers(1, timeout=60)
        client.wait_for_workers(2, timeout=60)
        closed, silent = socket.socket(), socket.socket()
        for s in (closed, silent):
            stack.enter_context(s)
            s.bind(("127.0.0.1", 0))
        silent.listen(1)
        clusters = {"main": main.scheduler_address, "empty": empty.scheduler_address,
                    "lone": lone.scheduler_address,
                    "closed": "tcp://127.0.0.1:%d" % closed.getsockname()[1],
                    "silent": "tcp://127.0.0.1:%d" % silent.getsockname()[1]}

        for n, (request, carries) in enumerate(REQUESTS):
            request = placed(request)
            expected_out, target = at(f"expected{n}.txt"), at(f"out{n}.txt")
            expected = subprocess.run([batch] + request + [at("in.txt"), expected_out],
                                      capture_output=True)
            # Ranges of about 4 kB, so that every kind of boundary occurs.
            started = time.monotonic()
            status, err = run_in_process(module, ["--scheduler", clusters["main"], "--batch", batch,
                                                  "--ranges", "23", "--"] + request
                                         + [at("in.txt"), target])
            ok = status == expected.returncode and err == expected.stderr
            if os.path.exists(expected_out):
                ok = ok and read(expected_out) == read(target)
            else:
                ok = ok and not os.path.exists(target)
            report(ok and not left_behind(folder),
                   " ".join(request) + f"  ({carries}, {time.monotonic() - started:.1f} s)")

        # Each fault into an OUTPUT that was there before.
        before = allowed_failures(client)
        for n, fault in enumerate(FAULTS):
            source, target = at(fault.source), at(fault.target)
            hold = at(f"hold{n}")
            if os.path.isdir(os.path.dirname(target)):
                with open(target, "wb") as f:
                    f.write(b"old\n")
                os.chmod(target, 0o640)
            if fault.then and fault.options[1] == "{main}":
                keep_workers(clusters["main"], 2)
                client.wait_for_workers(2, timeout=60)
            allowed_failures(client, 0 if fault.then == "kill once" else before)
            argv = (["--batch", batch, "--ranges", "23"]
                    + [o.format(**clusters) for o in fault.options]
                    + ["--"] + placed(fault.request) + [source, target])
            single = subprocess.run([batch] + placed(fault.request) + [source], capture_output=True).stdout
            acts = {"kill": lambda pid: os.kill(pid, signal.SIGKILL),
                    "cut": lambda pid: (os.truncate(source, 10000), open(hold, "wb").close())}
            finished = threading.Event()
            acting = threading.Thread(target=act_when_held, args=(hold, acts.get(
                fault.then, acts["kill"]), finished))
            if fault.hold:
                os.environ["QUORLIN_CLUSTER_HOLD"] = f"{fault.hold}:{hold}"
                acting.start()
            started = time.monotonic()
            if fault.other and os.geteuid() == 0:
                done = subprocess.run([script] + argv, capture_output=True, user=65534, group=65534,
                                      extra_groups=[])
                status, err = done.returncode, done.stderr
            else:
                status, err = run_in_process(module, argv)
            finished.set()
            os.environ.pop("QUORLIN_CLUSTER_HOLD", None)
            if fault.hold:
                acting.join()
            message = fault.message.format(source=re.escape(source), target=re.escape(target),
                                           **clusters) + ("\n" if fault.message else "")
            ok = status == fault.status and re.fullmatch(message.encode(), err) is not None
            if fault.hold:
                ok = ok and os.path.exists(hold)  # the step was reached
            if os.path.exists(target):
                ok = ok and read(target) == (single if status == 0 else b"old\n")
                ok = ok and os.stat(target).st_mode & 0o777 == 0o640
            ok = ok and not left_behind(folder)
            report(ok, f"{fault.name} ({time.monotonic() - started:.1f} s) {err!r:.200}")
        allowed_failures(client, before)

        # The program itself: a refusal before any cluster, and a run on a
        # local cluster of its own.
        done = subprocess.run([script, "--scheduler", clusters["main"], "--batch", batch, "--",
                               "-a", "43", at("in.txt"), at("whole.txt")], capture_output=True)
        refusal = (b"quorlin-cluster: this request needs the whole text: "
                   b"split=whole-text test=1 action=43 needs=whole-text\n")
        ok = done.returncode == 2 and done.stderr == refusal
        done = subprocess.run([script, "--local", "2", "--batch", batch, "--", "-t", "10", "-a",
                               "44", at("in.txt"), at("cli.txt")], capture_output=True)
        single = subprocess.run([batch, "-t", "10", "-a", "44", at("in.txt")], capture_output=True)
        ok = ok and done.returncode == 0 and not done.stderr and read(at("cli.txt")) == single.stdout
        report(ok and not left_behind(folder), "quorlin-cluster --local 2")
        os.chmod(at("locked"), 0o755)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
