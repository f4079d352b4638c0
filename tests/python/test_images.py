# Images and regions to and from NumPy: copies in, views out, sub-regions, and refusals.
import numpy as np
import pytest

import vimo

KINDS = [(vimo.EImageBW8, np.uint8, (7, 5)), (vimo.EImageBW16, np.uint16, (7, 5)),
         (vimo.EImageC24, np.uint8, (7, 5, 3))]


@pytest.mark.parametrize("image_class,dtype,shape", KINDS)
def test_round_trips_copies_and_views(image_class, dtype, shape):
    rng = np.random.default_rng(1)
    data = rng.integers(0, np.iinfo(dtype).max, size=shape, dtype=dtype)
    image = image_class(data)
    assert (image.GetWidth(), image.GetHeight()) == (shape[1], shape[0])
    np.testing.assert_array_equal(image.to_array(), data)
    np.testing.assert_array_equal(np.asarray(image), data)
    # Non-contiguous input (every other column, reversed rows) is copied as NumPy sees it.
    wide = rng.integers(0, 200, size=(shape[0], shape[1] * 2) + shape[2:], dtype=dtype)
    strided = wide[::-1, ::2]
    assert not strided.flags.c_contiguous
    np.testing.assert_array_equal(image_class(strided).to_array(), strided)
    # Read-only input is copied, never written.
    frozen = data.copy()
    frozen.flags.writeable = False
    copy = image_class(frozen)
    copy.view()[...] = 0
    assert frozen.any()
    # The view shares the pixels in both directions; rows are padded to 4 bytes.
    view = image.view()
    assert view.strides[0] == image.GetRowPitch() and image.GetRowPitch() % 4 == 0
    view[2, 3] = 9
    np.testing.assert_array_equal(image.to_array()[2, 3], 9)
    if len(shape) == 2:
        image.SetPixel(11, 1, 4)
        assert view[4, 1] == 11 and image.GetPixel(3, 2) == 9


def test_regions_from_slices_and_calls():
    data = np.arange(20 * 30, dtype=np.uint32).reshape(20, 30).astype(np.uint8)
    image = vimo.EImageBW8(data)
    region = image[5:15, 10:25]
    assert (region.GetOrgX(), region.GetOrgY(), region.GetWidth(), region.GetHeight()) == \
        (10, 5, 15, 10)
    np.testing.assert_array_equal(region.view(), data[5:15, 10:25])
    nested = region[2:4, 3:6]
    np.testing.assert_array_equal(nested.to_array(), data[7:9, 13:16])
    explicit = vimo.EROIBW8(image, 10, 5, 15, 10)
    np.testing.assert_array_equal(explicit.view(), region.view())
    # Writing through a region's view reaches the image.
    nested.view()[...] = 255
    assert (image.to_array()[7:9, 13:16] == 255).all()
    # A region keeps its image alive.
    del image, explicit
    np.testing.assert_array_equal(region.to_array()[2:4, 3:6], 255)
    with pytest.raises(vimo.Error):
        region[::2, :]


def test_views_block_resizing_until_released():
    image = vimo.EImageBW8(np.zeros((4, 4), np.uint8))
    view = image[1:3, 1:3].view()
    for call in (lambda: image.SetSize(8, 8), lambda: image.Load("x.pgm"),
                 lambda: image.assign(np.zeros((2, 2), np.uint8))):
        with pytest.raises(vimo.Error, match="views"):
            call()
    del view
    image.SetSize(8, 8)
    assert image.view().shape == (8, 8)


@pytest.mark.parametrize("image_class,bad", [
    (vimo.EImageBW8, np.zeros((4, 4), np.float32)),
    (vimo.EImageBW8, np.zeros((4, 4), np.uint16)),
    (vimo.EImageBW8, np.zeros((4, 4, 3), np.uint8)),
    (vimo.EImageBW8, np.zeros(4, np.uint8)),
    (vimo.EImageBW16, np.zeros((4, 4), np.uint8)),
    (vimo.EImageC24, np.zeros((4, 4), np.uint8)),
    (vimo.EImageC24, np.zeros((4, 4, 4), np.uint8)),
])
def test_wrong_dtypes_and_dimensions_raise(image_class, bad):
    with pytest.raises(vimo.Error) as error:
        image_class(bad)
    assert error.value.code == 32767 and "expected" in str(error.value)


def test_image_files(tmp_path):
    data = (np.arange(12 * 9) % 251).astype(np.uint8).reshape(9, 12)
    path = str(tmp_path / "a.pgm")
    vimo.EImageBW8(data).Save(path)
    loaded = vimo.EImageBW8()
    loaded.Load(path)
    np.testing.assert_array_equal(loaded.to_array(), data)
    with pytest.raises(vimo.Error) as error:
        loaded.Load(str(tmp_path / "missing.pgm"))
    assert error.value.code == 1102 and error.value.text == vimo.EGetErrorText(1102)
    np.testing.assert_array_equal(loaded.to_array(), data)  # left as it was
