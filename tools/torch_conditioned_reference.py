#!/usr/bin/python3
"""Writes a 2-input model file and PyTorch's output for it, the fixtures of the conditioned network.

None of the shipped model files has two inputs, so the processor's conditioned path (the Drive value as
the network's second input) gets a model file of its own: torch.nn.LSTM(2, 40) + torch.nn.Linear(40, 1)
with seeded random weights, in the shipped form, as tests/data/conditioned_model.json.

tests/data/conditioned_reference.json holds a fixed input, a list of calls (sample count and
conditioning value) and PyTorch's output, the input added, when each call ramps the second input as the
network instance's conditioned call does: a new value is reached over one call, one equal step per
sample from the value the previous call ended at (0 for a new instance), in float32; an unchanged value
is fed as it is; a call of no samples only moves the value.

Run with Debian's interpreter, which has python3-torch:
    /usr/bin/python3 tools/torch_conditioned_reference.py
"""

import json
import pathlib

import numpy as np
import torch

ROOT = pathlib.Path(__file__).resolve().parent.parent
MODEL = ROOT / "tests/data/conditioned_model.json"
REFERENCE = ROOT / "tests/data/conditioned_reference.json"

F = np.float32
CALLS = [(1, 0.3), (7, 0.3), (0, 0.5), (128, 0.5), (64, 0.8), (300, 0.8), (3, 0.1), (97, 0.1)]


def second_inputs(calls):
    """The conditioning value of every sample, call by call."""
    value = F(0)
    out = []
    for n, c in calls:
        c = F(c)
        if n > 0:
            if c != value:
                step = (c - value) / F(n)
                out += [value + F(i + 1) * step for i in range(n)]
            else:
                out += [c] * n
        value = c
    return np.array(out, dtype=np.float32)


def test_input(n):
    rng = np.random.default_rng(2024)
    t = np.arange(n) / 48000.0
    return (0.5 * np.sin(2 * np.pi * 330.0 * t) + 0.05 * rng.standard_normal(n)).astype(np.float32)


def main():
    torch.manual_seed(7)
    lstm = torch.nn.LSTM(2, 40)
    lin = torch.nn.Linear(40, 1)
    # The second input weighs five times the default, so that a wrong one shows; the weights are
    # rounded to three decimals, which keeps the file small (both sides read the same decimals).
    with torch.no_grad():
        lstm.weight_ih_l0[:, 1] *= 5.0
        for parameter in list(lstm.parameters()) + list(lin.parameters()):
            parameter.copy_(torch.tensor(np.round(parameter.numpy().astype(np.float64), 3).tolist()))

    x = test_input(sum(n for n, _ in CALLS))
    v = second_inputs(CALLS)
    with torch.no_grad():
        frames = torch.from_numpy(np.stack([x, v], axis=1)).reshape(-1, 1, 2)
        hidden, _ = lstm(frames)
        y = (lin(hidden).reshape(-1) + torch.from_numpy(x)).numpy().astype(np.float32)

    def weights(t):
        return np.round(t.detach().numpy().astype(np.float64), 3).tolist()

    model = {
        "model_data": {"model": "SimpleRNN", "input_size": 2, "skip": 1, "output_size": 1, "unit_type": "LSTM",
                       "num_layers": 1, "hidden_size": 40, "bias_fl": True},
        "state_dict": {"rec.weight_ih_l0": weights(lstm.weight_ih_l0), "rec.weight_hh_l0": weights(lstm.weight_hh_l0),
                       "rec.bias_ih_l0": weights(lstm.bias_ih_l0), "rec.bias_hh_l0": weights(lstm.bias_hh_l0),
                       "lin.weight": weights(lin.weight), "lin.bias": weights(lin.bias)},
    }
    MODEL.write_text(json.dumps(model, separators=(",", ":")))
    reference = {
        "calls": [{"samples": n, "condition": float(F(c))} for n, c in CALLS],
        "input": [float(s) for s in x],
        "output": [float(s) for s in y],
    }
    REFERENCE.write_text(json.dumps(reference, separators=(",", ":")))
    print(f"wrote {MODEL.relative_to(ROOT)} and {REFERENCE.relative_to(ROOT)}: {len(y)} samples")


if __name__ == "__main__":
    main()
