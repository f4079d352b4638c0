# The examples: measure.py over a folder, and the same measurement with batch_dask.py on a
# two-worker local cluster (processes), which must agree with the in-process results.
import os
import subprocess
import sys

import pytest


@pytest.fixture
def examples(source_dir, monkeypatch):
    folder = source_dir / "examples" / "python"
    monkeypatch.syspath_prepend(str(folder))
    # Worker processes find the module and the examples through the environment.
    paths = [str(folder)] + [p for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(paths))
    return folder


def test_measure_example_runs(examples, tmp_path):
    result = subprocess.run([sys.executable, str(examples / "measure.py"), "--tools",
                             str(tmp_path / "tools.vimo")], capture_output=True, text=True,
                            timeout=120)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.strip().split("\n")
    assert len(lines) == 7 and lines[0].startswith("image,edge_found")
    diameters = [float(line.split(",")[-1]) for line in lines[1:]]
    assert diameters == pytest.approx([8.0 + 0.1 * i for i in range(6)], abs=0.03)


def test_dask_example_on_a_two_worker_local_cluster(examples, tmp_path):
    distributed = pytest.importorskip("distributed")
    import batch_dask
    import measure
    import vimo

    images = tmp_path / "images"
    measure.make_images(images, count=4)
    tools = tmp_path / "tools.vimo"
    measure.build_tools().Save(str(tools), 1)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        results = batch_dask.measure_folder(client, tools, images)
        workers = client.run(lambda dask_worker: dask_worker.plugins["vimo-tools"].tree
                             is not None)
    assert len(workers) == 2 and all(workers.values())
    local = measure.build_tools()
    for result, path in zip(results, sorted(images.glob("*.pgm"))):
        image = vimo.EImageBW8()
        image.Load(str(path))
        expected = measure.measure(local, image)
        assert result["image"] == path.name
        assert {k: result[k] for k in expected} == pytest.approx(expected, abs=1e-5)
