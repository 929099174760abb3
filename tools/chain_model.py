#!/usr/bin/python3
"""An independent model of the plug-in's signal chain, and the fixture that checks the C++ against it.

Written from the chain's description, not from the processor's code: input trim, drive, the first-order
high-pass, the network (float32 with exact activations), the fixed 20 Hz high-pass and 20 kHz low-pass,
the twelve-block network-change fade with its swap, makeup with and without AutoGain, wet gain, the
first-order low-pass, dry mix and output trim, run block by block. Where the chain works in single
precision every operand here is a numpy float32 (a bare Python number would promote to double).

The two-times oversampler is not modelled: the cases run the network at the host rate (Ultra Mode on at
44.1 and 48 kHz) or at rates where the oversampling factor is one (Ultra Mode off at 96 and 192 kHz).

Writes tests/data/chain_model.bin: the magic "BWCHAIN1", a little-endian uint32 byte count, that many
bytes of JSON (the cases: rate, channels, block size, length, parameters and their changes, a few input
samples to check the generator against), then every case's expected output as little-endian float32,
channel after channel. The input is not stored: test_signal() is integer and exactly rounded float
arithmetic, which the C++ test repeats bit for bit.

Run with Debian's interpreter, which has python3-numpy (a few tens of seconds):
    /usr/bin/python3 tools/chain_model.py
"""

import json
import math
import pathlib
import struct

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parent.parent
MODELS = ROOT / "resources/models"
OUT = ROOT / "tests/data/chain_model.bin"

F = np.float32
PI = F(3.1415927)
ROOT2 = F(1.4142135)
ZERO, ONE, TWO = F(0), F(1), F(2)

MAKEUP_OFFSET_DB = (-3.407, -4.866, -7.09, -8.956, -11.1136)  # by Boost, double precision

DEFAULTS = {
    "driveKnob": 0.3,
    "intrimKnob": 0.0,
    "outtrimKnob": 0.0,
    "drymixKnob": 100.0,
    "lpKnob": 20000.0,
    "hpKnob": 20.0,
    "boostKnob": 0.0,
    "linkOnOfFButton": 0.0,
    "ultraXButton": 1.0,
    "poweRButton": 0.0,
}

CASES = [
    # A Boost change part way: a second fade, whose swap brings in the next network.
    {"name": "44k1 Ultra Mode on, stereo, Boost 0 then 1", "rate": 44100.0, "channels": 2, "blockSize": 512,
     "seconds": 0.6, "parameters": {}, "changes": [{"block": 30, "parameters": {"boostKnob": 1.0}}]},
    {"name": "48k Ultra Mode on, mono, Boost 2, AutoGain, Dry Mix 60, Input Adj +4", "rate": 48000.0,
     "channels": 1, "blockSize": 441, "seconds": 0.6,
     "parameters": {"boostKnob": 2.0, "linkOnOfFButton": 1.0, "drymixKnob": 60.0, "intrimKnob": 4.0,
                    "driveKnob": 0.5},
     "changes": []},
    {"name": "96k Ultra Mode off, stereo, Boost 3, High Pass 160, Low Pass 5000, Output Adj -3",
     "rate": 96000.0, "channels": 2, "blockSize": 1000, "seconds": 0.6,
     "parameters": {"ultraXButton": 0.0, "boostKnob": 3.0, "hpKnob": 160.0, "lpKnob": 5000.0,
                    "outtrimKnob": -3.0, "driveKnob": 0.8},
     "changes": []},
    # Short blocks make steep fade ramps; the Boost change fades at full level, the ramps having settled.
    {"name": "192k Ultra Mode off, mono, Drive 0.2 then 0.6, Boost 4 then 3, Dry Mix 85", "rate": 192000.0,
     "channels": 1, "blockSize": 97, "seconds": 0.6,
     "parameters": {"ultraXButton": 0.0, "boostKnob": 4.0, "drymixKnob": 85.0, "intrimKnob": -2.0,
                    "driveKnob": 0.2},
     "changes": [{"block": 300, "parameters": {"driveKnob": 0.6}}, {"block": 1000, "parameters": {"boostKnob": 3.0}}]},
]


# ==============================================================================
# The test signal: a sawtooth, a low and a high triangle under a slow triangle envelope, plus hashed
# noise. Phases are 32-bit integers; every float step is exact or a single rounding, so C++ gets the
# same samples.

def phase_increment(frequency, rate):
    return int(math.floor(frequency * 4294967296.0 / rate + 0.5))


def frac24(phase):
    """The top 24 bits of a 32-bit phase as a float32 in [0, 1): exact."""
    return (phase >> np.uint64(8)).astype(np.float32) * F(2.0 ** -24)


