"""Packages pixpen for Python.

From the source tree (``pip install --no-build-isolation ./python``) the build
step runs CMake on the parent folder, builds libpixpen.so and puts it inside
the package as libpixpen.so.0, so the installed package needs nothing else;
the wheel is then tagged for this platform. Without the source tree or cmake,
or with PIXPEN_USE_INSTALLED_LIBRARY=1, the package is pure Python and finds
an installed library at run time ($PIXPEN_LIBRARY, LD_LIBRARY_PATH, ldconfig).

Environment: PIXPEN_SOURCE_DIR (the CMake source tree, default: the parent of
this folder), CMAKE (the cmake program), CMAKE_BUILD_PARALLEL_LEVEL (default 2).
"""

import os
import shutil
import sys

from setuptools import Command, setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))


def _source_dir():
    folder = os.environ.get("PIXPEN_SOURCE_DIR") or os.path.dirname(HERE)
    if os.path.isfile(os.path.join(folder, "include", "pixpen.h")) and os.path.isfile(
        os.path.join(folder, "CMakeLists.txt")
    ):
        return os.path.abspath(folder)
    return None


SOURCE = _source_dir()
CMAKE = shutil.which(os.environ.get("CMAKE", "cmake"))
BUNDLE = bool(SOURCE and CMAKE and not os.environ.get("PIXPEN_USE_INSTALLED_LIBRARY"))


class BuildWithLibrary(build_py):
    def run(self):
        super().run()
        if not BUNDLE:
            print("pixpen: the library is not bundled (%s); the package will look for an "
                  "installed libpixpen at run time" % (
                      "PIXPEN_USE_INSTALLED_LIBRARY is set"
                      if os.environ.get("PIXPEN_USE_INSTALLED_LIBRARY")
                      else "no source tree" if not SOURCE else "no cmake"))
            return
        build = os.path.abspath(os.path.join(self.get_finalized_command("build").build_temp,
                                             "libpixpen"))
        self.spawn([CMAKE, "-S", SOURCE, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                    "-DBUILD_SHARED_LIBS=ON", "-DBUILD_TESTING=OFF",
                    "-DPIXPEN_BUILD_EXAMPLES=OFF", "-DPIXPEN_INSTALL=OFF",
                    "-DPIXPEN_WARNINGS_AS_ERRORS=OFF"])
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        self.spawn([CMAKE, "--build", build, "--target", "pixpen", "--parallel", jobs])
        # A wheel holds no symlinks: copy the real file under the SONAME.
        library = os.path.realpath(os.path.join(build, "libpixpen.so"))
        self.copy_file(library, os.path.join(self.build_lib, "pixpen", "libpixpen.so.0"))


commands = {"build_py": BuildWithLibrary}
try:
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:
    try:
        from wheel.bdist_wheel import bdist_wheel
    except ImportError:
        bdist_wheel = None
if bdist_wheel is not None:

    class PlatformWheel(bdist_wheel):
        """Any Python 3, but this platform's machine code when it carries the library."""

        def finalize_options(self):
            super().finalize_options()
            self.root_is_pure = not BUNDLE

        def get_tag(self):
            python, abi, platform = super().get_tag()
            return ("py3", "none", platform) if BUNDLE else (python, abi, platform)

    commands["bdist_wheel"] = PlatformWheel
else:

    class WheelMissing(Command):
        """Stands in for bdist_wheel, which pip's build asks for, so that the
        failure says what to install rather than "invalid command"."""

        user_options = []

        def initialize_options(self):
            pass

        def finalize_options(self):
            sys.exit("pixpen: building a wheel needs the 'wheel' package, which this Python "
                     "lacks. Without network on Debian: apt-get install python3-wheel "
                     "python3-setuptools, then make the venv with "
                     "'python3 -m venv --system-site-packages'.")

        def run(self):
            pass

    commands["bdist_wheel"] = WheelMissing

version = {}
with open(os.path.join(HERE, "pixpen", "_version.py")) as stream:
    exec(stream.read(), version)

setup(
    name="pixpen",
    version=version["__version__"],
    description="Turtle pictures in 24-bit RGB, read and written as TGA, PPM and PNG",
    packages=["pixpen", "pixpen.turtle"],
    python_requires=">=3.8",
    extras_require={"numpy": ["numpy"], "pil": ["Pillow"]},
    cmdclass=commands,
    zip_safe=False,
)
