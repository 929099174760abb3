"""Synthetic guitar-like audio for training and checking the networks.

Events are drawn from a seeded generator and laid on a time line with
overlaps and gaps: single plucked notes, strummed chords that ring out,
palm-muted notes, steady tones, sine sweeps and filtered noise bursts.
Each kind appears at peak levels spread evenly over -30..0 dBFS, since the
networks must learn every kind at every level. Pitched content stays below
10 kHz so that the same seed gives the same music at every sample rate.

Three sets with their own seeds: "train", "valid" (checkpoint choice and the
pass/fail figure) and "report" (never seen by training).
"""

import numpy as np
from scipy import signal

SETS = {"train": (1001, 120.0), "valid": (2002, 20.0), "report": (3003, 20.0)}
KINDS = ("pluck", "chord", "mute", "tone", "sweep", "noise")
MAX_PARTIAL_HZ = 10000.0
E2 = 82.41


def _string(rng, fs, f0, seconds, decay):
    """One plucked string by additive synthesis with stiff-string partials."""
    n = int(seconds * fs)
    t = np.arange(n) / fs
    pos = rng.uniform(0.08, 0.3)
    stiff = rng.uniform(2e-5, 2e-4)
    out = np.zeros(n)
    for k in range(1, 60):
        fk = k * f0 * np.sqrt(1.0 + stiff * k * k)
        if fk > MAX_PARTIAL_HZ:
            break
        amp = abs(np.sin(np.pi * k * pos)) / k ** 1.1
        tau = decay / (1.0 + 0.02 * k ** 1.6 * (f0 / 110.0))
        out += amp * np.exp(-t / tau) * np.sin(2 * np.pi * fk * t + rng.uniform(0, 2 * np.pi))
    attack = min(n, int(0.002 * fs))
    out[:attack] *= 0.5 - 0.5 * np.cos(np.pi * np.arange(attack) / attack)
    return out


def _note(rng):
    return E2 * 2.0 ** (rng.integers(0, 30) / 12.0)


def pluck_chord(rng, fs, seconds):
    """Strummed chord: three to six strings a few milliseconds apart."""
    n = int(seconds * fs)
    out = np.zeros(n)
    root = rng.integers(0, 12)
    shape = (0, 7, 12, 16, 19, 24) if rng.random() < 0.5 else (0, 7, 12, 15, 19, 24)
    strings = rng.integers(3, 7)
    start = int(rng.integers(0, 3))
    gap = rng.uniform(0.004, 0.03) * fs
    if rng.random() < 0.3:
        gap = -gap  # upstroke
    decay = rng.uniform(0.6, 3.0)
    for i in range(strings):
        off = int(abs(gap) * (i if gap > 0 else strings - 1 - i))
        f0 = E2 * 2.0 ** ((root + shape[start + i if start + i < 6 else i]) / 12.0)
        s = _string(rng, fs, f0, seconds - off / fs, decay) * rng.uniform(0.6, 1.0)
        out[off:off + len(s)] += s[: n - off]
    return out


def _event(rng, kind, fs):
    if kind == "pluck":
        return _string(rng, fs, _note(rng), rng.uniform(0.8, 3.0), rng.uniform(0.4, 2.5))
    if kind == "chord":
        return pluck_chord(rng, fs, rng.uniform(1.5, 3.5))
    if kind == "mute":
        return _string(rng, fs, E2 * 2.0 ** (rng.integers(0, 12) / 12.0),
                       rng.uniform(0.12, 0.4), rng.uniform(0.03, 0.1))
    if kind == "tone":
        sec = rng.uniform(0.3, 1.2)
        t = np.arange(int(sec * fs)) / fs
        f = np.exp(rng.uniform(np.log(60.0), np.log(5000.0)))
        env = np.minimum(1.0, np.minimum(t, sec - t) / 0.01)
        return env * np.sin(2 * np.pi * f * t)
    if kind == "sweep":
        sec = rng.uniform(0.5, 2.0)
        t = np.arange(int(sec * fs)) / fs
        f1, f2 = 40.0, MAX_PARTIAL_HZ * 0.8
        if rng.random() < 0.5:
            f1, f2 = f2, f1
        r = np.log(f2 / f1)
        phase = 2 * np.pi * f1 * sec / r * (np.exp(t / sec * r) - 1.0)
        env = np.minimum(1.0, np.minimum(t, sec - t) / 0.01)
        return env * np.sin(phase)
    if kind == "noise":
        sec = rng.uniform(0.03, 0.5)
        n = int(sec * fs)
        cut = np.exp(rng.uniform(np.log(300.0), np.log(8000.0)))
        b, a = signal.butter(2, cut, fs=fs)
        t = np.arange(n) / fs
        env = np.exp(-t / rng.uniform(0.02, 0.3)) * np.minimum(1.0, t / 0.001)
        return signal.lfilter(b, a, rng.standard_normal(n)) * env
    raise ValueError(kind)


def make_set(name, fs):
    """Input audio (float32) of the named set at rate fs."""
    seed, seconds = SETS[name]
    rng = np.random.default_rng(seed)
    n = int(seconds * fs)
    out = np.zeros(n + int(4 * fs))
    # Every kind gets its own evenly spread, shuffled levels.
    per_kind = max(5, int(seconds / 1.0 / len(KINDS)))
    plan = [(k, lv) for k in KINDS
            for lv in rng.permutation(np.linspace(-30.0, 0.0, per_kind))]
    order = rng.permutation(len(plan))
    t = int(0.1 * fs)
    for i in order:
        if t >= n:
            break
        kind, level = plan[i]
        e = _event(rng, kind, fs)
        e *= 10.0 ** ((level + rng.uniform(-1.0, 1.0)) / 20.0) / (np.max(np.abs(e)) + 1e-12)
        seg = out[t:t + len(e)]
        e = e[:len(seg)]
        # Keep the mix below full scale where events overlap, without
        # turning down the rest of the set.
        for _ in range(4):
            e *= min(1.0, 0.99 / (np.max(np.abs(seg + e)) + 1e-12))
        seg += e
        # Overlap or leave silence before the next event.
        t += int(len(e) * rng.uniform(0.35, 0.9) + rng.choice([0.0, rng.uniform(0.05, 0.6)]) * fs)
    return out[:n].astype(np.float32)


if __name__ == "__main__":
    for name in SETS:
        x = make_set(name, 48000)
        print(name, len(x) / 48000.0, "s, peak", float(np.max(np.abs(x))),
              "rms dB", 10 * np.log10(np.mean(x.astype(np.float64) ** 2)))
