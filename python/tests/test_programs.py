"""Every function equals its program on the same data."""
import warnings

import numpy as np
import pytest

import cttk

ELLIPSES = "0 0 20 12 30 1\n4 -3 5 3 -10 0.5\n"
ANGLES = np.sort(np.random.default_rng(7).uniform(0, 180, 70))


def same(a, b, rel=0.0):
    assert a.shape == b.shape
    if rel == 0.0:
        assert np.array_equal(a, b, equal_nan=True)
    else:
        np.testing.assert_allclose(a, b, rtol=rel, atol=rel * np.abs(b).max())


def test_phantoms(run, tmp_path):
    (tmp_path / "e.txt").write_text(ELLIPSES)
    same(cttk.phantom_image("shepp-logan:20", 48), run("phantom_image", "shepp-logan:20", 48, "o", out="o"))
    same(cttk.phantom_image(ELLIPSES, 40, pixel=1.5), run("phantom_image", "-p", 1.5, "e.txt", 40, "o", out="o"))
    same(cttk.phantom_image(np.array([[0, 0, 20, 12, 30, 1], [4, -3, 5, 3, -10, 0.5]]), 40),
         run("phantom_image", "e.txt", 40, "o", out="o"))
    same(cttk.phantom_sino(tmp_path / "e.txt", 64, 30.25, views=50), run("phantom_sino", "e.txt", 64, 30.25, 50, "o", out="o"))
    same(cttk.phantom_sino("shepp-logan:20", 64, 31.5, angles=ANGLES),
         run("phantom_sino", "-a", ANGLES, "shepp-logan:20", 64, 31.5, 70, "o", out="o"))


def test_project_and_its_transpose(run):
    image = cttk.phantom_image("shepp-logan:20", 48)
    same(cttk.project(image, 64, 31.5, views=60), run("img_sino", image, 64, 31.5, 60, "o", out="o"))
    same(cttk.project(image, 64, 30.0, angles=ANGLES, pixel=1.25),
         run("img_sino", "-a", ANGLES, "-p", 1.25, image, 64, 30.0, 70, "o", out="o"))
    # The transpose: <A x, y> = <x, A^T y>.
    y = np.random.default_rng(1).random((70, 64))
    ax = cttk.project(image, 64, 30.0, angles=ANGLES)
    aty = cttk.backproject(y, 30.0, 48, angles=ANGLES)
    assert np.vdot(ax, y) == pytest.approx(np.vdot(image, aty), rel=1e-12)


@pytest.mark.parametrize("kernel", ["shepp", "chesler", "ramachandran"])
def test_fbp(run, head, kernel):
    same(cttk.recon(head, 31.5, kernel=kernel), run("sino_recon", head, 31.5, 1, 64, kernel, "o", out="o"))


def test_fourier_and_tv(run, head):
    # Gridding as sino_recon -M fourier, TV as sino_iter's tv, to the bit.
    same(cttk.recon(head, 31.5, 1, 64, "shepp", method="fourier"),
         run("sino_recon", "-M", "fourier", head, 31.5, 1, 64, "shepp", "o", out="o"))
    same(cttk.recon(head, 31.5, 2, 48, method="tv", iterations=20, nonnegative=True),
         run("sino_iter", "-n", "-i", 20, head, 31.5, 2, 48, "tv", "o", out="o"))
    same(cttk.recon(head, 31.5, 1, 48, method="sirt", iterations=5, nonnegative=True),
         run("sino_iter", "-n", "-i", 5, head, 31.5, 1, 48, "sirt", "o", out="o"))