def hashed(n, channel):
    mask = np.uint64(0xFFFFFFFF)
    h = (n * np.uint64(0x9E3779B1) + np.uint64(channel) * np.uint64(0x85EBCA6B)) & mask
    h ^= h >> np.uint64(15)
    h = (h * np.uint64(0x2C1B3C6D)) & mask
    h ^= h >> np.uint64(12)
    h = (h * np.uint64(0x297A2D39)) & mask
    h ^= h >> np.uint64(15)
    return h


def test_signal(length, channels, rate):
    n = np.arange(length, dtype=np.uint64)
    mask = np.uint64(0xFFFFFFFF)
    out = np.zeros((channels, length), dtype=np.float32)
    for ch in range(channels):
        def phase(frequency, offset):
            inc = np.uint64(phase_increment(frequency, rate))
            return (n * inc + np.uint64(offset * ch)) & mask

        saw = frac24(phase(147.0, 0x40000000)) * TWO - ONE
        high = np.abs(frac24(phase(1250.0, 0x15555555)) - F(0.5)) * F(4) - ONE
        low = np.abs(frac24(phase(55.0, 0x2AAAAAAA)) - F(0.5)) * F(4) - ONE
        envelope = F(0.25) + F(0.75) * (np.abs(frac24(phase(1.7, 0x60000000)) - F(0.5)) * TWO)
        noise = frac24(hashed(n, ch)) - F(0.5)
        partials = (F(0.3) * saw + F(0.2) * high) + F(0.15) * low
        out[ch] = envelope * partials + F(0.03) * noise
    return out


# ==============================================================================
# The chain's pieces.

def decibels_to_gain(d):
    return np.power(F(10), d * F(0.05)) if d > F(-100) else ZERO


def drive_decibels(drive):
    return max(F(-100), np.log10(drive) * F(20)) if drive > ZERO else F(-100)


class Gain:
    """A gain stage: a new target is reached linearly over the ramp length, one step per sample; the step is
    added to the present gain sample by sample, and the last step lands on the target."""

    def __init__(self, ramp_length):
        self.current = ZERO
        self.target = ZERO
        self.countdown = 0
        self.step = ZERO
        self.ramp_length = ramp_length

    def set_target(self, value):
        value = F(value)
        if value == self.target:
            return
        self.target = value
        self.countdown = self.ramp_length
        self.step = (self.target - self.current) / F(self.countdown)

    def gains(self, n):
        g = np.full(n, self.target, dtype=np.float32)
        steps = min(n, self.countdown)
        if steps > 0:
            # Sequential float32 accumulation, as sample by sample.
            ramp = np.add.accumulate(np.concatenate(([self.current], np.full(steps, self.step, np.float32))))
            g[:steps] = ramp[1:]
            self.countdown -= steps
            self.current = ramp[-1]
            if self.countdown == 0:
                g[steps - 1] = self.target
                self.current = self.target
        return g

    def apply(self, block):
        block *= self.gains(block.shape[1])[None, :]


class FirstOrder:
    """y = b0 x + s, then s = b1 x - a1 y, one state per channel."""

    def __init__(self, channels):
        self.s = np.zeros(channels, dtype=np.float32)
        self.b0 = self.b1 = self.a1 = ZERO

    def set_high_pass(self, fs, f):
        n = np.tan(PI * f / fs)
        self.b0, self.b1, self.a1 = ONE / (n + ONE), -ONE / (n + ONE), (n - ONE) / (n + ONE)

    def set_low_pass(self, fs, f):
        n = np.tan(PI * f / fs)
        self.b0 = self.b1 = n / (n + ONE)
        self.a1 = (n - ONE) / (n + ONE)

    def apply(self, block):
        b0, b1, a1, s = self.b0, self.b1, self.a1, self.s
        for i in range(block.shape[1]):
            x = block[:, i]
            y = b0 * x + s
            s = b1 * x - a1 * y
            block[:, i] = y
        self.s = s


class SecondOrder:
    """The fixed filters: transposed direct form II, one state pair per channel."""

    def __init__(self, channels, coefficients):
        self.b0, self.b1, self.b2, self.a1, self.a2 = coefficients
        self.channels = channels
        self.clear()

    def clear(self):
        self.s1 = np.zeros(self.channels, dtype=np.float32)
        self.s2 = np.zeros(self.channels, dtype=np.float32)

    def apply(self, block):
        b0, b1, b2, a1, a2, s1, s2 = self.b0, self.b1, self.b2, self.a1, self.a2, self.s1, self.s2
        for i in range(block.shape[1]):
            x = block[:, i]
            y = x * b0 + s1
            s1 = (x * b1 - y * a1) + s2
            s2 = x * b2 - y * a2
            block[:, i] = y
        self.s1, self.s2 = s1, s2


def fixed_high_pass(fs):
    n = np.tan(F(62.831856) / fs)
    c = ONE / (ONE + ROOT2 * n + n * n)
    return c, -TWO * c, c, TWO * c * (n * n - ONE), c * (ONE - ROOT2 * n + n * n)


