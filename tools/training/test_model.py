"""Self-checks of the exporter, the numpy forward pass and the effect.

    /usr/bin/python3 -m unittest tools/training/test_model.py
"""

import json
import math
import os
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import effect  # noqa: E402
import model  # noqa: E402


def random_weights(seed=0, scale=0.3):
    rng = np.random.default_rng(seed)
    return {name: (rng.standard_normal(shape) * scale).astype(np.float32)
            for name, shape in model.SHAPES}


class ExportForm(unittest.TestCase):
    def test_text_is_one_ascii_line_in_the_loader_form(self):
        text = model.to_json(random_weights())
        self.assertTrue(text.isascii())
        self.assertNotIn("\n", text)
        doc = json.loads(text)
        self.assertEqual(list(doc), ["model_data", "state_dict"])
        self.assertEqual(list(doc["model_data"].items()),
                         [("model", "SimpleRNN"), ("input_size", 1), ("skip", 1), ("output_size", 1),
                          ("unit_type", "LSTM"), ("num_layers", 1), ("hidden_size", 40),
                          ("bias_fl", True)])
        self.assertEqual(list(doc["state_dict"]), [name for name, _ in model.SHAPES])
        for name, shape in model.SHAPES:
            self.assertEqual(np.array(doc["state_dict"][name]).shape, shape, name)

    def test_every_float32_reads_back_exactly(self):
        w = random_weights()
        # Values that short decimal forms get wrong: extremes, subnormals, near-ties.
        edge = np.array([np.finfo(np.float32).max, np.finfo(np.float32).tiny, 1e-45, -0.0,
                         np.nextafter(np.float32(1), np.float32(2)), 16777217.0, 0.1, -3.4e38],
                        dtype=np.float32)
        w["rec.bias_ih_l0"][:len(edge)] = edge
        back = model.load(model.to_json(w))
        for name, _ in model.SHAPES:
            self.assertTrue(np.array_equal(back[name].view(np.uint32) & 0x7fffffff,
                                           w[name].view(np.uint32) & 0x7fffffff), name)

    def test_refuses_bad_weights(self):
        cases = [("rec.weight_hh_l0", (3, 5), math.nan), ("lin.bias", (0,), math.inf),
                 ("lin.weight", (0, 7), -math.inf)]
        for name, where, value in cases:
            w = random_weights()
            w[name][where] = value
            with self.assertRaises(ValueError, msg=name):
                model.to_json(w)
        w = random_weights()
        w["lin.weight"] = w["lin.weight"].reshape(40)
        with self.assertRaises(ValueError):
            model.to_json(w)


class NumpyForward(unittest.TestCase):
    def test_matches_torch_over_a_long_continuous_pass(self):
        import torch
        torch.manual_seed(3)
        net = model.make_net()
        x = (np.random.default_rng(1).standard_normal(4000) * 0.3).astype(np.float32)
        with torch.no_grad():
            want, _ = net(torch.from_numpy(x).view(1, -1, 1))
        got = model.forward_numpy(model.load(model.to_json(model.weights_of(net))), x)
        self.assertLess(model.esr(want.view(-1).numpy(), got), 1e-10)

    def test_zero_network_passes_input_through(self):
        w = {name: np.zeros(shape, np.float32) for name, shape in model.SHAPES}
        x = np.linspace(-1, 1, 100, dtype=np.float32)
        np.testing.assert_array_equal(model.forward_numpy(w, x), x)


class Effect(unittest.TestCase):
    def test_boost_steps_follow_the_makeup_spread(self):
        for fs in (44100, 192000):
            x = effect.guitar_probe(fs, seconds=2.0)
            levels = [effect.rms_db(effect.render(x, fs, b)) for b in range(5)]
            self.assertTrue(all(b > a + 0.5 for a, b in zip(levels, levels[1:])), levels)
            self.assertAlmostEqual(levels[4] - levels[0], 7.7, delta=1.5)

    def test_same_circuit_at_every_rate(self):
        # A 1 kHz tone must come out with the same level and harmonics at any rate.
        def harmonics(fs):
            t = np.arange(int(0.5 * fs)) / fs
            y = effect.render((0.5 * np.sin(2 * np.pi * 1000 * t)).astype(np.float32), fs, 4)
            seg = y[-fs // 10:].astype(np.float64)
            tt = t[-fs // 10:]
            return [abs(np.mean(seg * np.exp(-2j * np.pi * 1000 * k * tt))) for k in (1, 2, 3)]
        ref = harmonics(48000)
        for fs in (44100, 88200, 96000, 192000):
            np.testing.assert_allclose(harmonics(fs), ref, rtol=0.02, err_msg=str(fs))

    def test_little_aliasing_at_44k(self):
        fs = 44100
        t = np.arange(fs) / fs
        y = effect.render((0.9 * np.sin(2 * np.pi * 7000 * t)).astype(np.float32), fs, 4)
        spec = np.abs(np.fft.rfft(y[-32768:] * np.blackman(32768)))
        f = np.fft.rfftfreq(32768, 1 / fs)
        harmonic = np.min(np.abs((f[:, None] - 7000 * np.arange(0, 4)[None, :])), axis=1) < 40
        alias_db = 20 * np.log10(spec[~harmonic].max() / spec.max())
        self.assertLess(alias_db, -70)


if __name__ == "__main__":
    unittest.main()
