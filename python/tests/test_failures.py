"""Bad arrays, arguments and files raise with the programs' messages; no
array crashes the module."""
import threading
import time

import numpy as np
import pytest

import cttk

GOOD = cttk.phantom_sino("shepp-logan:20", 48, 23.5, views=40)

BAD_ARRAYS = [
    (np.zeros((40, 48), complex), ValueError, "not real"),
    (np.array([["a"] * 48] * 40), ValueError, "not real"),
    ([[object()]], ValueError, "not real"),
    (np.zeros((40,)), ValueError, "1 dimensions, 2 expected"),
    (np.zeros((0, 48)), ValueError, "bad number of pixels"),
    (np.zeros((40, 0)), ValueError, "bad number of pixels"),
    ("text", ValueError, ""),
]


# The functions that take a sinogram array, each called on `a`.
ARRAY_CALLS = [
    lambda a: cttk.recon(a, 23.5),
    lambda a: cttk.find_center(a),
    lambda a: cttk.remove_rings(a),
    lambda a: cttk.backproject(a, 23.5, 16),
    lambda a: cttk.noise(a, 100, 1),
]


@pytest.mark.parametrize("array,error,message", BAD_ARRAYS)
@pytest.mark.parametrize("call", ARRAY_CALLS)
def test_bad_arrays(call, array, error, message):
    with pytest.raises(error, match=message):
        call(array)


BAD_ARGUMENTS = [
    (lambda: cttk.recon(GOOD, 47.0), "bad position of rotation center."),
    (lambda: cttk.recon(GOOD, float("nan")), "bad position of rotation center."),
    (lambda: cttk.recon(GOOD, 23.5, interval=0), "bad detector interval."),
    (lambda: cttk.recon(GOOD, 23.5, size=0), "bad image size."),
    (lambda: cttk.recon(GOOD, 23.5, kernel="hann"), r"unknown kernel \(chesler, shepp or ramachandran\)."),
    (lambda: cttk.recon(GOOD, 23.5, method="art"), "unknown method"),
    (lambda: cttk.recon(GOOD, 23.5, method="sirt", iterations=0), "bad number of iterations."),
    (lambda: cttk.recon(GOOD, 23.5, method="sirt", iterations=2.5), "bad number of iterations."),
    (lambda: cttk.recon(GOOD, 23.5, size=100.5), "bad image size."),
    # As stack_recon refuses -i with fbp: not silently ignored.
    (lambda: cttk.recon(GOOD, 23.5, iterations=3), "iterations need the sirt, cgls or tv method."),
    (lambda: cttk.recon(GOOD, 23.5, angles=np.arange(39.0)), "angles: 39 angles for 40 views."),
    (lambda: cttk.recon(GOOD, 23.5, angles=np.full(40, np.inf)), "angles: bad angle."),
    (lambda: cttk.recon(GOOD, [23.5, 23.0]), "center: one per row"),
    (lambda: cttk.project(np.ones((8, 9)), 16, 7.5), "image not square."),
    (lambda: cttk.phantom_sino("shepp-logan:0", 16, 7.5), "bad shepp-logan radius."),
    (lambda: cttk.phantom_sino("0 0 1 1 0\n", 16, 7.5), r"phantom: line 1: data read error."),
    (lambda: cttk.phantom_image(np.array([[0, 0, -1, 1, 0, 1.0]]), 8), "phantom: line 1: bad ellipse."),
    (lambda: cttk.phantom_sino("shepp-logan:5", 0, 7.5), "bad detector number."),
    (lambda: cttk.phantom_sino("shepp-logan:5", 16, 7.5, views=0), "bad projection number."),
    (lambda: cttk.find_center(GOOD[:10]), "sinogram too small to find the center."),
    (lambda: cttk.find_center(np.zeros((40, 48))), "no clear center"),
    (lambda: cttk.find_center(GOOD, angles=np.arange(40.0) ** 1.5), "angles neither evenly"),
    (lambda: cttk.remove_rings(GOOD, "median"), r"unknown method \(auto, detect, sort or fft\)."),
    (lambda: cttk.remove_rings(GOOD, "sort", 4), "bad size."),
    (lambda: cttk.remove_rings(np.where(GOOD > 1, np.nan, GOOD)), "sample not finite."),
    (lambda: cttk.fold(GOOD[:39], 23.5), "odd number of views for a full turn."),
    (lambda: cttk.noise(GOOD, 0.5, 1), "bad open beam count."),
    (lambda: cttk.noise(GOOD, 100, -1), "bad seed."),
    (lambda: cttk.normalize(np.ones((2, 3, 4)), darks=np.ones((3, 4))), "darks need flats."),
    (lambda: cttk.normalize(np.ones((2, 3, 4)), np.ones((3, 5))), "flats: sizes differ."),
    # Flats and darks the wrong way round, as proj_sino refuses them.
    (lambda: cttk.normalize(np.ones((2, 3, 4)), np.full((3, 4), 100.0), np.full((3, 4), 1000.0)),
     "flat at or below the dark in every column of row 0."),
    (lambda: cttk.zingers(GOOD, 0), "bad zinger threshold."),
    (lambda: cttk.set_threads(0), "bad thread count."),
]


