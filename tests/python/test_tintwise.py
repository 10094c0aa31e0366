# The Python package against the command-line tools: the tool's bytes on
# the known answers, many colours at once against one at a time, every bad
# input, the palette reader against tintwise-palette's rows, Ctrl-C, and the
# package installed into a fresh venv as the README says.
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import warnings

import numpy as np
import pytest

import tintwise

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
DATA = os.path.join(ROOT, "tests", "data")
TOOL, PALETTE, LIGHTS = os.environ["TINTWISE_EXE"], os.environ["TINTWISE_PALETTE"], os.environ["TINTWISE_LIGHTS"]
RANGE = "r, g and b each run 0..255"


def run(*args, limit=60, **options):  # gives up within a minute unless told, saying what it ran
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, timeout=limit, **options)


def test_nearest_writes_the_tools_bytes():
    runs = []
    for line in open(os.path.join(DATA, "runs.txt")):
        if line.startswith("#"):
            continue
        status, text, *args = line.rstrip("\n").split("\t")
        if status == "0" and len(args) == 3 and all(a.isdigit() and int(a) <= 255 for a in args):
            runs.append(([int(a) for a in args], text.replace("\\n", "\n")))
    assert len(runs) >= 15
    for rgb, text in runs:
        m = tintwise.nearest(*rgb)
        assert m.text == text == run(TOOL, *rgb).stdout
        assert f"Hue = {m.hue}, Saturation = {m.saturation}, Brightness = {m.brightness}\n" in text
        assert abs(float(text.split("= ")[1].split("]")[0]) - m.distance) <= 5e-7
        rendered = run(PALETTE, "--format={rendered_hex}", input="%d %d %d\n" % tuple(rgb)).stdout
        assert m.rendered_hex + "\n" == rendered == tintwise.render(m.hue, m.saturation, m.brightness).hex + "\n"


def test_many_at_once_as_one_at_a_time():
    rng = np.random.default_rng(29)
    colours = rng.integers(0, 256, (100_000, 3))
    colours[::5] = colours[rng.integers(0, len(colours), len(colours[::5]))]  # repeats
    many = tintwise.nearest_many(colours)
    for i, c in enumerate(colours):
        m = tintwise.nearest(*c)
        got = (many.hue[i], many.saturation[i], many.brightness[i], many.distance[i], tuple(many.rendered[i]))
        assert got == (m.hue, m.saturation, m.brightness, m.distance, m.rendered), (c, got, m)
    few = colours[:2000]
    for other in (tintwise.nearest_many(few.tolist(), jobs=1), tintwise.nearest_many(few.astype(np.uint8), jobs=3), tintwise.nearest_many(few.astype(float))):
        assert all(np.array_equal(a, b[:2000]) for a, b in zip(other, many))
    assert [a.shape for a in tintwise.nearest_many(np.zeros((0, 3), int))] == [(0,), (0,), (0,), (0,), (0, 3)]


