"""The network, its file form, and a numpy forward pass that checks the files.

The file is what the plug-in's loader reads: one line of ASCII, no final
line break, "model_data" first, then the six weights under "rec." (the LSTM)
and "lin." (the output layer), shapes as torch stores them. Each weight is
written as the shortest decimal that reads back as the same float32.
"""

import json
import math

import numpy as np

HIDDEN = 40
GROUP_RATES = (44100, 48000, 88200, 96000, 192000)
BOOSTS = 5
MODEL_COUNT = len(GROUP_RATES) * BOOSTS

MODEL_DATA = (
    '"model_data":{"model":"SimpleRNN","input_size":1,"skip":1,"output_size":1,'
    '"unit_type":"LSTM","num_layers":1,"hidden_size":40,"bias_fl":true}'
)
SHAPES = (
    ("rec.weight_ih_l0", (4 * HIDDEN, 1)),
    ("rec.weight_hh_l0", (4 * HIDDEN, HIDDEN)),
    ("rec.bias_ih_l0", (4 * HIDDEN,)),
    ("rec.bias_hh_l0", (4 * HIDDEN,)),
    ("lin.weight", (1, HIDDEN)),
    ("lin.bias", (1,)),
)


def model_index(group, boost):
    return BOOSTS * group + boost


def model_path(root, index):
    return f"{root}/model_{index:02d}.json"


def make_net():
    import torch

    class Net(torch.nn.Module):
        """LSTM(1, 40) and Linear(40, 1); the input is added to the output."""

        def __init__(self):
            super().__init__()
            self.rec = torch.nn.LSTM(1, HIDDEN, batch_first=True)
            self.lin = torch.nn.Linear(HIDDEN, 1)

        def forward(self, x, state=None):
            h, state = self.rec(x, state)
            return self.lin(h) + x, state

    return Net()


def _number(v):
    f = float(np.float32(v))
    if not math.isfinite(f):
        raise ValueError("weight is not finite")
    text = repr(f)
    if np.float32(float(text)) != np.float32(v):
        raise ValueError(f"{text} does not read back as {v!r}")
    return text


def _array(a):
    if a.ndim == 1:
        return "[" + ",".join(_number(v) for v in a) + "]"
    return "[" + ",".join(_array(row) for row in a) + "]"


def to_json(weights):
    """File text for a dict name -> float32 array; refuses wrong shapes and non-finite values."""
    parts = []
    for name, shape in SHAPES:
        a = np.asarray(weights[name], dtype=np.float32)
        if a.shape != shape:
            raise ValueError(f"{name} has shape {a.shape}, expected {shape}")
        if not np.all(np.isfinite(a)):
            raise ValueError(f"{name} holds a value that is not finite")
        parts.append(f'"{name}":{_array(a)}')
    return "{" + MODEL_DATA + ',"state_dict":{' + ",".join(parts) + "}}"


def save(path, weights):
    text = to_json(weights)
    back = load(text)
    for name, _ in SHAPES:
        if not np.array_equal(back[name], np.asarray(weights[name], np.float32)):
            raise ValueError(f"{name} did not survive the round trip")
    with open(path, "w", encoding="ascii", newline="") as f:
        f.write(text)


def load(text_or_path):
    """Weights (float32 arrays) from file text or a path."""
    text = text_or_path
    if not text.lstrip().startswith("{"):
        with open(text_or_path, encoding="ascii") as f:
            text = f.read()
    sd = json.loads(text)["state_dict"]
    return {name: np.array(sd[name], dtype=np.float32).reshape(shape) for name, shape in SHAPES}


def weights_of(net):
    sd = net.state_dict()
    return {name: sd[name].detach().cpu().numpy() for name, _ in SHAPES}


def load_into(net, weights):
    import torch
    net.load_state_dict({k: torch.from_numpy(np.array(v)) for k, v in weights.items()})


def forward_numpy(weights, x):
    """The file's network run over x in one continuous pass, sample by sample.

    Written from the torch conventions alone (gates i, f, g, o; the two
    biases summed; y = lin(h) + x) so that it checks the file, not torch.
    """
    w_ih = weights["rec.weight_ih_l0"][:, 0].astype(np.float64)
    w_hh = weights["rec.weight_hh_l0"].astype(np.float64)
    bias = weights["rec.bias_ih_l0"].astype(np.float64) + weights["rec.bias_hh_l0"]
    w_out = weights["lin.weight"][0].astype(np.float64)
    b_out = float(weights["lin.bias"][0])
    n = HIDDEN
    h = np.zeros(n)
    c = np.zeros(n)
    y = np.empty(len(x), dtype=np.float64)
    exp, tanh, dot = np.exp, np.tanh, np.dot
    for t, xt in enumerate(np.asarray(x, np.float64)):
        z = w_ih * xt + dot(w_hh, h) + bias
        s = 1.0 / (1.0 + exp(-z))
        c = s[n:2 * n] * c + s[:n] * tanh(z[2 * n:3 * n])
        h = s[3 * n:] * tanh(c)
        y[t] = dot(w_out, h) + b_out + xt
    return y.astype(np.float32)


def esr(target, output):
    t = np.asarray(target, np.float64)
    e = t - np.asarray(output, np.float64)
    return float(np.sum(e * e) / np.sum(t * t))
