"""Installs the package into a scratch folder and imports it from there, with
no PIXPEN_LIBRARY to point the way, so that it must find its own library.

    check_install.py cmake CMAKE BUILD_DIR PYTHONDIR SCRATCH
    check_install.py pip SOURCE_DIR SCRATCH

cmake: `cmake --install BUILD_DIR --prefix SCRATCH`, then the package from
SCRATCH/PYTHONDIR must load SCRATCH's library. pip: a venv that sees the
system's setuptools, `pip install --no-build-isolation` of a copy of python/,
then the package must load the library inside it. Exits 77 (skipped) when
venv, pip, setuptools or wheel is missing, except under CI=true.
"""
import os
import shutil
import subprocess
import sys

# Draws, writes PNG, and prints where the library was loaded from.
PROBE = """
import pixpen
with pixpen.Image(40, 40) as image:
    for _ in range(5):
        assert image.forward(15)
        image.left(144)
    assert image.encode("tga")[2] == 2
print(pixpen.library_path)
"""


def clean_env(**extra):
    env = {k: v for k, v in os.environ.items()
           if k not in ("PIXPEN_LIBRARY", "PYTHONPATH", "LD_LIBRARY_PATH", "LD_PRELOAD")}
    env.update(extra)
    return env


def run(command, **options):
    print("+", " ".join(command), flush=True)
    return subprocess.run(command, check=True, **options)


def loaded_from(python, scratch, env):
    out = run([python, "-c", PROBE], env=env, cwd=scratch, capture_output=True, text=True)
    return os.path.realpath(out.stdout.strip())


def check_cmake(cmake, build, pythondir, scratch):
    run([cmake, "--install", build, "--prefix", scratch], stdout=subprocess.DEVNULL)
    path = loaded_from(sys.executable, scratch,
                       clean_env(PYTHONPATH=os.path.join(scratch, pythondir)))
    assert path.startswith(os.path.realpath(scratch) + os.sep), path
    print("the installed package loaded", path)


def check_pip(source, scratch):
    missing = [m for m in ("venv", "ensurepip", "setuptools", "wheel")
               if subprocess.run([sys.executable, "-c", "import " + m],
                                 capture_output=True).returncode]
    if missing:
        print("%s: %s missing (Debian: python3-venv python3-setuptools python3-wheel)"
              % ("FAILED" if os.environ.get("CI") == "true" else "SKIPPED", ", ".join(missing)))
        return 1 if os.environ.get("CI") == "true" else 77
    copy = os.path.join(scratch, "python")
    shutil.copytree(os.path.join(source, "python"), copy, ignore=shutil.ignore_patterns(
        "build", "*.egg-info", "__pycache__"))
    venv = os.path.join(scratch, "venv")
    run([sys.executable, "-m", "venv", "--system-site-packages", venv])
    python = os.path.join(venv, "bin", "python")
    run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--no-deps",
         "--quiet", copy], env=clean_env(PIXPEN_SOURCE_DIR=source), cwd=scratch)
    path = loaded_from(python, scratch, clean_env())
    assert path.startswith(os.path.realpath(venv) + os.sep) and path.endswith(
        os.path.join("pixpen", "libpixpen.so.0")), path
    print("the pip-installed package loaded", path)
    return 0


def main(mode, *args):
    scratch = os.path.abspath(args[-1])
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    if mode == "cmake":
        check_cmake(*args[:-1], scratch)
        return 0
    return check_pip(args[0], scratch)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