@pytest.mark.parametrize("call, error, words", [
    (lambda: tintwise.nearest(256, 0, 0), ValueError, "r is 256; " + RANGE),
    (lambda: tintwise.nearest(0, -1, 0), ValueError, "g is -1; " + RANGE),
    (lambda: tintwise.nearest(0, 0, 2 ** 32), ValueError, "b is 4294967296; " + RANGE),
    (lambda: tintwise.nearest(True, 0, 0), ValueError, "r: True is a bool, not a number; " + RANGE),
    (lambda: tintwise.nearest(np.bool_(False), 0, 0), ValueError, "r: False is a bool, not a number; " + RANGE),
    (lambda: tintwise.nearest(0, 1.5, 0), ValueError, "g: 1.5 is not a whole number; " + RANGE),
    (lambda: tintwise.nearest(0, 0, float("nan")), ValueError, "b: nan is not a whole number; " + RANGE),
    (lambda: tintwise.nearest("1", 0, 0), TypeError, "r: str is not a number; " + RANGE),
    (lambda: tintwise.nearest(None, 0, 0), TypeError, "r: NoneType is not a number; " + RANGE),
    (lambda: tintwise.render(256, 0, 0), ValueError, "hue is 256; hue runs 0..254 (and 255, the same as 0), saturation and brightness 0..255"),
    (lambda: tintwise.render(0, 0, 2.5), ValueError, "brightness: 2.5 is not a whole number; hue runs 0..254 (and 255, the same as 0), saturation and brightness 0..255"),
    (lambda: tintwise.nearest_many([[0, 0, 0], [0, 0, 256]]), ValueError, "colours[1][2] (row 1, b) is 256; " + RANGE),
    (lambda: tintwise.nearest_many([[0, True, 0]]), ValueError, "colours[0][1] (row 0, g): True is a bool, not a number; " + RANGE),
    (lambda: tintwise.nearest_many([[0, 0, "0"]]), TypeError, "colours[0][2] (row 0, b): str is not a number; " + RANGE),
    (lambda: tintwise.nearest_many(np.array([[0, 0, 9], [0, -1, 300]])), ValueError, "colours[1][1] (row 1, g) is -1; " + RANGE),
    (lambda: tintwise.nearest_many(np.array([[0, 0, 300]], np.int16)), ValueError, "colours[0][2] (row 0, b) is 300; " + RANGE),
    (lambda: tintwise.nearest_many(np.array([[0, 1, 2], [1, 0.5, 1]])), ValueError, "colours[1][1] (row 1, g) is 0.5, not a whole number; " + RANGE),
    (lambda: tintwise.nearest_many(np.array([[np.nan, 1, 2]])), ValueError, "colours[0][0] (row 0, r) is nan, not a whole number; " + RANGE),
    (lambda: tintwise.nearest_many(None), TypeError, "colours must be an array-like of shape (N, 3), not NoneType"),
    (lambda: tintwise.nearest_many("123"), TypeError, "colours must be an array-like of shape (N, 3), not str"),
    (lambda: tintwise.nearest_many(np.zeros((2, 3), bool)), ValueError, "colours are bools, not numbers; " + RANGE),
    (lambda: tintwise.nearest_many(np.array([["a", "b", "c"]])), TypeError, "colours of <U1 are not numbers; " + RANGE),
    (lambda: tintwise.nearest_many([1, 2, 3]), ValueError, "colours must have the shape (N, 3), not (3,)"),
    (lambda: tintwise.nearest_many(np.zeros((4, 4))), ValueError, "colours must have the shape (N, 3), not (4, 4)"),
    (lambda: tintwise.nearest_many([[1, 2, 3]], jobs=0), ValueError, "jobs runs 1..999"),
    (lambda: tintwise.read_palette(42), TypeError, "a palette is a path, bytes or a str, not int"),
    (lambda: tintwise.recolour_lights("x\n", "#fff", triple=(1, 2, 3)), TypeError, "recolour_lights takes a colour or a triple: one of them"),
    (lambda: tintwise.recolour_lights("x\n", triple=(0, 0, 256)), ValueError, "brightness is 256; a triple is hue, saturation and brightness, each 0..255"),
    (lambda: tintwise.chart(brightness=1, saturation=1), ValueError, "brightness and saturation each fix one: give one of them"),
    (lambda: tintwise.chart(step=0), ValueError, "a step of 0; brightness and saturation run 0..255, steps 1..255"),
    (lambda: tintwise.lut(1), ValueError, "size is 1; size runs 2..256"),
])
def test_bad_input_raises_in_the_tools_words(call, error, words):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == words