def test_fbp_options_and_volumes(run, head):
    sino = cttk.phantom_sino("shepp-logan:26", 64, 32.25, angles=ANGLES)
    with pytest.warns(UserWarning, match="limited range: the views leave a gap of"):
        got = cttk.recon(sino, 32.25, 0.5, 40, "chesler", angles=ANGLES, pixel=1.5, offset=(2, -3))
    same(got, run("sino_recon", "-a", ANGLES, "-p", 1.5, "-o", "2,-3", sino, 32.25, 0.5, 40, "chesler", "o", out="o"))
    # Angles in radians are told by their shape, as sino_recon -a tells
    # them, and read as radians: a half turn and a limited range.
    for degrees, span in ((np.arange(90) * 2.0, "span about pi"), (np.arange(100) * 1.2, "span only")):
        sino = cttk.phantom_sino("shepp-logan:20", 64, 31.5, angles=degrees)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            want = cttk.recon(sino, 31.5, angles=degrees)
        with pytest.warns(UserWarning, match="angles read as radians \\(their values " + span):
            got = cttk.recon(sino, 31.5, angles=np.radians(degrees))
        assert np.abs(got - want).max() < 1e-9
    # A half acquisition over the whole turn, unfolded: told, as sino_recon
    # tells it; the iterations fit the views as they lie and say nothing.
    turn = np.arange(120) * 3.0
    off = cttk.phantom_sino("shepp-logan:20", 64, 15.5, angles=turn)
    with pytest.warns(UserWarning, match="half acquisition"):
        cttk.recon(off, 15.5, angles=turn)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        cttk.recon(off, 15.5, angles=turn, method="cgls", iterations=2)
    # Projections x rows x columns, a centre per row: each row as alone.
    stack = np.stack([head, 2 * head, head[:, ::-1]], axis=1)
    volume = cttk.recon(stack, [31.5, 31.0, 32.0], size=32)
    for r, c in enumerate([31.5, 31.0, 32.0]):
        same(volume[r], cttk.recon(stack[:, r, :], c, size=32))


@pytest.mark.parametrize("method", ["sirt", "cgls"])
def test_iterative(run, head, method):
    same(cttk.recon(head, 31.5, 2.0, 48, method=method, iterations=4),
         run("sino_iter", "-i", 4, head, 31.5, 2.0, 48, method, "o", out="o"))
    if method == "sirt":
        same(cttk.recon(head, 31.5, method="sirt", iterations=3, nonnegative=True),
             run("sino_iter", "-n", "-i", 3, head, 31.5, 1, "o", out="o"))


def test_find_center(run, head):
    assert cttk.find_center(head) == pytest.approx(float(run("sino_center", head)), abs=1e-6)
    full = cttk.phantom_sino("shepp-logan:20", 64, 24.75, views=120, angles=np.arange(120) * 3.0)
    assert cttk.find_center(full, full_turn=True) == pytest.approx(float(run("sino_center", "-t", full)), abs=1e-6)
    assert cttk.find_center(full, angles=np.arange(120) * 3.0) == pytest.approx(
        float(run("sino_center", "-a", np.arange(120) * 3.0, full)), abs=1e-6)


@pytest.mark.parametrize("method,size", [(None, None), ("detect", 9), ("sort", None), ("fft", 7)])
def test_rings(run, head, method, size):
    striped = head + np.random.default_rng(3).normal(0, 0.05, head.shape[1])
    words = [striped] + [w for w in (method, size) if w is not None]
    same(cttk.remove_rings(striped, method, size), run("sino_rings", *words, "o", out="o"))


def test_fold_and_noise(run):
    full = cttk.phantom_sino("shepp-logan:20", 64, 44.5, angles=np.arange(120) * 3.0)
    folded, center = cttk.fold(full, 44.5)
    same(folded, run("sino_fold", full, 44.5, "o", out="o"))
    assert center == pytest.approx(float(run("sino_fold", full, 44.5, "o")), abs=1e-6)
    sino = cttk.phantom_sino("shepp-logan:20", 32, 15.5, views=20)
    same(cttk.noise(sino, 1e4, 2**64 - 1), run("sino_noise", sino, 1e4, 2**64 - 1, "o", out="o"))


