#!/usr/bin/env python3
"""Calibrates a camera, builds a tool tree, measures a folder of images and plots the results.

    python3 measure.py [--images FOLDER] [--tools FILE] [--plot FILE.png]

Without --images, a folder of synthetic plates (an edge and a hole, shifted a little from image
to image) is made first. The tool tree is a world shape calibrated from landmarks (8 px per mm,
camera turned 4 degrees), a line gauge on the plate edge and a circle gauge on the hole placed
relative to the measured edge, all in millimetres. Results are printed as CSV; with matplotlib
installed they are also plotted. Needs the vimo module on PYTHONPATH (see the README).
"""
import argparse
import math
import pathlib
import sys
import tempfile

import numpy as np

import vimo

PIXELS_PER_MM, CAMERA_ANGLE = 8.0, 4.0
SENSOR = (320, 240)


def world_to_sensor(world):
    """The camera the synthetic plates are seen through (and that the landmarks describe)."""
    a = math.radians(CAMERA_ANGLE)
    x, y = world[..., 0], -world[..., 1]
    return np.stack([160 + PIXELS_PER_MM * (x * math.cos(a) - y * math.sin(a)),
                     120 + PIXELS_PER_MM * (x * math.sin(a) + y * math.cos(a))], axis=-1)


def synthetic_plate(shift_x, shift_y, hole_radius):
    """A bright plate below an edge at y = 5 mm with a dark hole at (2, -6) mm, shifted."""
    ys, xs = np.mgrid[0:SENSOR[1], 0:SENSOR[0]].astype(np.float64)
    coverage = np.zeros(xs.shape)
    a = math.radians(CAMERA_ANGLE)
    for dy in (-0.25, 0.25):
        for dx in (-0.25, 0.25):
            u, v = xs + dx - 160, ys + dy - 120  # back to millimetres
            wx = (u * math.cos(a) + v * math.sin(a)) / PIXELS_PER_MM - shift_x
            wy = -(-u * math.sin(a) + v * math.cos(a)) / PIXELS_PER_MM - shift_y
            plate = wy < 5
            hole = (wx - 2) ** 2 + (wy + 6) ** 2 < hole_radius ** 2
            coverage += plate & ~hole
    return np.round(40 + 150 * coverage / 4).astype(np.uint8)


def make_images(folder, count=6):
    folder.mkdir(parents=True, exist_ok=True)
    rng = np.random.default_rng(7)
    for i in range(count):
        sx, sy = rng.uniform(-0.4, 0.4, size=2)
        vimo.EImageBW8(synthetic_plate(sx, sy, 4.0 + 0.05 * i)).Save(
            str(folder / f"plate{i:02d}.pgm"))


def build_tools():
    """The calibrated tool tree; returns its root world shape."""
    world = vimo.EWorldShape()
    world.SetSensorSize(*SENSOR)
    grid = np.array([[x, y] for x in range(-15, 16, 5) for y in range(-12, 13, 4)], np.float64)
    world.AddLandmarks(world_to_sensor(grid), grid)
    world.Calibrate(vimo.E_CALIBRATION_SCALED | vimo.E_CALIBRATION_ANISOTROPIC |
                    vimo.E_CALIBRATION_SKEWED)
    edge = vimo.ELineGauge(center=(0, 5), length=24, angle=0)
    edge.SetName("edge")
    edge.SetTolerance(1.5, 90)
    edge.SetSamplingStep(0.25)
    edge.Attach(world)
    hole = vimo.ECircleGauge(center=(2, -11), diameter=8)  # relative to the measured edge
    hole.SetName("hole")
    hole.SetTolerance(1, 0)
    hole.SetSamplingStep(0.25)
    hole.Attach(edge)
    return world


def measure(world, image):
    """Measures the tree on one image; the results in millimetres."""
    world.Process(image, 1)
    edge, hole = world.GetShapeNamed("edge"), world.GetShapeNamed("hole")
    line, circle = edge.GetMeasuredLine(), hole.GetMeasuredCircle()
    centre = edge.LocalToWorld(circle.GetCenter())
    return {"edge_found": edge.GetFound(), "edge_y": line.y, "edge_angle": line.GetAngle(),
            "hole_found": hole.GetFound(), "hole_x": centre.x, "hole_y": centre.y,
            "hole_diameter": circle.GetDiameter()}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--images", type=pathlib.Path)
    parser.add_argument("--tools", type=pathlib.Path, help="where to save the tool tree")
    parser.add_argument("--plot", type=pathlib.Path, help="plot file (needs matplotlib)")
    args = parser.parse_args(argv)
    scratch = tempfile.TemporaryDirectory()
    images = args.images or pathlib.Path(scratch.name) / "images"
    if args.images is None:
        make_images(images)
    world = build_tools()
    if args.tools:
        world.Save(str(args.tools), 1)
    rows = []
    for path in sorted(images.glob("*.p[gpn][mg]")):
        image = vimo.EImageBW8()
        image.Load(str(path))
        rows.append((path.name, measure(world, image)))
    keys = list(rows[0][1]) if rows else []
    print(",".join(["image"] + keys))
    for name, result in rows:
        print(",".join([name] + [f"{result[k]:.4f}" for k in keys]))
    if args.plot and rows:
        try:
            import matplotlib
            matplotlib.use("Agg")
            import matplotlib.pyplot as plt
        except ImportError:
            print("matplotlib is not installed: no plot", file=sys.stderr)
            return 0
        fig, ax = plt.subplots()
        ax.plot([r["hole_diameter"] for _, r in rows], "o-")
        ax.set_xlabel("image")
        ax.set_ylabel("hole diameter (mm)")
        fig.savefig(args.plot)
    return 0


if __name__ == "__main__":
    sys.exit(main())
