"""Builds the Python package `tintwise` for pip (PEP 517, in the source tree:
pyproject.toml names this module), with no setuptools or wheel package: any
Python 3 with pip builds it. Its module is built by the project's own CMake
build for the Python that runs pip, with the flags that keep the search exact
(no contraction, no extended precision, the same checks as every target) and
with none that Python's build tools, or CFLAGS and CXXFLAGS in the
environment, would add. What is missing is said in one line.
"""
import base64
import hashlib
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
VERSION = re.search(r"project\(Tintwise VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)
INFO = f"tintwise-{VERSION}.dist-info"
METADATA = f"""Metadata-Version: 2.1
Name: tintwise
Version: {VERSION}
Summary: The exact nearest colour of Unreal's HSB colour space for an RGB colour, bit for bit as the Tintwise command answers
License: MIT
Requires-Python: >=3.8
Provides-Extra: arrays
Requires-Dist: numpy; extra == "arrays"
"""


def _fail(line):
    sys.exit("tintwise: " + line)  # said on standard error, where pip shows it


def _module():
    """Builds the module with CMake for this Python; returns its path."""
    cmake = shutil.which("cmake")
    if not cmake:
        _fail("cannot build the module: CMake is not installed (scripts/install-deps build, or apt-get install cmake)")
    # A build folder of this interpreter's own: each keeps its own CMake cache.
    own = hashlib.sha256(sys.executable.encode()).hexdigest()[:8]
    build = Path(os.environ.get("TINTWISE_BUILD_BASE", ROOT / "build-python")) / f"cmake-{sys.implementation.cache_tag}-{own}"
    env = {k: v for k, v in os.environ.items() if k not in ("CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS")}
    configure = [cmake, "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DTINTWISE_TESTS=OFF", "-DTINTWISE_WEB_PAGE=OFF",
                 "-DTINTWISE_PYTHON=ON", "-DPython_EXECUTABLE=" + sys.executable]
    for step in (configure, [cmake, "--build", build, "--target", "_tintwise", "--parallel", str(os.cpu_count() or 1)]):
        done = subprocess.run([str(a) for a in step], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode:
            log = build.with_name(build.name + ".log")
            log.write_text(done.stdout)
            lines = [line.strip() for line in done.stdout.splitlines() if line.strip()]
            said = next((lines[i + 1] for i, line in enumerate(lines[:-1]) if line.startswith("CMake Error")), None)
            said = said or next((line for line in lines if "error:" in line), lines[-1] if lines else "no output")
            _fail(f"cannot build the module: {said} (all CMake said is in {log})")
    return next((build / "python" / "tintwise").glob("_tintwise*"))


def _tag():
    """The wheel's tag for this interpreter: e.g. cp311-cp311-linux_x86_64."""
    version = "%d%d" % sys.version_info[:2]
    name = sys.implementation.name
    python = {"cpython": "cp", "pypy": "pp"}.get(name, "py") + version
    abi = "cp" + version + getattr(sys, "abiflags", "") if name == "cpython" else "none"
    return f"{python}-{abi}-{sysconfig.get_platform().replace('-', '_').replace('.', '_')}"


def get_requires_for_build_wheel(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    info = Path(metadata_directory) / INFO
    info.mkdir(parents=True, exist_ok=True)
    (info / "METADATA").write_text(METADATA)
    return INFO


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    module, tag = _module(), _tag()
    package = ROOT / "python" / "tintwise"
    files = {f"tintwise/{f}": (package / f).read_bytes() for f in ("__init__.py", "__init__.pyi", "py.typed")}
    files["tintwise/" + module.name] = module.read_bytes()
    files[f"{INFO}/METADATA"] = METADATA.encode()
    files[f"{INFO}/WHEEL"] = f"Wheel-Version: 1.0\nGenerator: tintwise_backend\nRoot-Is-Purelib: false\nTag: {tag}\n".encode()
    digest = lambda data: base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    record = "".join(f"{name},sha256={digest(data)},{len(data)}\n" for name, data in files.items()) + f"{INFO}/RECORD,,\n"
    files[f"{INFO}/RECORD"] = record.encode()
    name = f"tintwise-{VERSION}-{tag}.whl"
    with zipfile.ZipFile(Path(wheel_directory) / name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files.items():
            entry = zipfile.ZipInfo(path, (1980, 1, 1, 0, 0, 0))  # the same bytes from the same build
            entry.external_attr = (0o755 if path == "tintwise/" + module.name else 0o644) << 16
            wheel.writestr(entry, data, zipfile.ZIP_DEFLATED)
    return name


def build_sdist(sdist_directory, config_settings=None):
    """The sources, as git has them (or the tree, less its builds)."""
    name = f"tintwise-{VERSION}"
    listed = subprocess.run(["git", "-C", str(ROOT), "ls-files"], stdout=subprocess.PIPE, text=True)
    paths = listed.stdout.split() if listed.returncode == 0 else [
        str(p.relative_to(ROOT)) for p in ROOT.rglob("*") if p.is_file() and not re.match(r"(build|\.git|node_modules)", str(p.relative_to(ROOT)))]
    with tarfile.open(Path(sdist_directory) / f"{name}.tar.gz", "w:gz") as sdist:
        for path in paths:
            sdist.add(ROOT / path, f"{name}/{path}")
        info = tarfile.TarInfo(f"{name}/PKG-INFO")
        info.size = len(METADATA.encode())
        sdist.addfile(info, __import__("io").BytesIO(METADATA.encode()))
    return f"{name}.tar.gz"
