"""Runs a command a number of times and measures it: median wall and processor time and the
peak memory (largest max RSS) of the command itself. The peak comes from GNU time: a child
forked by Python inherits Python's own peak, which the kernel keeps across exec.

As a program: measure.py REPEATS COMMAND... prints "wall_s cpu_s peak_MB"."""
import os
import statistics
import subprocess
import sys
import tempfile
import time
from typing import NamedTuple


class Measure(NamedTuple):
    wall: float  # seconds
    cpu: float   # seconds, user + system
    mb: float    # peak resident memory


def run(cmd, repeats=1):
    walls, cpus, mb = [], [], 0.0
    for _ in range(repeats):
        with tempfile.TemporaryFile() as err, tempfile.NamedTemporaryFile("r") as peak:
            start = time.perf_counter()
            child = subprocess.Popen(["/usr/bin/time", "-q", "-f", "%M", "-o", peak.name, *cmd],
                                     stdout=subprocess.DEVNULL, stderr=err)
            # wait4: the processor time of this child and of what it waited for.
            _, status, use = os.wait4(child.pid, 0)
            walls.append(time.perf_counter() - start)
            child.returncode = os.waitstatus_to_exitcode(status)
            if child.returncode:
                err.seek(0)
                sys.exit("%s failed (%d): %s" % (" ".join(cmd), child.returncode,
                                                 err.read().decode(errors="replace")))
            cpus.append(use.ru_utime + use.ru_stime)
            mb = max(mb, int(peak.read().split()[-1]) / 1024)
    return Measure(statistics.median(walls), statistics.median(cpus), mb)


if __name__ == "__main__":
    print("%.4f %.4f %.1f" % run(sys.argv[2:], int(sys.argv[1])))
