"""The library is found beside the package or through PIXPEN_LIBRARY, and
when it is not, the message says where it looked and what to do."""
import os
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
