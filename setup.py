# `pip install .`: the Python package, its module built by the project's own
# CMake build (python/CMakeLists.txt) for the Python that runs pip, so that it
# is compiled with the flags that keep the search exact (no contraction, no
# extended precision, the same checks as every target) and with none that
# Python's build tools, or CFLAGS and CXXFLAGS in the environment, would add.
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent
VERSION = re.search(r"project\(Tintwise VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        env = {k: v for k, v in os.environ.items() if k not in ("CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS")}
        configure = ["-DCMAKE_BUILD_TYPE=Release", "-DTINTWISE_TESTS=OFF", "-DTINTWISE_WEB_PAGE=OFF", "-DTINTWISE_PYTHON=ON",
                     "-DPython_EXECUTABLE=" + sys.executable]
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), *configure], check=True, env=env)
        subprocess.run(["cmake", "--build", str(build), "--target", "_tintwise", "--parallel", str(os.cpu_count() or 1)], check=True, env=env)
        built = next((build / "python" / "tintwise").glob("_tintwise*"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(
    version=VERSION,
    packages=["tintwise"],
    package_dir={"": "python"},
    package_data={"tintwise": ["__init__.pyi", "py.typed"]},
    ext_modules=[Extension("tintwise._tintwise", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # Build files outside the source's own folders: build-python/, or TINTWISE_BUILD_BASE.
    options={"build": {"build_base": os.environ.get("TINTWISE_BUILD_BASE", "build-python")},
             "egg_info": {"egg_base": os.environ.get("TINTWISE_BUILD_BASE", "build-python")}},
)
