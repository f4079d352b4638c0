# Shared fixtures of the Python tests: the module, synthetic images with known edges, the data
# folder and the C++ reference program.
import os
import pathlib

import numpy as np
import pytest

import vimo


def render(width, height, inside, low=50, high=170, supersample=4):
    """An anti-aliased image: `inside(x, y)` (arrays of pixel coordinates) says where the
    bright part is; each pixel is the mean of supersample x supersample sub-pixel samples."""
    offsets = (np.arange(supersample) + 0.5) / supersample - 0.5
    ys, xs = np.mgrid[0:height, 0:width].astype(np.float64)
    coverage = np.zeros((height, width))
    for dy in offsets:
        for dx in offsets:
            coverage += inside(xs + dx, ys + dy)
    coverage /= supersample * supersample
    return np.round(low + (high - low) * coverage).astype(np.uint8)


# A plate with a straight edge y = 60.3 + 0.05 (x - 100) and a dark hole of radius 30.6 at
# (120.4, 150.2).
EDGE_Y, EDGE_SLOPE = 60.3, 0.05
HOLE = (120.4, 150.2, 30.6)


def plate_image():
    def inside(x, y):
        below_edge = y > EDGE_Y + EDGE_SLOPE * (x - 100)
        hole = (x - HOLE[0]) ** 2 + (y - HOLE[1]) ** 2 < HOLE[2] ** 2
        return below_edge & ~hole
    return render(240, 200, inside)


@pytest.fixture(autouse=True)
def degrees():
    vimo.ESetAngleUnit(vimo.E_ANGLE_UNIT_DEGREES)
    yield


@pytest.fixture
def plate():
    return plate_image()


@pytest.fixture
def data_dir():
    folder = os.environ.get("VIMO_TEST_DATA") or os.environ.get("VIMO_TEST_DATA_DEFAULT") or ""
    path = pathlib.Path(folder)
    if not folder or not path.is_dir():
        pytest.skip("test data folder absent")
    return path


@pytest.fixture
def source_dir():
    return pathlib.Path(os.environ.get("VIMO_SOURCE_DIR",
                                       pathlib.Path(__file__).resolve().parents[2]))
