"""Cached input and target audio per rate, set and Boost position.

The audio is made once per rate by data.make_set and effect.render and kept
as .npy files under .cache/ (not committed). A stamp per rate records the
hash of data.py and effect.py, so a change to either remakes the audio.
"""

import hashlib
import os

import numpy as np

import data
import effect

CACHE = os.path.join(os.path.dirname(os.path.abspath(__file__)), ".cache")


def _path(fs, name, boost=None):
    tail = "x" if boost is None else f"y{boost}"
    return os.path.join(CACHE, f"{fs}_{name}_{tail}.npy")


def _save(path, a):
    tmp = path + ".tmp.npy"
    np.save(tmp, a)
    os.replace(tmp, path)


def _fingerprint():
    h = hashlib.sha1()
    for module in (data, effect):
        with open(module.__file__, "rb") as f:
            h.update(f.read())
    return h.hexdigest()


def _stamp(fs):
    return os.path.join(CACHE, f"{fs}.stamp")


def prepare(fs):
    """Makes every set and target at rate fs unless already cached."""
    os.makedirs(CACHE, exist_ok=True)
    for name in data.SETS:
        x = data.make_set(name, fs)
        for b in range(effect.BOOST_LEVELS):
            _save(_path(fs, name, b), effect.render(x, fs, b))
        _save(_path(fs, name), x)
    with open(_stamp(fs), "w") as f:
        f.write(_fingerprint())  # written last: marks the rate as complete
    return fs


def ready(fs):
    try:
        with open(_stamp(fs)) as f:
            return f.read() == _fingerprint()
    except FileNotFoundError:
        return False


def load_pair(fs, name, boost):
    return np.load(_path(fs, name)), np.load(_path(fs, name, boost))
