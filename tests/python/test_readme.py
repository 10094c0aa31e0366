# The README's examples, run as it shows them: each `$` command in a copy of
# docs/ (from docs/examples, with the programs on the PATH), its output
# against the lines shown under it; the Python session through doctest; and
# the preview the ffmpeg line makes is, pixel for pixel, the README's picture.
import doctest
import os
import re
import shutil
import subprocess
import tempfile

from test_gamut import png_pixels

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")


def blocks():  # each indented block of the README, as its lines
    text = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
    return [[line[4:] for line in block.group(0).strip("\n").splitlines()] for block in re.finditer(r"(?m)(^    .*\n|^\n(?=    ))+", text)]


def test_every_readme_example_gives_what_it_shows():
    programs = os.path.dirname(os.environ["TINTWISE_EXE"])
    with tempfile.TemporaryDirectory() as folder:
        shutil.copytree(os.path.join(ROOT, "docs"), os.path.join(folder, "docs"))
        here = os.path.join(folder, "docs", "examples")
        env = {**os.environ, "PATH": programs + os.pathsep + os.environ["PATH"]}
        commands = [(b[i][2:], b[i + 1:next((k for k in range(i + 1, len(b)) if b[k].startswith("$ ")), len(b))])
                    for b in blocks() for i in range(len(b)) if b[i].startswith("$ ")]
        assert len(commands) >= 7, commands
        for command, shown in commands:
            done = subprocess.run(command, shell=True, cwd=here, env=env, capture_output=True, text=True, timeout=300)  # the HALD CLUT: 2^24 searches
            while shown and not shown[-1]:
                shown = shown[:-1]
            assert (done.returncode, done.stdout.rstrip("\n").split("\n") if shown else []) == (0, shown), (command, done.stderr)
        made, pictured = (png_pixels(open(path, "rb").read()) for path in (os.path.join(here, "preview.png"), os.path.join(ROOT, "docs", "lut-preview.png")))
        assert (made == pictured).all()
        session = next("\n".join(b) for b in blocks() if b[0].startswith(">>> "))
        test = doctest.DocTestParser().get_doctest(session, {}, "README", "README.md", 0)
        cwd = os.getcwd()
        os.chdir(here)
        try:
            assert doctest.DocTestRunner().run(test).failed == 0
        finally:
            os.chdir(cwd)
