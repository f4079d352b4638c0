#!/usr/bin/env python3
"""Measures a folder of images with a saved tool tree on a dask.distributed cluster.

    python3 batch_dask.py TOOLS.vimo IMAGE_FOLDER [--scheduler ADDRESS] [--workers N]

Each worker loads the tool file once (a worker plugin carries the file's bytes, so workers need
no shared copy of it) and measures the images it is given; results come back as one CSV line
per image. Without --scheduler a local cluster of N worker processes is started; with it, the
script connects to a running cluster (for instance `dask scheduler` on one machine and
`dask worker tcp://host:8786` on each of the others, with the vimo module importable there).
The image paths must be readable by the workers (a shared file system). The tool tree's root is
a world shape with gauges named "edge" and "hole", as `measure.py --tools` writes it.
"""
import argparse
import pathlib
import sys
import tempfile

from distributed import Client, LocalCluster, WorkerPlugin, get_worker

PLUGIN = "vimo-tools"


class ToolTree(WorkerPlugin):
    """Loads the tool tree once per worker, from the bytes of the tool file."""

    def __init__(self, data):
        self.data = data
        self.tree = None

    def setup(self, worker):
        import vimo
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "tools.vimo"
            path.write_bytes(self.data)
            self.tree = vimo.EWorldShape()
            self.tree.Load(str(path), 1)


def measure_file(path):
    """Runs on a worker: measures one image with the worker's tool tree."""
    import vimo
    tree = get_worker().plugins[PLUGIN].tree
    image = vimo.EImageBW8()
    image.Load(path)
    tree.Process(image, 1)
    edge, hole = tree.GetShapeNamed("edge"), tree.GetShapeNamed("hole")
    line, circle = edge.GetMeasuredLine(), hole.GetMeasuredCircle()
    centre = edge.LocalToWorld(circle.GetCenter())
    return {"image": pathlib.Path(path).name, "edge_found": edge.GetFound(), "edge_y": line.y,
            "edge_angle": line.GetAngle(), "hole_found": hole.GetFound(), "hole_x": centre.x,
            "hole_y": centre.y, "hole_diameter": circle.GetDiameter()}


def measure_folder(client, tools, folder):
    """Measures every image of the folder on the client's cluster; results in file order."""
    client.register_worker_plugin(ToolTree(pathlib.Path(tools).read_bytes()), name=PLUGIN)
    paths = [str(p) for p in sorted(pathlib.Path(folder).glob("*.p[gpn][mg]"))]
    return client.gather(client.map(measure_file, paths))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("tools", type=pathlib.Path)
    parser.add_argument("images", type=pathlib.Path)
    parser.add_argument("--scheduler", help="address of a running scheduler")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes")
    args = parser.parse_args(argv)
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        results = measure_folder(client, args.tools, args.images)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    keys = list(results[0]) if results else []
    print(",".join(keys))
    for result in results:
        print(",".join(str(result[k]) for k in keys))
    return 0


if __name__ == "__main__":
    sys.exit(main())
