# Calibration from landmarks and from dot-grid images, and mappings of point arrays against
# single-point calls.
import math

import numpy as np
import pytest

import vimo
from conftest import render

AFFINE_MODES = vimo.E_CALIBRATION_SCALED | vimo.E_CALIBRATION_ANISOTROPIC | \
    vimo.E_CALIBRATION_SKEWED


def affine_sensor(world):
    """An independent camera: 8 px per mm, turned 15 degrees, origin at (320, 240), y down."""
    a = math.radians(15)
    rotation = np.array([[math.cos(a), -math.sin(a)], [math.sin(a), math.cos(a)]])
    return np.array([320.0, 240.0]) + 8.0 * (world * [1, -1]) @ rotation.T


def test_landmark_calibration_and_array_mappings():
    world_points = np.array([[x, y] for x in range(-20, 21, 5) for y in range(-15, 16, 5)],
                            dtype=np.float64)
    sensor_points = affine_sensor(world_points)
    world = vimo.EWorldShape()
    world.SetSensorSize(640, 480)
    world.AddLandmarks(sensor_points, world_points)
    assert world.GetNumLandmarks() == len(world_points)
    world.Calibrate(AFFINE_MODES)
    # Points off the landmarks map as the independent camera does.
    probe = np.array([[1.7, -3.2], [12.5, 9.25], [-18.0, 14.0]])
    np.testing.assert_allclose(world.WorldToSensor(probe), affine_sensor(probe), atol=2e-3)
    np.testing.assert_allclose(world.SensorToWorld(affine_sensor(probe)), probe, atol=2e-4)
    # One call over an array gives exactly the single-point calls.
    many = np.random.default_rng(3).uniform(-25, 25, size=(50, 2))
    singles = [tuple(world.WorldToSensor(vimo.EPoint(*p))) for p in many]
    np.testing.assert_array_equal(world.WorldToSensor(many), np.array(singles))
    np.testing.assert_array_equal(world.WorldToSensor(many.astype(np.float32)),
                                  world.WorldToSensor(many))
    assert world.WorldToSensor(np.zeros((0, 2))).shape == (0, 2)
    # A gauge in the calibrated tree converts its coordinates the same way.
    frame = vimo.EFrameShape(5, 5)
    frame.Attach(world)
    s = frame.LocalToSensor((1, 2))
    assert (s.x, s.y) == pytest.approx(tuple(affine_sensor(np.array([[6.0, 7.0]]))[0]),
                                       abs=2e-3)


@pytest.mark.parametrize("bad", [np.zeros((3, 3)), np.zeros(4), np.array([["a", "b"]]),
                                 np.array([[1.0, np.nan]]), np.array([[np.inf, 0.0]])])
def test_mapping_bad_arrays_raise(bad):
    world = vimo.EWorld()
    with pytest.raises(vimo.Error) as error:
        world.SensorToWorld(bad)
    assert error.value.code == 32767


def test_too_few_landmarks_raise_with_the_library_code():
    world = vimo.EWorld()
    world.AddLandmark((1, 1), (0, 0))
    with pytest.raises(vimo.Error) as error:
        world.Calibrate(AFFINE_MODES)
    assert error.value.code == 12014 and "Calibrate" in error.value.trace


def test_dot_grid_calibration_synthetic():
    # 10 x 8 dark dots, 24 px apart, turned 10 degrees about (160, 120).
    a = math.radians(10)
    centres = []
    for i in range(-5, 5):
        for j in range(-4, 4):
            u, v = 24 * (i + 0.5), 24 * (j + 0.5)
            centres.append((160 + u * math.cos(a) - v * math.sin(a),
                            120 + u * math.sin(a) + v * math.cos(a)))
    centres = np.array(centres)

    def inside(x, y):
        dark = np.zeros_like(x, dtype=bool)
        for cx, cy in centres:
            dark |= (x - cx) ** 2 + (y - cy) ** 2 < 7 ** 2
        return ~dark
    image = render(320, 240, inside)
    world = vimo.EWorldShape()
    world.SetSensorSize(320, 240)
    modes = world.AutoCalibrateDotGrid(image, 2.5, 2.5)
    assert modes != 0 and world.CalibrationSucceeded()
    # Every dot lands on the 2.5 mm lattice, 10 px per mm.
    mapped = world.SensorToWorld(centres) / 2.5
    np.testing.assert_allclose(mapped, np.round(mapped), atol=0.01)
    assert len({tuple(p) for p in np.round(mapped)}) == len(centres)


def test_dot_grid_calibration_real(data_dir):
    path = data_dir / "calib/boofcv_circle_regular/image00004.pgm"
    if not path.exists():
        pytest.skip("photograph absent")
    image = vimo.EImageBW8()
    image.Load(str(path))
    world = vimo.EWorldShape()
    world.SetSensorSize(image.GetWidth(), image.GetHeight())
    assert world.AutoCalibrateDotGrid(image, 25, 25) != 0
    assert world.CalibrationSucceeded()
    origin = world.WorldToSensor((0, 0))
    right = world.WorldToSensor((25, 0))
    # The grid is turned by about 28 degrees in this view.
    assert abs(abs(math.degrees(math.atan2(right.y - origin.y, right.x - origin.x))) - 28) < 8


def test_unwarp_raw_world_moves_the_image_down_one_row():
    data = np.random.default_rng(5).integers(1, 255, size=(13, 21), dtype=np.uint8)
    world = vimo.EWorld()
    world.SetOpticalCenter(0, 0)
    out = vimo.EImageBW8(21, 13)
    world.Unwarp(vimo.EImageBW8(data), out, 0)
    unwarped = out.to_array()
    np.testing.assert_array_equal(unwarped[1:], data[:-1])
    assert not unwarped[0].any()
    with pytest.raises(TypeError):  # a colour destination for a grey source
        world.Unwarp(vimo.EImageBW8(data), vimo.EImageC24(21, 13), 0)
