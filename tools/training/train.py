"""Trains one network towards one Boost position of the effect at one rate.

    /usr/bin/python3 train.py --index K --minutes M [--warm FILE] [--seed S]

Truncated back-propagation: each batch is 16 random excerpts; the first
~1000 samples at 48 kHz (scaled with the rate) only warm the state up, then
16 chunks of 512 samples each take one Adam step, the state carried over.
Loss is the error-to-signal ratio. Learning rate follows a cosine over the
time budget. After each epoch a continuous stretch of the validation set
picks the best weights; a NaN loss restarts from a new seed. Writes the
model file and a JSON line with the figures to --stats.
"""

import argparse
import json
import math
import os
import sys
import time

import numpy as np

os.environ.setdefault("OMP_NUM_THREADS", "1")
import torch  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import model  # noqa: E402
from dataset import load_pair  # noqa: E402

BATCH = 16
CHUNK = 512
CHUNKS = 16
WARMUP_48K = 1000
CHECK_SECONDS = 6.0


def esr_loss(out, target):
    err = torch.sum((target - out) ** 2)
    # The floor keeps near-silent batches from blowing the loss up.
    return err / (torch.sum(target ** 2) + 1e-6 * target.numel())


def check_esr(net, x, y):
    with torch.no_grad():
        out, _ = net(torch.from_numpy(x).view(1, -1, 1))
    return model.esr(y, out.view(-1).numpy())


def train(index, minutes, warm, seed, log):
    group, boost = divmod(index, model.BOOSTS)
    fs = model.GROUP_RATES[group]
    x_train, y_train = load_pair(fs, "train", boost)
    x_val, y_val = load_pair(fs, "valid", boost)
    n_check = int(CHECK_SECONDS * fs)
    x_check, y_check = x_val[:n_check], y_val[:n_check]
    warmup = int(round(WARMUP_48K * fs / 48000))
    span = warmup + CHUNK * CHUNKS
    batches_per_epoch = max(8, len(x_train) // (BATCH * span) // 2)

    torch.manual_seed(seed)
    rng = np.random.default_rng(seed)
    net = model.make_net()
    if warm:
        model.load_into(net, model.load(warm))
    lr0 = 3e-3 if warm else 1e-2
    opt = torch.optim.Adam(net.parameters(), lr=lr0)
    start = time.time()
    budget = minutes * 60.0
    best = (check_esr(net, x_check, y_check) if warm else math.inf, model.weights_of(net))
    epoch = 0
    while time.time() - start < budget:
        epoch += 1
        total = 0.0
        steps = 0
        for _ in range(batches_per_epoch):
            frac = (time.time() - start) / budget
            if frac >= 1.0:
                break
            for g in opt.param_groups:
                g["lr"] = lr0 * (0.02 + 0.98 * 0.5 * (1.0 + math.cos(math.pi * frac)))
            starts = rng.integers(0, len(x_train) - span, BATCH)
            xb = torch.from_numpy(np.stack([x_train[s:s + span] for s in starts])).unsqueeze(-1)
            yb = torch.from_numpy(np.stack([y_train[s:s + span] for s in starts])).unsqueeze(-1)
            with torch.no_grad():
                _, state = net(xb[:, :warmup], None)
            for c in range(CHUNKS):
                a = warmup + c * CHUNK
                out, state = net(xb[:, a:a + CHUNK], state)
                loss = esr_loss(out, yb[:, a:a + CHUNK])
                opt.zero_grad()
                loss.backward()
                torch.nn.utils.clip_grad_norm_(net.parameters(), 1.0)
                opt.step()
                state = tuple(s.detach() for s in state)
                if not math.isfinite(loss.item()):
                    return None
                total += loss.item()
                steps += 1
        val = check_esr(net, x_check, y_check)
        if math.isfinite(val) and val < best[0]:
            best = (val, model.weights_of(net))
        print(f"model {index:02d} {fs} Hz boost {boost} epoch {epoch:3d} "
              f"t {time.time() - start:6.0f}s lr {opt.param_groups[0]['lr']:.2e} "
              f"train {total / max(1, steps) * 100:7.3f}% "
              f"check {val * 100:7.3f}% best {best[0] * 100:7.3f}%", file=log, flush=True)
    return best, time.time() - start, epoch


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--index", type=int, required=True)
    p.add_argument("--minutes", type=float, required=True)
    p.add_argument("--warm")
    p.add_argument("--seed", type=int)
    p.add_argument("--out", required=True)
    p.add_argument("--stats", required=True)
    a = p.parse_args()
    torch.set_num_threads(1)
    torch.set_flush_denormal(True)
    seed = a.seed if a.seed is not None else 100 + a.index
    t0 = time.time()
    for attempt in range(4):
        left = a.minutes - (time.time() - t0) / 60.0
        result = train(a.index, max(left, 1.0), a.warm, seed, sys.stdout)
        if result is not None:
            break
        print(f"model {a.index:02d}: loss went NaN, restarting with seed {seed + 1000}", flush=True)
        seed += 1000
    else:
        sys.exit(f"model {a.index:02d}: diverged on every seed")
    (best_esr, weights), _, epochs = result
    if not math.isfinite(best_esr):
        sys.exit(f"model {a.index:02d}: no finite checkpoint")
    model.save(a.out, weights)
    with open(a.stats, "w") as f:
        json.dump({"index": a.index, "seed": seed, "epochs": epochs, "check_esr": best_esr,
                   "seconds": time.time() - t0, "warm": a.warm}, f)


if __name__ == "__main__":
    main()