@pytest.mark.parametrize("call,message", BAD_ARGUMENTS)
def test_bad_arguments(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_bad_files(tmp_path):
    (tmp_path / "short.sg").write_bytes(b"4\t2\n" + bytes(40))
    (tmp_path / "zero.sg").write_bytes(b"0\t2\n")
    (tmp_path / "junk.tif").write_bytes(b"II*\0junk")
    (tmp_path / "v.h5").write_bytes(b"\x89HDF\r\n\x1a\n")
    for call, message in [
        (lambda: cttk.read_sinogram(tmp_path / "none.sg"), "none.sg: file not found."),
        (lambda: cttk.read_sinogram(tmp_path / "short.sg"), "short.sg: data read error."),
        (lambda: cttk.read_sinogram(tmp_path / "zero.sg"), "zero.sg: bad number of pixels."),
        (lambda: cttk.write_sinogram(tmp_path / "no" / "o.sg", GOOD), r"o.sg: cannot create \(No such file or directory\)."),
        (lambda: cttk.read_stack([tmp_path / "none.tif"]), "none.tif: file not found."),
        (lambda: cttk.read_stack(tmp_path / "junk.tif"), "junk.tif: "),
        (lambda: cttk.phantom_image(str(tmp_path / "none.txt"), 8), "none.txt: file not found."),
        # A volume never replaces what is not one (a scan, a projection).
        (lambda: cttk.write_volume(tmp_path / "short.sg", np.zeros((1, 4, 4))), "short.sg: exists and is not a volume"),
        (lambda: cttk.write_volume(tmp_path / "junk.tif", np.zeros((1, 4, 4))), "junk.tif: exists and is not a volume"),
        # A sinogram never replaces what is not one (a scan, a volume).
        (lambda: cttk.write_sinogram(tmp_path / "junk.tif", GOOD), "junk.tif: exists and is not a sinogram; give the sinogram a new name."),
        (lambda: cttk.write_sinogram(tmp_path / "v.h5", GOOD), "v.h5: exists and is not a sinogram"),
    ]:
        with pytest.raises(OSError, match=message):
            call()
    assert (tmp_path / "junk.tif").read_bytes() == b"II*\0junk"
    assert (tmp_path / "v.h5").read_bytes() == b"\x89HDF\r\n\x1a\n"
    # A sinogram replaces a sinogram.
    cttk.write_sinogram(tmp_path / "s.sg", GOOD)
    cttk.write_sinogram(tmp_path / "s.sg", GOOD * 2)
    assert np.array_equal(cttk.read_sinogram(tmp_path / "s.sg"), GOOD * 2)
    # A volume replaces a volume.
    cttk.write_volume(tmp_path / "v.tif", np.zeros((1, 4, 4)))
    cttk.write_volume(tmp_path / "v.tif", np.ones((2, 4, 4)))
    assert cttk.read_volume(tmp_path / "v.tif").shape == (2, 4, 4)


@pytest.mark.parametrize("call", ARRAY_CALLS + [
    lambda a: cttk.recon(GOOD, 23.5, angles=a[:, 0] * 0 + np.arange(40) * 4.5),
])
def test_longdouble_is_taken_as_float64(call):
    # numpy casts longdouble to float64 only when told: it is told, and
    # every function gives what it gives for float64.
    want = call(GOOD)
    got = call(GOOD.astype(np.longdouble))
    assert np.array_equal(got, want)


def test_any_layout_and_dtype_gives_the_same_slice():
    want = cttk.recon(GOOD, 23.5)
    wide = np.zeros((40, 96))
    wide[:, ::2] = GOOD
    for a in (np.asfortranarray(GOOD), wide[:, ::2], GOOD[::-1][::-1], GOOD.tolist(), GOOD.astype(">f8")):
        assert np.array_equal(cttk.recon(a, 23.5), want)
    f32 = GOOD.astype(np.float32)
    assert np.array_equal(cttk.recon(f32, 23.5), cttk.recon(f32.astype(np.float64), 23.5))
    for call in (cttk.remove_rings, lambda a: cttk.noise(a, 1e4, 1), lambda a: cttk.zingers(a, 3.0)):
        kept = GOOD.copy()
        call(kept)
        assert np.array_equal(kept, GOOD)
    # A NaN is refused as the program refuses it, named by its view and
    # column (and row, among projections); the input is never changed.
    nan = GOOD.copy()
    nan[3, 4] = np.nan
    keep = nan.copy()
    with pytest.raises(ValueError, match=r"^sample not finite \(view 3, column 4\).$"):
        cttk.recon(nan, 23.5)
    with pytest.raises(ValueError, match=r"^sample not finite \(view 3, column 4\).$"):
        cttk.find_center(nan)
    assert np.array_equal(nan, keep, equal_nan=True)
    projections = np.stack([GOOD, GOOD], axis=1)
    projections[7, 1, 5] = -np.inf
    with pytest.raises(ValueError, match=r"^sample not finite \(view 7, row 1, column 5\).$"):
        cttk.recon(projections, 23.5, method="sirt", iterations=2)


def test_threads_give_the_same_slices():
    want = cttk.recon(GOOD, 23.5, size=64)
    got = [None] * 4

    def work(k):
        got[k] = cttk.recon(GOOD, 23.5, size=64)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(np.array_equal(g, want) for g in got)
    before = cttk.get_threads()
    cttk.set_threads(1)
    assert cttk.get_threads() == 1 and np.array_equal(cttk.recon(GOOD, 23.5, size=64), want)
    cttk.set_threads(before)


def test_the_gil_is_released_while_computing():
    sino = cttk.phantom_sino("shepp-logan:150", 384, 191.5, views=400)
    span = []

    def work():
        span.append(time.perf_counter())
        cttk.recon(sino, 191.5, method="cgls", iterations=3)
        span.append(time.perf_counter())

    threads = cttk.get_threads()
    cttk.set_threads(1)
    worker = threading.Thread(target=work)
    stamps = []
    worker.start()
    while worker.is_alive():
        stamps.append(time.perf_counter())
    cttk.set_threads(threads)
    # This thread kept running through the call, not only at its ends (a
    # held GIL would leave at most one switch interval, 5 ms, to it).
    inside = [t for t in stamps if span[0] < t < span[1]]
    assert inside and inside[-1] - inside[0] > 0.5 * (span[1] - span[0])
