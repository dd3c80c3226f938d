"""What the module's tests share: the built programs, run on files."""
import os
import subprocess

import numpy as np
import pytest

import cttk

BIN = os.path.abspath(os.environ.get("CTTK_BIN", os.path.join(os.path.dirname(__file__), "..", "..", "build", "release", "bin")))


@pytest.fixture
def run(tmp_path):
    """run(program, *words) -> stdout text; words that are arrays are
    written as sinogram files first, and `out` names the file read back."""

    def go(program, *words, out=None):
        args = [os.path.join(BIN, program)]
        for k, word in enumerate(words):
            if isinstance(word, np.ndarray):
                name = str(tmp_path / f"in{k}.sg")
                if word.ndim == 1:
                    np.savetxt(name, word)
                else:
                    cttk.write_sinogram(name, word)
                word = name
            args.append(str(word))
        done = subprocess.run(args, capture_output=True, text=True, cwd=tmp_path)
        assert done.returncode == 0, done.stderr
        return cttk.read_sinogram(tmp_path / out) if out else done.stdout

    return go


@pytest.fixture(scope="session")
def head():
    """A Shepp-Logan head scanned over 90 views of 64 detectors."""
    return cttk.phantom_sino("shepp-logan:26", 64, 31.5, views=90)