def test_reads_every_palette_as_the_command_does():
    folder = os.path.join(DATA, "palettes")
    for name in sorted(os.listdir(folder)):
        path, find, vga = os.path.join(folder, name), name == "sample-find.css", name == "sample-vga.pal"
        palette = tintwise.read_palette(open(path, "rb").read() if name.endswith(".aco") else path, find=find, vga=vga)
        command = run(PALETTE, "--format={line}|{name}|{hex}", *(["--find"] if find else []), *(["--vga"] if vga else []), path)
        rows = "".join("%d|%s|#%02x%02x%02x\n" % (e.line, e.name, *e.rgb) for e in palette.entries if e.rgb)
        problems = "".join(f"{path}{'' if e.unit == 'file' else ':%d' % e.line}: {e.reason}\n" for e in palette.entries if not e.rgb)
        assert (rows, problems) == (command.stdout, command.stderr), name
        assert palette.format in name or palette.format in ("plain", "found", "jasc", "riff", "scribus", "soc", "gimp", "package"), (name, palette.format)
    assert tintwise.read_palette("#ff8000 Orange\r\n").entries == [tintwise.Entry(1, "line", "Orange", (255, 128, 0), None)]  # text, as read_lights takes it


def test_reads_and_recolours_lights_as_the_command_does(tmp_path):
    folder = os.path.join(DATA, "lights")
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        listed, found = run(LIGHTS, "--format=" + "|".join("{%s}" % f for f in ("line", "actor", "class", "property", "hue", "saturation", "brightness",
                                                                               "rendered_hex", "from_defaults", "defaults_of")), path), tintwise.read_lights(path)
        assert "".join("|".join("" if v is None else str(v) for v in light) + "\n" for light in found.lights) == listed.stdout, name
        assert all(tintwise.render(light.hue, light.saturation, light.brightness).hex == light.rendered_hex  # hue 255 too
                   for light in found.lights if light.rendered_hex), name
        assert "".join(f"{path}{':%d' % line if line else ''}: {reason}\n" for line, reason in found.reports) == listed.stderr, name
        data = open(path, "rb").read()
        for colour, args, options in (("#ff8000", [], {}), ((200, 100, 50), ["--keep-brightness", "--only=*5"], {"keep_brightness": True, "only": "*5"}),
                                      ("10 20 30", ["--ambient"], {"ambient": True}), (None, ["--recolour-triple=253,15,255"], {"triple": (253, 15, 255)})):
            spelled = ["--recolour=" + (colour if isinstance(colour, str) else ",".join(map(str, colour)))] if colour else []
            done = subprocess.run([LIGHTS, *spelled, *args, path], capture_output=True, timeout=60)
            command = done.stdout
            if done.returncode == 64:  # a map package, never written
                with pytest.raises(ValueError, match="not recoloured: a package is never written"):
                    tintwise.recolour_lights(data, colour, **options)
                break
            with pytest.warns(tintwise.LightsWarning) if done.stderr else warnings.catch_warnings():
                assert tintwise.recolour_lights(data, colour, **options) == command, (name, colour)
            if data[:2] not in (b"\xff\xfe", b"\xfe\xff"):
                assert tintwise.recolour_lights(data.decode(), colour, **options) == command.decode(), (name, colour)
    with pytest.raises(ValueError, match="'#12345' is not one colour"):
        tintwise.recolour_lights("Begin Actor\nEnd Actor\n", "#12345")
    # A game, and a mod's classes (a folder of .uc files, one of them unreadable, said as a warning), as the command takes them.
    later, classes = os.path.join(folder, "later.t3d"), str(tmp_path)
    open(os.path.join(classes, "TriggerLight.uc"), "w").write("class TriggerLight extends Light;\ndefaultproperties\n{\n  LightSaturation=9\n}\n")
    open(os.path.join(classes, "Broken.uc"), "w").write("// no class here\n")
    command = run(LIGHTS, "--format={actor}|{saturation}|{brightness}|{defaults_of}", "--game=ut2004", "--classes=" + classes, later)
    with pytest.warns(tintwise.LightsWarning, match="Broken.uc: not read: it declares no class"):
        found = tintwise.read_lights(later, game="ut2004", classes=classes)
    assert "".join(f"{x.actor}|{x.saturation}|{x.brightness}|{x.defaults_of}\n" for x in found.lights) == command.stdout
    assert found.lights[2].brightness == "64" and found.lights[2].rendered_hex is None
    with pytest.raises(ValueError, match="game is 'ut3'; the games are unreal, ut99"):
        tintwise.read_lights(later, game="ut3")