def fixed_low_pass(fs):
    n = ONE / np.tan(F(62831.855) / fs)
    c = ONE / (ONE + ROOT2 * n + n * n)
    return c, TWO * c, c, TWO * c * (ONE - n * n), c * (ONE - ROOT2 * n + n * n)


class Network:
    """LSTM(1, 40) + dense(40 to 1), the input sample added to the output; one instance per channel,
    each with its own state, run sample by sample in float32 with exact sigmoid and tanh."""

    def __init__(self, path):
        document = json.loads(path.read_text())
        if document["model_data"]["input_size"] != 1:
            raise ValueError(f"{path.name}: the model covers networks with one input")
        w = document["state_dict"]
        self.w_ih = np.array(w["rec.weight_ih_l0"], dtype=np.float32)[:, 0]
        self.w_hh = np.array(w["rec.weight_hh_l0"], dtype=np.float32)
        self.bias = np.array(w["rec.bias_ih_l0"], dtype=np.float32) + np.array(w["rec.bias_hh_l0"],
                                                                               dtype=np.float32)
        self.w_lin = np.array(w["lin.weight"], dtype=np.float32)[0]
        self.b_lin = F(w["lin.bias"][0])

    @staticmethod
    def sigmoid(z):
        return ONE / (ONE + np.exp(-z))

    def run(self, states, block):
        """Runs block[ch] through the instance whose state is states[ch] (h, c), in place."""
        channels = block.shape[0]
        h = np.stack([states[ch][0] for ch in range(channels)])
        c = np.stack([states[ch][1] for ch in range(channels)])
        w_hh_t = np.ascontiguousarray(self.w_hh.T)
        for i in range(block.shape[1]):
            x = block[:, i]
            gates = x[:, None] * self.w_ih[None, :] + self.bias[None, :] + h @ w_hh_t
            ig, fg, gg, og = gates[:, :40], gates[:, 40:80], gates[:, 80:120], gates[:, 120:]
            c = self.sigmoid(fg) * c + self.sigmoid(ig) * np.tanh(gg)
            h = self.sigmoid(og) * np.tanh(c)
            block[:, i] = (h @ self.w_lin + self.b_lin) + x
        for ch in range(channels):
            states[ch] = (h[ch].copy(), c[ch].copy())


def preparation_choice(rate, ultra, boost):
    """(oversampling order, network index) at a listed rate, or None."""
    table = {44100.0: (1, 15, 0), 48000.0: (1, 15, 5), 88200.0: (0, 15, 10),
             96000.0: (0, 15, 15), 176400.0: (0, 20, 20), 192000.0: (0, 20, 20)}
    if rate not in table:
        return None
    order, off_offset, on_offset = table[rate]
    return order, int(F(on_offset if ultra else off_offset) + boost)


def block_choice(rate, ultra, boost):
    if not ultra:
        return int(F(20 if rate == 192000.0 else 15) + boost)
    table = {44100.0: 0, 48000.0: 5, 88200.0: 10, 96000.0: 15, 192000.0: 20}
    return int(F(table[rate]) + boost) if rate in table else None


def fade_ramp(c):
    """(gain on the first sample, gain after the last) for fade step c, or None for a clear."""
    if 9 <= c <= 12:
        return F(0.25) * F(c - 8), F(0.25) * F(c - 9)
    if 5 <= c <= 8:
        return None
    return F(0.25) * F(4 - c), F(0.25) * F(5 - c)


# ==============================================================================
# The processor: prepared once at the case's rate, then fed the case's blocks.

