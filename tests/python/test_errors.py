# Bad input from Python: exceptions that carry the library's code, text and trace.
import math

import numpy as np
import pytest

import vimo

NAN, INF = math.nan, math.inf


@pytest.mark.parametrize("call,code", [
    (lambda: vimo.ELineGauge(center=(NAN, 0), length=10), 32767),
    (lambda: vimo.ELineGauge().Set((0, 0), INF, 0), 32767),
    (lambda: vimo.ECircleGauge(center=(0, 0), diameter=NAN), 32767),
    (lambda: vimo.ECircleShape().SetRadius(NAN), 32767),
    (lambda: vimo.EFrameShape().SetCenter(0, -INF), 32767),
    (lambda: vimo.EWorld().WorldToSensor((NAN, 1)), 32767),
    (lambda: vimo.ELineGauge().Measure(np.zeros((5, 5), np.float64)), 32767),
    (lambda: vimo.ELineGauge().Measure(np.zeros((5, 5, 3), np.uint8)), 32767),
    (lambda: vimo.EFrameShape().Load("/nonexistent/tree.vimo"), 1102),
    (lambda: vimo.EImageC24().Load("/nonexistent/image.png"), 1102),
    (lambda: vimo.EFrameShape().GetDaughter(5), 1011),
    (lambda: vimo.EFrameShape().Attach(None), 32767),
    (lambda: vimo.EWorldShape().Attach(vimo.EFrameShape()), 12017),
    (lambda: vimo.ELineGauge().SetSamplingStep(-1), 32767),
    # Pixel values outside the pixel type's range are refused, not wrapped.
    (lambda: vimo.EImageBW8(3, 3).SetPixel(256, 1, 1), 32767),
    (lambda: vimo.EImageBW8(3, 3).SetPixel(-1, 1, 1), 32767),
    (lambda: vimo.EImageBW16(3, 3).SetPixel(65536, 1, 1), 32767),
])
def test_bad_input_raises_the_library_error(call, code):
    with pytest.raises(vimo.Error) as error:
        call()
    assert error.value.code == code
    assert error.value.text == vimo.EGetErrorText(code)
    assert error.value.text in str(error.value) and error.value.trace


def test_an_error_does_not_leak_into_the_next_call():
    frame = vimo.EFrameShape()
    with pytest.raises(vimo.Error):
        frame.GetDaughter(3)
    assert frame.GetNumDaughters() == 0  # no stale error raised here


def test_truncated_shape_file(tmp_path):
    path = tmp_path / "gauge.vimo"
    vimo.ECircleGauge(center=(1, 2), diameter=30).Save(str(path), 1)
    data = path.read_bytes()
    path.write_bytes(data[: len(data) // 2])
    gauge = vimo.ECircleGauge()
    with pytest.raises(vimo.Error) as error:
        gauge.Load(str(path), 1)
    assert error.value.code in (1103, 1105)
