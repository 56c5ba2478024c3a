"""The library is found beside the package or through PIXPEN_LIBRARY, and
when it is not, the message says where it looked and what to do."""
import ctypes
import os
import re
import shutil
import subprocess
import sys

import pytest

import pixpen

PACKAGE = os.path.dirname(pixpen.__file__)


def _import(env, path):
    env = dict(os.environ, PYTHONPATH=path, LD_LIBRARY_PATH="", **env)
    return subprocess.run([sys.executable, "-c", "import pixpen; print(pixpen.library_path)"],
                          env=env, capture_output=True, text=True)


def test_bad_override_is_reported():
    result = _import({"PIXPEN_LIBRARY": "/nonexistent/libpixpen.so"}, os.path.dirname(PACKAGE))
    assert result.returncode != 0
    assert "LibraryNotFoundError: PIXPEN_LIBRARY=/nonexistent/libpixpen.so cannot be loaded" \
        in result.stderr


def test_search_order(tmp_path):
    copy = tmp_path / "pixpen"
    shutil.copytree(PACKAGE, copy, ignore=shutil.ignore_patterns("*.so*", "_install_paths.py"))
    env = {"PIXPEN_LIBRARY": ""}
    result = _import(env, str(tmp_path))
    if result.returncode == 0:
        pytest.skip("a libpixpen is installed system-wide: %s" % result.stdout.strip())
    assert "libpixpen was not found. Looked in:" in result.stderr
    assert str(copy / "libpixpen.so.0") in result.stderr and "PIXPEN_LIBRARY=" in result.stderr
    # beside the package, as a wheel carries it, and as cmake --install places it
    shutil.copy(pixpen.library_path, copy / "libpixpen.so.0")
    assert _import(env, str(tmp_path)).stdout.strip() == str(copy / "libpixpen.so.0")
    (copy / "libpixpen.so.0").unlink()
    (tmp_path / "lib").mkdir()
    shutil.copy(pixpen.library_path, tmp_path / "lib" / "libpixpen.so.0")
    (copy / "_install_paths.py").write_text('LIBRARY_DIR = "../lib"\nLIBRARY_NAME = '
                                            '"libpixpen.so.0"\n')
    assert _import(env, str(tmp_path)).stdout.strip() == str(tmp_path / "lib" / "libpixpen.so.0")


EXPORTS = os.path.join(os.path.dirname(__file__), "..", "..", "include", "pixpen.exports")
# How pixpen.h's types cross ctypes: enums are ints in the C ABI.
C_TYPES = {
    "void": None,
    "int": ctypes.c_int,
    "bool": ctypes.c_bool,
    "size_t": ctypes.c_size_t,
    "double": ctypes.c_double,
    # An array.array's address (buffer_info), which needs no ctypes copy.
    "const double *": ctypes.c_void_p,
    "size_t *": ctypes.POINTER(ctypes.c_size_t),
    "uint8_t **": ctypes.POINTER(ctypes.POINTER(ctypes.c_uint8)),
    "void *": ctypes.c_void_p,
    "const void *": ctypes.c_void_p,
    "const char *": ctypes.c_char_p,
    "Color": pixpen._native.ColorRecord,
    "const PixpenPoint *": ctypes.POINTER(pixpen._native.PointRecord),
    "Image": pixpen._native.Handle,
    "ImageFormat": ctypes.c_int,
    "PixpenError *": ctypes.POINTER(pixpen._native.ErrorRecord),
    "const PixpenEncodeOptions *": ctypes.POINTER(pixpen._native.EncodeOptionsRecord),
    "const PixpenPoint *": ctypes.POINTER(pixpen._native.PointRecord),
}


def _exported():
    """{name: (result type, [parameter types]) or None for data} from the list."""
    names = {}
    with open(EXPORTS) as listing:
        for line in listing:
            if line.startswith("#") or not line.strip():
                continue
            call = re.match(r"(.*?)\s*\b(\w+)\((.*)\)$", line.strip())
            if call is None:
                names[re.search(r"(\w+)(\[\d+\])?$", line.strip()).group(1)] = None
                continue
            result, name, parameters = call.groups()
            parameters = [] if parameters == "void" else parameters.split(", ")
            names[name] = (result, parameters)
    return names


@pytest.mark.skipif(not os.path.exists(EXPORTS), reason="outside the source tree")
def test_bindings_follow_the_export_list():
    exported = _exported()
    bound = pixpen._native.SIGNATURES
    assert set(bound) | pixpen._native.NOT_BOUND == set(exported)
    assert not set(bound) & pixpen._native.NOT_BOUND
    for name, (restype, argtypes) in bound.items():
        result, parameters = exported[name]
        assert (restype, argtypes) == (C_TYPES[result], [C_TYPES[p] for p in parameters]), name