class Chain:
    def __init__(self, rate, channels, parameters):
        self.rate = rate
        self.fs = F(rate)
        self.channels = channels
        self.p = {k: F(v) for k, v in parameters.items()}
        self.networks = {}  # model index -> the network's weights
        self.states = {}  # (model index, channel) -> (h, c)

        self.dc_high_pass = SecondOrder(channels, fixed_high_pass(self.fs))
        self.ultrasonic_low_pass = SecondOrder(channels, fixed_low_pass(self.fs))

        order, k = preparation_choice(rate, self.p["ultraXButton"] != ZERO, self.p["boostKnob"])
        if order != 0 and self.p["ultraXButton"] == ZERO:
            raise ValueError("the model has no oversampler")
        self.current = self.next = k
        self.ready = True
        self.fade_counter = 3
        self.chosen_once = False
        self.last_boost = -1

        ramp = int(math.floor(0.5 * rate))
        self.input_gain, self.drive_gain, self.output_gain = Gain(ramp), Gain(ramp), Gain(ramp)
        self.dry_gain, self.wet_gain, self.makeup_gain = Gain(ramp), Gain(ramp), Gain(ramp)
        self.pre_high_pass = FirstOrder(channels)
        self.post_low_pass = FirstOrder(channels)

    def network(self, k):
        if k not in self.networks:
            self.networks[k] = Network(MODELS / f"model_{k:02d}.json")
        return self.networks[k]

    def run_networks(self, block):
        states = [self.states.get((self.current, ch), (np.zeros(40, np.float32), np.zeros(40, np.float32)))
                  for ch in range(self.channels)]
        self.network(self.current).run(states, block)
        for ch in range(self.channels):
            self.states[(self.current, ch)] = states[ch]

    def choose(self, boost, ultra):
        def lookup():
            k = block_choice(self.rate, ultra != ZERO, boost)
            if k is not None:
                self.next = k
                self.fade_counter = 12
                self.ready = True

        if not self.chosen_once:
            lookup()
            self.chosen_once = True
        if boost != F(self.last_boost):
            lookup()
            self.last_boost = int(boost)

    def fade_step(self, block):
        c = self.fade_counter
        if c <= 0:
            return
        if c == 8:
            self.current = self.next
            self.dc_high_pass.clear()
        if c <= 12:
            ramp = fade_ramp(c)
            if ramp is None:
                block[:] = ZERO
            else:
                a, b = ramp
                increment = (b - a) / F(block.shape[1])
                gains = np.add.accumulate(np.concatenate(([a], np.full(block.shape[1] - 1, increment,
                                                                       np.float32))))
                block *= gains[None, :]
        self.fade_counter -= 1

    def process(self, block):
        p = self.p
        if p["poweRButton"] != ZERO:
            return block
        drive, dry_mix, boost = p["driveKnob"], p["drymixKnob"], p["boostKnob"]
        high_pass = p["hpKnob"] - F(10)

        self.choose(boost, p["ultraXButton"])
        dry = block.copy()

        self.drive_gain.set_target(drive)
        self.input_gain.set_target(decibels_to_gain(p["intrimKnob"]))
        self.dry_gain.set_target(ONE - dry_mix / F(100))
        self.wet_gain.set_target(dry_mix / F(100))
        self.output_gain.set_target(decibels_to_gain(p["outtrimKnob"]))

        self.input_gain.apply(block)
        self.drive_gain.apply(block)

        makeup_level = F(float(dry_mix / F(100)) + MAKEUP_OFFSET_DB[int(boost)])
        self.pre_high_pass.set_high_pass(self.fs, high_pass)
        self.post_low_pass.set_low_pass(self.fs, p["lpKnob"])

        self.pre_high_pass.apply(block)
        if self.ready:
            self.run_networks(block)
        self.dc_high_pass.apply(block)
        self.ultrasonic_low_pass.apply(block)
        self.fade_step(block)

        auto_gain = p["linkOnOfFButton"] != ZERO
        makeup = makeup_level if auto_gain else makeup_level - drive_decibels(drive)
        self.makeup_gain.set_target(decibels_to_gain(makeup))
        self.makeup_gain.apply(block)
        self.wet_gain.apply(block)
        self.post_low_pass.apply(block)

        self.dry_gain.apply(dry)
        block += dry
        self.output_gain.apply(block)
        return block


def run_case(case):
    rate, channels, block_size = case["rate"], case["channels"], case["blockSize"]
    length = case["length"]
    parameters = dict(DEFAULTS, **case["parameters"])
    chain = Chain(rate, channels, parameters)
    changes = {c["block"]: c["parameters"] for c in case["changes"]}
    x = test_signal(length, channels, rate)
    y = np.zeros_like(x)
    for index, start in enumerate(range(0, length, block_size)):
        if index in changes:
            chain.p.update({k: F(v) for k, v in changes[index].items()})
        block = x[:, start:start + block_size].copy()
        y[:, start:start + block_size] = chain.process(block)
    return x, y


def main():
    header = {"cases": []}
    data = []
    for case in CASES:
        case = dict(case)
        case["length"] = int(round(case.pop("seconds") * case["rate"]))
        assert case["length"] % case["blockSize"] != 0
        x, y = run_case(case)
        assert x.dtype == np.float32 and y.dtype == np.float32 and np.all(np.isfinite(y))
        check = [0, 1, 1000, case["length"] - 1]
        case["inputCheck"] = {"indices": check, "values": [[float(x[ch, i]) for i in check]
                                                           for ch in range(case["channels"])]}
        header["cases"].append(case)
        data.append(y.astype("<f4").tobytes())
        print(f"{case['name']}: {case['length']} samples, peak {np.max(np.abs(y)):.4f}")

    text = json.dumps(header, indent=1).encode()
    OUT.write_bytes(b"BWCHAIN1" + struct.pack("<I", len(text)) + text + b"".join(data))
    print(f"wrote {OUT.relative_to(ROOT)}: {OUT.stat().st_size} bytes")


if __name__ == "__main__":
    main()
