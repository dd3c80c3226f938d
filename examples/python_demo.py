#!/usr/bin/python3
"""A scan simulated, cleaned and reconstructed three ways with cttk.

The Shepp-Logan head is scanned (exact line integrals), given counting
noise and a few bad detector columns (rings), the stripes are removed, the
axis is found, and the slice is reconstructed by filtered back-projection,
SIRT and CGLS. Prints each method's error against the exact image; with
matplotlib installed, also writes python_demo.png (the slices and their
errors). Run after building (the README's first command):

    PYTHONPATH=build/release/python examples/python_demo.py

or after `cmake --install`, with the module where python3 finds it.
"""
import numpy as np

import cttk

N, VIEWS, AXIS = 256, 360, 129.25
# The head's densities are per pixel; MU is the attenuation of density 1
# across one pixel, so that the line integrals (up to about 55 pixels of
# density 1) attenuate the beam as a real sample does (to about a third).
MU = 0.02
truth = cttk.phantom_image("shepp-logan:100", N)
scan = cttk.phantom_sino("shepp-logan:100", N, AXIS, views=VIEWS)
scan = cttk.noise(MU * scan, 1e5, seed=1) / MU  # 1e5 counts in the open beam
scan[:, [40, 41, 170]] += 0.5  # detector columns off: rings

clean = cttk.remove_rings(scan)
center = cttk.find_center(clean)
print(f"axis found at {center:.3f} (true {AXIS})")

slices = {
    "fbp": cttk.recon(clean, center, kernel="shepp"),
    "sirt": cttk.recon(clean, center, method="sirt", iterations=100, nonnegative=True),
    "cgls": cttk.recon(clean, center, method="cgls", iterations=20),
}
for name, image in slices.items():
    rms = np.sqrt(np.mean((image - truth) ** 2))
    print(f"{name}: rms error {rms:.4f}")

try:
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
except ImportError:
    print("matplotlib not installed: no figure.")
else:
    figure, axes = plt.subplots(2, 3, figsize=(10, 7))
    for column, (name, image) in enumerate(slices.items()):
        axes[0, column].imshow(image, cmap="gray", vmin=0, vmax=1)
        axes[0, column].set_title(name)
        axes[1, column].imshow(image - truth, cmap="RdBu", vmin=-0.2, vmax=0.2)
        axes[1, column].set_title(f"{name} - truth")
    for axis in axes.flat:
        axis.axis("off")
    figure.savefig("python_demo.png", dpi=80)
    print("wrote python_demo.png")