def test_ctrl_c_stops_many_between_batches():
    script = "import numpy, sys, tintwise\nc = numpy.random.default_rng(1).integers(0, 256, (3_000_000, 3))\nprint(flush=True)\ntintwise.nearest_many(c)"
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=os.environ)
    assert child.stdout.readline() == "\n"
    child.send_signal(2)
    _, err = child.communicate(timeout=20)  # gives up within 20 s: it waited for the search to stop
    assert child.returncode != 0 and "KeyboardInterrupt" in err, err


def other_python():
    """A Python 3 with pip other than Debian's (a pyenv one, say), or None."""
    debian = os.path.realpath("/usr/bin/python3")
    for python in [shutil.which("python3")] + sorted(glob.glob(os.path.expanduser("~/.pyenv/versions/3.*/bin/python3"))):
        if python and os.path.realpath(python) != debian and run(python, "-m", "pip", "--version").returncode == 0:
            return python
    return None


# As the README says, with Debian's Python (NumPy from Debian) and with another (no NumPy, no setuptools, no wheel):
# pip builds it through the project's CMake with none of the flags of CXXFLAGS, and cmake --install puts it where that
# Python finds it.
@pytest.mark.parametrize("debian", [True, False])
def test_installs_into_a_fresh_venv_with_any_python_as_the_readme_says(debian):
    python = "/usr/bin/python3" if debian else other_python()
    if not python:
        pytest.skip("no Python 3 with pip here but Debian's")
    with tempfile.TemporaryDirectory() as where:
        venv, build = os.path.join(where, "venv"), os.path.join(where, "build")
        assert run(python, "-m", "venv", *(["--system-site-packages"] if debian else []), venv).returncode == 0
        if not debian:
            run(os.path.join(venv, "bin", "pip"), "uninstall", "-y", "setuptools", "wheel")  # the build needs neither
        # pip compiles the whole library for this Python: about 30 s on an idle machine of 2 cores, twice that
        # while another build runs, so it is given ten times that before the test says pip's build never ended.
        pip = run(os.path.join(venv, "bin", "pip"), "install", "--no-build-isolation", "--no-index", ROOT, limit=300,
                  env={**os.environ, "TINTWISE_BUILD_BASE": build, "CXXFLAGS": "-ffast-math -ffp-contract=fast"})
        assert pip.returncode == 0, pip.stdout + pip.stderr
        check = ("import sys, tintwise; m = tintwise.nearest(255, 255, 255); print(tintwise.__file__, m.hue, tintwise.render(13, 78, 255).hex, 'numpy' in sys.modules)\n"
                 "try: print(*tintwise.nearest_many([[1, 1, 1], [255, 128, 0]]).hue)\nexcept ImportError as e: print(e)")
        out = run(os.path.join(venv, "bin", "python"), "-c", check, cwd=where, env={k: v for k, v in os.environ.items() if k != "PYTHONPATH"})
        lines = out.stdout.splitlines()
        assert lines[0].startswith(os.path.join(venv, "lib")) and lines[0].split()[1:] == ["32", "#bb5640", "False"], out.stdout + out.stderr
        assert lines[1] == "254 7" if debian else lines[1].startswith("nearest_many needs NumPy"), out.stdout
        # cmake --install, of the build pip made for this Python, into a staging folder: where that Python looks.
        staged = os.path.join(where, "staged")
        assert run("cmake", "--install", glob.glob(os.path.join(build, "cmake-*"))[0], "--component", "python", env={**os.environ, "DESTDIR": staged}).returncode == 0
        installed = glob.glob(os.path.join(staged, "**", "tintwise", "__init__.py"), recursive=True)
        seen = run(os.path.join(venv, "bin", "python"), "-c", "import sys; print(*sys.path, sep='\\n')").stdout.splitlines()
        assert len(installed) == 1 and os.path.dirname(os.path.dirname(installed[0]))[len(staged):] in seen, (installed, seen)
