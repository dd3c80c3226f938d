"""A thousand calls leave the resident memory where it was."""
import numpy as np

import cttk


def resident_kib():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def test_no_leak_over_a_thousand_calls(tmp_path):
    sino = cttk.phantom_sino("shepp-logan:12", 32, 15.5, views=24)

    def calls():
        cttk.recon(sino, 15.5)
        cttk.recon(sino, 15.5, method="cgls", iterations=1)
        cttk.project(cttk.backproject(sino, 15.5, 32), 32, 15.5, views=24)
        cttk.remove_rings(sino)
        cttk.write_sinogram(tmp_path / "s.sg", sino)
        cttk.read_sinogram(tmp_path / "s.sg")
        try:
            cttk.find_center(np.zeros((24, 32)))
        except ValueError:
            pass

    threads = cttk.get_threads()
    cttk.set_threads(1)  # small calls: no thread team to wait for
    for _ in range(100):
        calls()
    before = resident_kib()
    for _ in range(1000):
        calls()
    cttk.set_threads(threads)
    # A leak of one 32 x 32 image per call would add 8 MiB.
    assert resident_kib() - before < 4096