def test_stacks(run, tmp_path):
    rng = np.random.default_rng(5)
    counts = rng.integers(200, 4000, (12, 3, 20)).astype(np.float32)
    counts[4, 1, 7] = 60000  # a zinger
    # Flats and darks within their photon noise: proj_sino -z leaves them as
    # they are, as normalize takes them.
    flats = rng.integers(3990, 4010, (2, 3, 20)).astype(np.float32)
    darks = rng.integers(99, 101, (2, 3, 20)).astype(np.float32)
    for name, a in (("p.tif", counts), ("f.tif", flats), ("d.tif", darks)):
        cttk.write_volume(tmp_path / name, np.pad(a, ((0, 0), (0, 17), (0, 0))))
    # Square pages (the volume writer's) of which the stack keeps 3 rows.
    p, f, d = (cttk.read_stack(tmp_path / n)[:, :3, :] for n in ("p.tif", "f.tif", "d.tif"))
    assert np.array_equal(p, counts)
    line = cttk.normalize(p, f, d)
    run("proj_sino", "-r", "0,3", "-f", "f.tif", "-d", "d.tif", "p.tif", "row%d.sg")
    for r in range(3):
        same(line[:, r, :], cttk.read_sinogram(tmp_path / f"row{r}.sg"))
    # proj_sino replaces zingers in the counts, before normalising.
    clean = cttk.normalize(cttk.zingers(p, 4.0), f, d)
    run("proj_sino", "-z", 4, "-r", "0,3", "-f", "f.tif", "-d", "d.tif", "p.tif", "row%d.sg")
    for r in range(3):
        same(clean[:, r, :], cttk.read_sinogram(tmp_path / f"row{r}.sg"))
    assert clean[4, 1, 7] != line[4, 1, 7]
    scan = cttk.read_scan(tmp_path / "p.tif", flats=[tmp_path / "f.tif"], darks=tmp_path / "d.tif")
    assert [a.shape for a in scan] == [(12, 20, 20), (2, 20, 20), (2, 20, 20)]
    cttk.write_volume(tmp_path / "v.h5", counts[:, :, :3], pixel=0.65, centers=9.5, angles=np.arange(12.0))
    assert np.array_equal(cttk.read_volume(tmp_path / "v.h5"), counts[:, :, :3])


def test_paganin(run, tmp_path):
    # A phase-contrast scan of a ball from phase_stack, retrieved as
    # proj_sino -P retrieves it, each row's sinogram to the bit.
    run("phase_stack", "-f", "flat.tif", "shepp-logan:20", 48, 6, "1e-6,1e-9,0.1,10,5e-6", "p.tif")
    p, f = (cttk.read_stack(tmp_path / n) for n in ("p.tif", "flat.tif"))
    got = cttk.paganin(p, 1000, 0.1, 10, 5e-6, flats=f)
    run("proj_sino", "-P", "1000,0.1,10,5e-6", "-f", "flat.tif", "p.tif", "row%d.sg")
    for r in (0, 17, 47):
        same(got[:, r, :], cttk.read_sinogram(tmp_path / f"row{r}.sg"))
    with pytest.raises(ValueError, match=r"bad delta/beta \(-P\)."):
        cttk.paganin(p, -1, 0.1, 10, 5e-6)


def test_a_sinogram_as_a_tiff_reads_as_the_sinogram(run, head, tmp_path):
    # sino_tiff's TIFF of 64-bit floats is read as the sinogram it holds,
    # as sino_stat reads it.
    cttk.write_sinogram(tmp_path / "s.sg", head)
    run("sino_tiff", tmp_path / "s.sg", 64, tmp_path / "s.tif")
    assert np.array_equal(cttk.read_sinogram(tmp_path / "s.tif"), head)


def test_an_axis_and_interval_swapped_are_warned_about(head):
    # As sino_recon warns: the axis near an end, the interval where an
    # axis would lie; the right order says nothing.
    with pytest.warns(UserWarning, match="were they swapped"):
        cttk.recon(head, 1, 31.5)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        cttk.recon(head, 31.5, 1)


def test_a_whole_turn_and_one_view_given_as_a_half_turn_are_warned_about(head):
    # As sino_recon warns, without angles: a whole turn reconstructed as a
    # half one is wrong, and one view is that view smeared; with the turn's
    # angles, or a half turn, nothing is said.
    turn = np.arange(128) * 360.0 / 128
    whole = cttk.phantom_sino("shepp-logan:26", 64, 31.5, angles=turn)
    with pytest.warns(UserWarning, match="look like a whole turn .* give the angles;"):
        cttk.recon(whole, 31.5, 1)
    with pytest.warns(UserWarning, match="one view: the image is that projection smeared"):
        cttk.recon(head[:1], 31.5, 1)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        cttk.recon(whole, 31.5, 1, angles=turn)
        cttk.recon(cttk.phantom_sino("shepp-logan:26", 64, 31.5, views=128), 31.5, 1)
