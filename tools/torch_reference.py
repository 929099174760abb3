#!/usr/bin/python3
"""Writes the fixture that checks the C++ network against PyTorch.

Runs torch.nn.LSTM(1, 40) + torch.nn.Linear(40, 1), with the input added to the output,
on one model file and a fixed input of a few thousand samples, and stores the input and
the expected output in tests/data/torch_reference.json.

Run with Debian's interpreter, which has python3-torch:
    /usr/bin/python3 tools/torch_reference.py [resources/models/model_07.json]
"""

import json
import pathlib
import sys

import numpy as np
import torch

ROOT = pathlib.Path(__file__).resolve().parent.parent
MODEL = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "resources/models/model_07.json"
OUT = ROOT / "tests/data/torch_reference.json"


def test_input(n=4000, rate=48000.0):
    """A decaying pluck-like tone, a quiet stretch and a loud burst: exercises small and saturated states."""
    rng = np.random.default_rng(1234)
    t = np.arange(n) / rate
    tone = 0.6 * np.sin(2 * np.pi * 196.0 * t) * np.exp(-t * 12.0)
    noise = 0.05 * rng.standard_normal(n)
    burst = np.where((t > 0.05) & (t < 0.065), 0.95 * np.sign(np.sin(2 * np.pi * 440.0 * t)), 0.0)
    return (tone + noise + burst).astype(np.float32)


def model_name():
    path = MODEL.resolve()
    return str(path.relative_to(ROOT)) if ROOT in path.parents else str(path)


def main():
    state = json.loads(MODEL.read_text())["state_dict"]
    lstm = torch.nn.LSTM(1, 40)
    lin = torch.nn.Linear(40, 1)
    with torch.no_grad():
        lstm.weight_ih_l0.copy_(torch.tensor(state["rec.weight_ih_l0"]))
        lstm.weight_hh_l0.copy_(torch.tensor(state["rec.weight_hh_l0"]))
        lstm.bias_ih_l0.copy_(torch.tensor(state["rec.bias_ih_l0"]))
        lstm.bias_hh_l0.copy_(torch.tensor(state["rec.bias_hh_l0"]))
        lin.weight.copy_(torch.tensor(state["lin.weight"]))
        lin.bias.copy_(torch.tensor(state["lin.bias"]))

        x = torch.from_numpy(test_input()).reshape(-1, 1, 1)
        hidden, _ = lstm(x)
        y = (lin(hidden) + x).reshape(-1).numpy().astype(np.float32)

    fixture = {
        "model": model_name(),
        "input": [float(v) for v in x.reshape(-1).numpy()],
        "output": [float(v) for v in y],
    }
    OUT.write_text(json.dumps(fixture, separators=(",", ":")))
    print(f"wrote {OUT.relative_to(ROOT)}: {len(y)} samples through {fixture['model']}")


if __name__ == "__main__":
    main()
