#!/usr/bin/env python3
"""The overhead of calling a gauge's Measure from Python against the same call in C++.

    PYTHONPATH=build/python python3 bench/python_overhead.py [build/bench/python_overhead_bench]

Times, through the vimo module, the calls that python_overhead_bench times in C++ (a small line
gauge Measure on a 64 x 64 step image, and a flag read) as the best of several timeit runs, then
runs the C++ benchmark when its path is given and prints the difference per call: the cost of
crossing the binding (argument checks, error state, shape liveness).
"""
import json
import subprocess
import sys
import timeit

import numpy as np

import vimo


def best_per_call(statement, number):
    return min(timeit.repeat(statement, number=number, repeat=7)) / number


def main():
    step = np.full((64, 64), 170, np.uint8)
    step[:, :32] = 50
    image = vimo.EImageBW8(step)
    gauge = vimo.ELineGauge(center=(32, 32), length=40, angle=90)
    gauge.SetTolerance(5, 0)
    gauge.SetSamplingStep(4)
    gauge.Measure(image)
    assert gauge.GetFound()
    python = {
        "BM_SmallLineGaugeMeasure": best_per_call(lambda: gauge.Measure(image), 20000),
        "BM_GaugeFlagRead": best_per_call(gauge.GetFound, 200000),
        "Measure from a NumPy array (copies it)": best_per_call(lambda: gauge.Measure(step),
                                                                20000),
    }
    cpp = {}
    if len(sys.argv) > 1:
        output = subprocess.run([sys.argv[1], "--benchmark_format=json",
                                 "--benchmark_min_time=0.2"], capture_output=True, text=True,
                                check=True).stdout
        for run in json.loads(output)["benchmarks"]:
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3}[run["time_unit"]]
            cpp[run["name"]] = run["real_time"] * scale
    print(f"{'call':42s} {'Python':>10s} {'C++':>10s} {'overhead':>10s}")
    for name, seconds in python.items():
        native = cpp.get(name)
        extra = f"{(seconds - native) * 1e9:8.0f} ns" if native is not None else ""
        native_text = f"{native * 1e9:7.0f} ns" if native is not None else ""
        print(f"{name:42s} {seconds * 1e9:7.0f} ns {native_text:>10s} {extra:>10s}")


if __name__ == "__main__":
    main()
