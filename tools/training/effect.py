"""The boost circuit that the networks are trained to imitate.

One analog signal path, five Boost positions, defined at any sample rate:

    x -> treble shelf (tone) -> pre-gain -> asymmetric soft clipper
      -> two-pole low-pass -> output gain -> y

Per Boost position b the shelf lifts the treble above ~720 Hz by
TREBLE_DB[b], the pre-gain PRE_DB[b] pushes the clipper harder, and
OUT_DB[b] sets the output level. OUT_DB is calibrated so that a -12 dBFS
(peak) guitar-like signal comes out louder, Boost 0 to 4, by about the
plug-in's makeup steps (0, 1.46, 3.68, 5.55, 7.71 dB): after makeup the
five positions sit at about the same loudness and differ in drive and tone.
The drive spread is kept to 6 dB so that the clipped ceiling stays about
level across positions: with more, a hot input would come out of the higher
positions far quieter once the plug-in's makeup has cut them.

The clipper is f(u) = (tanh(u + c) - tanh(c)) / (1 - tanh(c)^2): slope 1 at
rest, positive half limits at about 0.80, negative half at about 1.32, so
even harmonics appear as in a single-ended stage.

Band-limiting: the nonlinear part runs at an internal rate of at least
352.8 kHz (an integer multiple of the caller's rate), the clipper with
antiderivative anti-aliasing, since a hard-driven stage has harmonics far
above any practical internal rate; the filters come from
the analog prototypes by the bilinear transform there, and the result is
decimated with a linear-phase FIR that cuts at the caller's Nyquist rate,
the way a converter's anti-alias filter would (without its delay). So at 44.1 kHz the output
holds the circuit's spectrum below 22 kHz with only residual aliasing, and
at 192 kHz it holds the same circuit up to 96 kHz.

Usage: render(x, sample_rate, boost) -> y, float32 mono in and out, same
length. Running this file prints the level per Boost position.
"""

import numpy as np
from scipy import signal

BOOST_LEVELS = 5
TREBLE_DB = (0.0, 1.5, 3.0, 4.5, 6.0)
PRE_DB = (6.0, 7.5, 9.0, 10.5, 12.0)
OUT_DB = (-2.52, -3.29, -3.29, -3.64, -3.65)
SHELF_HZ = 720.0
LOWPASS_HZ = 6500.0
CLIP_BIAS = 0.25
MIN_INTERNAL_RATE = 352800.0

# Plug-in makeup per Boost position (dB); the louder positions get cut more.
MAKEUP_DB = (-3.407, -4.866, -7.09, -8.956, -11.1136)


def _bilinear(b_analog, a_analog, fs, warp_hz):
    """Digital filter from an analog prototype, exact at warp_hz."""
    w = 2.0 * np.pi * warp_hz
    # Pre-warp so the corner lands where the analog one is.
    k = w / np.tan(w / (2.0 * fs))
    return signal.bilinear(b_analog, a_analog, fs=k / 2.0)


def _treble_shelf(fs, gain_db):
    """First-order shelf: unity at DC, gain_db above SHELF_HZ."""
    g = 10.0 ** (gain_db / 20.0)
    w0 = 2.0 * np.pi * SHELF_HZ * g ** 0.5
    # H(s) = (g s / w0 + 1) / (s / w0 + 1), geometric centre at SHELF_HZ
    return _bilinear([g / w0, 1.0], [1.0 / w0, 1.0], fs, SHELF_HZ)


def _lowpass(fs):
    """Two-pole Butterworth low-pass at LOWPASS_HZ."""
    w0 = 2.0 * np.pi * LOWPASS_HZ
    return _bilinear([1.0], [1.0 / w0 ** 2, np.sqrt(2.0) / w0, 1.0], fs, LOWPASS_HZ)


def clip(u):
    """The asymmetric soft clipper, slope 1 and value 0 at rest."""
    t = np.tanh(CLIP_BIAS)
    return (np.tanh(u + CLIP_BIAS) - t) / (1.0 - t * t)


def _clip_integral(u):
    """Antiderivative of clip(): log cosh(u + c) less the offset's line."""
    t = np.tanh(CLIP_BIAS)
    v = np.abs(u + CLIP_BIAS)
    return (v + np.log1p(np.exp(-2.0 * v)) - np.log(2.0) - u * t) / (1.0 - t * t)


def clip_band_limited(u):
    """clip() by first-order antiderivative anti-aliasing.

    Each output is the mean of clip() over the straight line between two
    input samples, which damps the harmonics that the sampled clipper would
    fold back; where the step is tiny, the midpoint value stands in.
    """
    prev = np.concatenate(([0.0], u[:-1]))
    du = u - prev
    small = np.abs(du) < 1e-5
    safe = np.where(small, 1.0, du)
    mean = (_clip_integral(u) - _clip_integral(prev)) / safe
    return np.where(small, clip(0.5 * (u + prev)), mean)


def oversampling_factor(sample_rate):
    return int(np.ceil(MIN_INTERNAL_RATE / sample_rate - 1e-9))


def render(x, sample_rate, boost):
    """Runs x (mono, any length) through Boost position 0..4 at sample_rate."""
    if boost not in range(BOOST_LEVELS):
        raise ValueError("boost must be 0..4")
    x = np.asarray(x, dtype=np.float64)
    if x.ndim != 1:
        raise ValueError("mono input expected")
    n = len(x)
    if n == 0:
        return np.zeros(0, dtype=np.float32)
    m = oversampling_factor(sample_rate)
    fs = sample_rate * m
    u = signal.resample_poly(x, m, 1, window=("kaiser", 8.0))
    b, a = _treble_shelf(fs, TREBLE_DB[boost])
    u = signal.lfilter(b, a, u) * 10.0 ** (PRE_DB[boost] / 20.0)
    v = clip_band_limited(u)
    b, a = _lowpass(fs)
    v = signal.lfilter(b, a, v)
    y = signal.resample_poly(v, 1, m, window=("kaiser", 8.0))[:n]
    y *= 10.0 ** (OUT_DB[boost] / 20.0)
    return y.astype(np.float32)


def guitar_probe(sample_rate, seconds=4.0, peak_dbfs=-12.0, seed=7):
    """A few plucked notes and a chord, scaled to peak_dbfs."""
    from data import pluck_chord
    rng = np.random.default_rng(seed)
    x = pluck_chord(rng, sample_rate, seconds)
    return (x / np.max(np.abs(x)) * 10.0 ** (peak_dbfs / 20.0)).astype(np.float32)


def rms_db(y):
    return 10.0 * np.log10(np.mean(np.asarray(y, np.float64) ** 2) + 1e-30)


if __name__ == "__main__":
    for fs in (44100, 48000, 96000, 192000):
        x = guitar_probe(fs)
        levels = [rms_db(render(x, fs, b)) for b in range(BOOST_LEVELS)]
        rise = [lv - levels[0] for lv in levels]
        print(f"{fs} Hz: in {rms_db(x):6.2f} dB  out " +
              " ".join(f"{lv:6.2f}" for lv in levels) +
              "  rise " + " ".join(f"{r:5.2f}" for r in rise))
    print("makeup spread  " + " ".join(f"{MAKEUP_DB[0] - m:5.2f}" for m in MAKEUP_DB))
