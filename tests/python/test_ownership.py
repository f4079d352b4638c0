# Ownership across the language boundary: shapes a mother deletes, loaded daughters, garbage
# collection in random orders and interpreter shutdown never touch freed memory.
import gc
import os
import random
import subprocess
import sys

import pytest

import vimo


def test_deleting_a_mother_kills_its_library_made_daughters():
    mother = vimo.EFrameShape(10, 0)
    model = vimo.ECircleShape(0, 0, 10)
    for _ in range(3):
        model.Clone(mother)
    cloned = mother.GetDaughter(1)
    assert cloned.GetAllocated() and cloned is mother.GetDaughter(1)
    mine = vimo.EPointShape(1, 2)
    mine.Attach(mother)
    del mother
    gc.collect()
    with pytest.raises(vimo.ShapeDeletedError):
        cloned.GetCenter()
    with pytest.raises(vimo.Error):  # also a vimo.Error and a ReferenceError
        cloned.Attach(model)
    assert not cloned.is_alive() and "deleted" in repr(cloned)
    # A dead shape is refused as an argument too.
    with pytest.raises(vimo.ShapeDeletedError):
        model.Attach(cloned)
    # The caller's own daughter went back to VimoWorld and still works.
    assert mine.GetMother() is not None and mine.GetMother().IsWorld()
    assert tuple(mine.GetCenter()) == (1, 2)


def test_loading_a_file_that_creates_daughters(tmp_path):
    path = str(tmp_path / "tree.vimo")
    root = vimo.EFrameShape(0, 0)
    gauge = vimo.ELineGauge(center=(5, 5), length=20)
    gauge.SetName("edge")
    gauge.Attach(root)
    grid = vimo.ERectangleShape(0, 0, 40, 20)
    grid.Attach(root)
    vimo.EPointShape(0, 0).Clone(grid, 2, 2, 0)
    root.Save(path, 1)

    loaded = vimo.EFrameShape()
    loaded.Load(path, 1)
    assert loaded.GetNumDaughters() == 2
    edge = loaded.GetShapeNamed("edge")
    assert isinstance(edge, vimo.ELineGauge) and edge.GetLength() == 20
    corner = loaded.GetDaughter(1).GetDaughter(1, 1)
    assert isinstance(corner, vimo.EPointShape)
    # The loaded daughters belong to the loaded shape: they die with it.
    del loaded
    gc.collect()
    for old in (edge, corner):
        with pytest.raises(vimo.ShapeDeletedError):
            old.GetMother()
    # A new shape at a recycled address gets a fresh Python object.
    fresh = [vimo.ELineGauge() for _ in range(20)]
    assert all(f.is_alive() for f in fresh)


@pytest.mark.parametrize("seed", range(8))
def test_garbage_collection_in_random_orders(seed):
    rng = random.Random(seed)
    world = vimo.EWorldShape()
    objects = [world]
    for _ in range(12):
        kind = rng.choice([vimo.EFrameShape, vimo.ELineGauge, vimo.ECircleGauge,
                           vimo.ERectangleShape, vimo.EPointShape])
        shape = kind()
        shape.Attach(rng.choice(objects))
        objects.append(shape)
        if rng.random() < 0.4:
            vimo.EPointShape().Clone(rng.choice(objects))
    # Python objects for library-made shapes too.
    for shape in list(objects):
        for slot in range(shape.GetNumDaughters()):
            objects.append(shape.GetDaughter(slot))
    clone = objects[rng.randrange(len(objects))].New()  # owned by Python, no mother
    objects.append(clone)
    rng.shuffle(objects)
    while objects:
        victim = objects.pop(rng.randrange(len(objects)))
        if rng.random() < 0.3 and victim.is_alive():
            victim.Detach() if not victim.IsWorld() else None
        del victim
        gc.collect()
        for shape in objects:  # every survivor is usable or raises cleanly
            try:
                shape.GetNumDaughters()
                shape.LocalToWorld((1, 1))
            except vimo.ShapeDeletedError:
                pass


def test_interpreter_shutdown_with_live_trees():
    script = "\n".join([
        "import vimo",
        "keep = vimo.EFrameShape()",
        "c = vimo.ECircleShape(); c.Clone(keep); c.Clone(keep); c.Clone(keep)",
        "d = keep.GetDaughter(2)",
        "world = vimo.VimoWorld()",
        "g = vimo.ELineGauge(); g.Attach(world)",
        "n = vimo.ECircleGauge().New(); n.Attach(keep)",
        "cycle = [vimo.EWorldShape()]; cycle.append(cycle)",
        "print('done')",
    ])
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                            env=dict(os.environ), timeout=60)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "done"
