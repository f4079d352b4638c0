# Gauges measured from Python: the same results as the C++ library on the same image, results
# near the drawn ground truth, samples as a structured array, and a tool tree processed whole.
import math
import os
import subprocess

import numpy as np
import pytest

import vimo
from conftest import EDGE_SLOPE, EDGE_Y, HOLE, plate_image

LINE = (100.0, 60.0, 120.0, math.degrees(math.atan(EDGE_SLOPE)), 8.0)
CIRCLE = (120.0, 150.0, 62.0, 6.0)


def measure_in_python(image):
    line = vimo.ELineGauge(center=LINE[:2], length=LINE[2], angle=LINE[3])
    line.SetTolerance(LINE[4], LINE[3] + 90)
    line.SetSamplingStep(1)
    line.Measure(image)
    circle = vimo.ECircleGauge(center=CIRCLE[:2], diameter=CIRCLE[2])
    circle.SetTolerance(CIRCLE[3], 0)
    circle.SetSamplingStep(1)
    circle.Measure(image)
    return line, circle


def test_line_and_circle_match_the_cpp_program(tmp_path):
    program = os.environ.get("VIMO_PY_REFERENCE")
    if not program:
        pytest.skip("reference program not given")
    path = str(tmp_path / "plate.pgm")
    vimo.EImageBW8(plate_image()).Save(path)
    output = subprocess.run([program, path] + [repr(v) for v in LINE + CIRCLE],
                            capture_output=True, text=True, check=True).stdout.split("\n")
    reference_line = [float(v) for v in output[0].split()[1:]]
    reference_circle = [float(v) for v in output[1].split()[1:]]

    image = vimo.EImageBW8()
    image.Load(path)
    line, circle = measure_in_python(image)
    l, c = line.GetMeasuredLine(), circle.GetMeasuredCircle()
    # Same library, same float arithmetic: equal to the printed precision.
    assert [line.GetFound(), l.GetX(), l.GetY(), l.GetLength(), l.GetAngle(),
            line.GetNumValidSamples()] == pytest.approx(reference_line, rel=1e-7, abs=1e-6)
    assert [circle.GetFound(), c.GetX(), c.GetY(), c.GetRadius(),
            circle.GetNumValidSamples()] == pytest.approx(reference_circle, rel=1e-7, abs=1e-6)
    # And near the drawn geometry.
    assert l.GetY() == pytest.approx(EDGE_Y + EDGE_SLOPE * (l.GetX() - 100), abs=0.05)
    assert math.tan(math.radians(l.GetAngle())) == pytest.approx(EDGE_SLOPE, abs=1e-3)
    assert (c.GetX(), c.GetY(), c.GetRadius()) == pytest.approx(HOLE, abs=0.05)


def test_samples_are_a_structured_array(plate):
    line, circle = measure_in_python(plate)  # straight from a NumPy array
    samples = line.GetSamples()
    assert samples.dtype.names == ("X", "Y", "Distance", "Side", "TransitionValue", "Valid",
                                   "FilteredOut", "Skipped")
    assert len(samples) == line.GetNumSamples()
    assert samples["Valid"].sum() == line.GetNumValidSamples()
    first = line.GetSample(3)
    assert (first.Point.x, first.Point.y, first.Distance) == \
        (samples["X"][3], samples["Y"][3], samples["Distance"][3])
    # Single samples lie within a third of a pixel of the edge, in the mother coordinates.
    valid = samples[samples["Valid"] == 1]
    np.testing.assert_allclose(valid["Y"], EDGE_Y + EDGE_SLOPE * (valid["X"] - 100), atol=0.3)
    radii = np.hypot(circle.GetSamples()["X"] - HOLE[0], circle.GetSamples()["Y"] - HOLE[1])
    assert abs(np.median(radii) - HOLE[2]) < 0.05 and np.abs(radii - HOLE[2]).max() < 0.6


def test_tree_processing_places_daughters_on_results(plate):
    root = vimo.EWorldShape()
    root.SetSensorSize(240, 200)
    edge = vimo.ELineGauge(center=(100, 58), length=120, angle=0)
    edge.SetTolerance(10, 90)
    edge.Attach(root)
    # The hole, placed relative to the measured edge: 90 px below its centre, nominal 4 px off.
    hole = vimo.ECircleGauge(center=(20, 88), diameter=62)
    hole.SetTolerance(8, 0)
    hole.Attach(edge)
    del edge, hole  # the tree keeps them
    root.Process(plate, 1)
    edge = root.GetDaughter(0)
    hole = edge.GetDaughter(0)
    assert isinstance(edge, vimo.ELineGauge) and isinstance(hole, vimo.ECircleGauge)
    assert edge.GetFound() and hole.GetFound()
    measured = hole.GetMeasuredCircle()
    world = hole.GetMother().LocalToWorld(measured.GetCenter())  # results: mother coordinates
    assert (world.x, world.y) == pytest.approx(HOLE[:2], abs=0.15)
    assert measured.GetRadius() == pytest.approx(HOLE[2], abs=0.15)


def test_rectangle_and_wedge_gauges():
    square = (80.3, 70.6, 60.0, 40.0)  # centre, size

    def inside(x, y):
        return (abs(x - square[0]) < square[2] / 2) & (abs(y - square[1]) < square[3] / 2)
    from conftest import render
    image = render(160, 140, inside)
    rectangle = vimo.ERectangleGauge(center=(80, 70), sizeX=58, sizeY=42)
    rectangle.SetSamplingStep(2)
    rectangle.GetTransitionx().SetTolerance(5, 0)
    for edge in (rectangle.GetTransitionx(), rectangle.GetTransitionX(),
                 rectangle.GetTransitiony(), rectangle.GetTransitionY()):
        edge.SetThreshold(20)
    rectangle.Measure(image)
    r = rectangle.GetMeasuredRectangle()
    assert rectangle.GetFound()
    assert (r.x, r.y, r.GetSizeX(), r.GetSizeY()) == pytest.approx(square, abs=0.1)

    ring = render(160, 140, lambda x, y: (np.hypot(x - 80.2, y - 70.4) > 20) &
                  (np.hypot(x - 80.2, y - 70.4) < 45))
    wedge = vimo.EWedgeGauge(center=(80, 70), diameter=42, breadth=24)
    wedge.SetSamplingStep(2)
    wedge.Measure(ring)
    w = wedge.GetMeasuredWedge()
    assert wedge.GetFound()
    assert (w.x, w.y, w.GetInnerRadius(), w.GetOuterRadius()) == \
        pytest.approx((80.2, 70.4, 20, 45), abs=0.15)
    assert "EWedge(" in repr(w)
