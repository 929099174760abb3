"""Trains all 25 networks, checks the exported files and writes the report.

Run through train_all.sh. Order: the audio for every rate; the five 48 kHz
networks and three 44.1 kHz ones from scratch; then every other network
warm-started from the 48 kHz network of the same Boost position, the
192 kHz ones first since they need the longest. At most --jobs trainings
run at once, each on one core.
"""

import argparse
import json
import os
import subprocess
import sys
import time
from concurrent.futures import ProcessPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import dataset  # noqa: E402
import model  # noqa: E402

MODELS = os.path.normpath(os.path.join(HERE, "..", "..", "resources", "models"))
LOGS = os.path.join(HERE, "logs")


class Tee:
    """Writes the schedule to the terminal and to logs/train_all.log."""

    def __init__(self, *streams):
        self.streams = streams

    def write(self, text):
        for s in self.streams:
            s.write(text)

    def flush(self):
        for s in self.streams:
            s.flush()


def plan(scale):
    """(index, minutes, warm-start index or None) in launch order."""
    jobs = []
    for b in range(model.BOOSTS):
        jobs.append((model.model_index(1, b), 12 * scale, None))
    for b in range(3):
        jobs.append((model.model_index(0, b), 12 * scale, None))
    for b in range(model.BOOSTS):
        jobs.append((model.model_index(4, b), 16 * scale, model.model_index(1, b)))
    for group in (3, 2):
        for b in range(model.BOOSTS):
            jobs.append((model.model_index(group, b), 9 * scale, model.model_index(1, b)))
    for b in range(3, model.BOOSTS):
        jobs.append((model.model_index(0, b), 6 * scale, model.model_index(1, b)))
    return jobs


def run(jobs, parallel, log):
    pending = list(jobs)
    running = {}
    done = set()
    failed = []
    while pending or running:
        for index, proc in list(running.items()):
            if proc.poll() is not None:
                del running[index]
                if proc.returncode == 0:
                    done.add(index)
                else:
                    failed.append(index)
                print(f"{time.strftime('%H:%M:%S')} model {index:02d} finished, rc {proc.returncode}",
                      file=log, flush=True)
        for job in list(pending):
            if len(running) >= parallel:
                break
            index, minutes, warm = job
            if warm is not None and warm not in done:
                if warm in failed:
                    warm = None  # its neighbour failed: train from scratch instead
                else:
                    continue
            pending.remove(job)
            cmd = [sys.executable, os.path.join(HERE, "train.py"), "--index", str(index),
                   "--minutes", str(minutes), "--out", model.model_path(MODELS, index),
                   "--stats", os.path.join(LOGS, f"stats_{index:02d}.json")]
            if warm is not None:
                cmd += ["--warm", model.model_path(MODELS, warm)]
            out = open(os.path.join(LOGS, f"train_{index:02d}.log"), "w")
            running[index] = subprocess.Popen(cmd, stdout=out, stderr=subprocess.STDOUT)
            print(f"{time.strftime('%H:%M:%S')} model {index:02d} started, {minutes:.1f} min, "
                  f"warm from {warm}", file=log, flush=True)
        time.sleep(2)
    return failed


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--jobs", type=int, default=8)
    p.add_argument("--scale", type=float, default=1.0, help="scales every time budget")
    a = p.parse_args()
    os.makedirs(LOGS, exist_ok=True)
    os.makedirs(MODELS, exist_ok=True)
    log = Tee(sys.stdout, open(os.path.join(LOGS, "train_all.log"), "w"))
    t0 = time.time()
    with ProcessPoolExecutor(len(model.GROUP_RATES)) as pool:
        list(pool.map(dataset.prepare, [fs for fs in model.GROUP_RATES if not dataset.ready(fs)]))
    audio_seconds = time.time() - t0
    print(f"{time.strftime('%H:%M:%S')} audio ready after {audio_seconds:.0f} s", file=log, flush=True)
    failed = run(plan(a.scale), a.jobs, log)
    train_seconds = time.time() - t0
    print(f"{time.strftime('%H:%M:%S')} training done after {train_seconds / 60:.1f} min, "
          f"failed: {failed}", file=log, flush=True)
    with open(os.path.join(LOGS, "total.json"), "w") as f:
        json.dump({"seconds": train_seconds, "audio_seconds": audio_seconds, "jobs": a.jobs,
                   "failed": failed}, f)
    rc = subprocess.call([sys.executable, os.path.join(HERE, "report.py"), "--jobs", str(a.jobs)])
    sys.exit(1 if failed or rc else 0)


if __name__ == "__main__":
    main()
