# tintwise-palette's swatch files, read back by an independent reading of
# each format (Python's struct; zipfile, ElementTree, json and colorsys for
# Krita's and Procreate's) and by the command itself, as the command's own
# rows; .act's 256 colours; --beside, a read-only folder among its files; a
# terminal refused for binary data; both programs started from Explorer; and
# each line answered as it comes, through a pipe and a terminal.
import colorsys
import io
import json
import os
import pty
import select
import shutil
import struct
import subprocess
import tempfile
import xml.etree.ElementTree
import zipfile

import pytest

PALETTE = os.environ["TINTWISE_PALETTE"]
SAMPLES = os.path.join(os.path.dirname(__file__), "..", "data", "palettes")


def run(*args, **options):  # gives up within a minute, saying what it ran
    return subprocess.run([str(a) for a in args], capture_output=True, timeout=60, **options)


def utf16(b):
    assert b[-2:] == b"\0\0", "a name without its closing NUL"
    return b[:-2].decode("utf-16-be")


def read_swatches(fmt, data):
    # Each format as the program that defines it reads it: ["#rrggbb NAME"].
    out, at = [], len(data)
    if fmt == "ase":
        assert data[:8] == b"ASEF\0\1\0\0"
        at = 12
        for _ in range(struct.unpack(">I", data[8:12])[0]):
            kind, length = struct.unpack(">HI", data[at:at + 6])
            body, at = data[at + 6:at + 6 + length], at + 6 + length
            units = struct.unpack(">H", body[:2])[0]
            rest = body[2 + 2 * units:]
            assert kind == 1 and rest[:4] == b"RGB " and rest[16:] == b"\0\2", (kind, rest)
            out.append((bytes(round(v * 255) for v in struct.unpack(">3f", rest[4:16])), utf16(body[2:2 + 2 * units])))
    elif fmt == "aco":
        n = struct.unpack(">H", data[2:4])[0]
        at = 8 + 10 * n
        assert data[:2] == b"\0\1" and data[4 + 10 * n:at] == struct.pack(">HH", 2, n)
        for i in range(n):
            (space, *rgb, zero), units = struct.unpack(">5H", data[at:at + 10]), struct.unpack(">I", data[at + 10:at + 14])[0]
            assert data[at:at + 10] == data[4 + 10 * i:14 + 10 * i] and space == zero == 0 and all(c % 257 == 0 for c in rgb)
            out.append((bytes(c // 257 for c in rgb), utf16(data[at + 14:at + 14 + 2 * units])))
            at += 14 + 2 * units
    elif fmt in ("kpl", "swatches"):  # zip archives of stored entries, mimetype first, as Krita and Procreate import them
        archive = zipfile.ZipFile(io.BytesIO(data))
        infos = archive.infolist()
        assert archive.testzip() is None and all(i.compress_type == zipfile.ZIP_STORED for i in infos)
        if fmt == "kpl":
            assert [i.filename for i in infos] == ["mimetype", "colorset.xml"] and archive.read("mimetype") == b"application/x-krita-palette"
            root = xml.etree.ElementTree.fromstring(archive.read("colorset.xml"))
            entries, columns = root.findall("ColorSetEntry"), int(root.get("columns"))
            assert root.tag == "ColorSet" and all(e[0].tag == "RGB" and e[0].get("space") == "sRGB-elle-V2-srgbtrc.icc" for e in entries)
            assert [(int(e[1].get("row")), int(e[1].get("column"))) for e in entries] == [divmod(i, columns) for i in range(len(entries))]
            out = [(bytes(round(float(e[0].get(c)) * 255) for c in "rgb"), e.get("name")) for e in entries]
        else:
            assert [i.filename for i in infos] == ["Swatches.json"]
            [palette] = json.loads(archive.read("Swatches.json"))
            hsb = [(s["hue"], s["saturation"], s["brightness"]) for s in palette["swatches"]]
            out = [(bytes(round(c * 255) for c in colorsys.hsv_to_rgb(*v)), "") for v in hsb]
    elif fmt == "act":
        n, transparent = struct.unpack(">HH", data[768:])
        assert len(data) == 772 and transparent == 0xFFFF and not any(data[3 * n:768])
        out = [(data[3 * i:3 * i + 3], "") for i in range(n)]
    else:
        lines = data.decode("ascii").split("\r\n")
        assert lines.pop() == "" and "\n" not in "".join(lines)
        if fmt == "jasc":
            assert lines[:2] == ["JASC-PAL", "0100"] and int(lines[2]) == len(lines) - 3
            out = [(bytes(int(v) for v in line.split(" ")), "") for line in lines[3:]]
        else:
            colours = [line for line in lines if line[:1] != ";"]
            assert all(len(c) == 8 and c[:2] == "FF" for c in colours)
            out = [(bytes.fromhex(c[2:]), "") for c in colours]
    assert at == len(data), "data after the last colour"
    return [("#" + rgb.hex() + " " + name).rstrip() for rgb, name in out]


def test_swatch_files_hold_the_rendered_colours_as_the_rows_say():
    inputs = [os.path.join(SAMPLES, "sample.gpl"), os.path.join(SAMPLES, "sample-utf16.gpl")]  # names beyond the BMP too
    rows = run(PALETTE, "--format={rendered_hex}|{name}|{hue} {saturation} {brightness}", *inputs).stdout.decode().splitlines()
    named = [f"{hex} {name} ({triple})" if name else f"{hex} {triple}" for hex, name, triple in (row.split("|") for row in rows)]
    for fmt in ("ase", "aco", "act", "jasc", "paintnet", "kpl", "swatches"):
        written, expected = run(PALETTE, "--format=" + fmt, *inputs), named if fmt in ("ase", "aco", "kpl") else [n[:7] for n in named]
        assert written.returncode == 65 and read_swatches(fmt, written.stdout) == expected, fmt
        back = run(PALETTE, "--format={hex} {name}", "-", input=written.stdout).stdout.decode().splitlines()
        assert [line.rstrip() for line in back] == expected, fmt
    for count in (256, 257):  # an .act holds 256 colours: the 257th is said, and not written
        act = run(PALETTE, "--format=act", "-", input="".join(f"{i % 256} 9 {i // 256}\n" for i in range(count)).encode())
        assert act.returncode == (0 if count == 256 else 65) and len(read_swatches("act", act.stdout)) == 256
        assert act.stderr == (b"" if count == 256 else b"tintwise-palette: (standard output): an .act file holds 256 colours; the other 1 are not written\n")


def test_the_gamuts_swatches_are_the_palette_writers_own():  # its chart's cells named by triple, in every format, as its GIMP palette holds them
    gpl = run(os.environ["TINTWISE_GAMUT"], "--format=gpl", "--saturation=40", "--hue-step=32", "--brightness-step=64").stdout.decode().splitlines()
    named = ["#%02x%02x%02x %s" % (*map(int, line[:11].split()), line[12:]) for line in gpl[4:]]
    assert gpl[1] == "Name: Tintwise lights at LightSaturation 40" and [n[8:] for n in named] == [f"{h} 40 {b}" for b in (0, 64, 128, 192, 255) for h in range(0, 255, 32)]
    for fmt in ("ase", "aco", "act", "jasc", "paintnet", "kpl", "swatches"):
        written = run(os.environ["TINTWISE_GAMUT"], "--format=" + fmt, "--saturation=40", "--hue-step=32", "--brightness-step=64")
        assert written.returncode == 0 and read_swatches(fmt, written.stdout) == (named if fmt in ("ase", "aco", "kpl") else [n[:7] for n in named]), fmt
    act = run(os.environ["TINTWISE_GAMUT"], "--format=act", "--hue-step=8", "--saturation-step=16")  # 32 x 17 cells: an .act holds 256
    assert act.returncode == 65 and len(read_swatches("act", act.stdout)) == 256 and b"the other 288 are not written" in act.stderr


def test_beside_each_file_and_from_explorer():
    with tempfile.TemporaryDirectory() as folder:
        a, locked, c = os.path.join(folder, "a.gpl"), os.path.join(folder, "locked"), os.path.join(folder, "c.hex")
        b = os.path.join(locked, "b.hex")
        os.mkdir(locked)
        for path, sample in ((a, "sample.gpl"), (b, "sample.hex"), (c, "sample.hex")):
            open(path, "wb").write(open(os.path.join(SAMPLES, sample), "rb").read())
        os.chmod(folder, 0o777), os.chmod(locked, 0o555), os.symlink(c, c + ".tintwise.gpl")  # a link to a file the run reads
        # Root writes anywhere: as root, a copy of the program here (where any user may run it) runs as nobody.
        as_other = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", shutil.copy(PALETTE, folder)] if os.getuid() == 0 else [PALETTE]
        beside = run(*as_other, "--beside", "--format=gpl", a, b, c)
        assert (beside.stdout, beside.returncode) == (b"", 1)
        assert beside.stderr.decode() == run(PALETTE, a).stderr.decode() + f"tintwise-palette: {b}.tintwise.gpl: cannot write: Permission denied\n" \
            f"tintwise-palette: {c}.tintwise.gpl: not written: it is a file this run reads\n"
        assert open(a + ".tintwise.gpl", "rb").read() == run(PALETTE, "--format=gpl", a).stdout
        assert open(c, "rb").read() == open(os.path.join(SAMPLES, "sample.hex"), "rb").read()
        assert run(PALETTE, "--beside", "-", input=b"1 2 3\n").returncode == 64  # standard input has no place beside it
        explorer = {**os.environ, "TINTWISE_PALETTE_EXPLORER": "1"}
        dropped, clicked = run(PALETTE, a, env=explorer), run(PALETTE, env=explorer)
        assert (dropped.stdout, dropped.returncode) == (f"Wrote {a}.tintwise.csv\n\nPress Enter to close this window.\n".encode(), 65)
        # Each format its own name beside the file, none written over another's; no file for one that gives no row; no
        # two outputs of one name, refused before anything is written.
        folder = os.path.join(folder, "fresh")
        os.mkdir(folder)
        words, c = os.path.join(folder, "words.txt"), shutil.copy(c, folder)
        open(words, "w").write("no colour here\n")
        formats = ("csv", "json", "gpl", "text", "{hue}", "ase", "aco", "act", "jasc", "paintnet", "kpl", "swatches")
        assert all(run(PALETTE, "--beside", "--format=" + f, c, words).returncode == 65 for f in formats)
        assert sorted(n[6:] for n in os.listdir(folder) if n.startswith("c.hex.")) == sorted(
            "tintwise." + e for e in ("csv", "jsonl", "gpl", "txt", "out.txt", "ase", "aco", "act", "pal", "paintnet.txt", "kpl", "swatches"))
        assert not any(n.startswith("words.txt.") for n in os.listdir(folder))
        said = run(PALETTE, words, env=explorer).stdout.decode()
        assert said.startswith(f"{words}: nothing written: no colour was read from it\n") and "Wrote" not in said
        twice = run(PALETTE, "--beside", "--format=act", words, c, os.path.join(folder, ".", "c.hex"))
        assert twice.returncode == 64 and b"would both be written to" in twice.stderr and not os.path.exists(words + ".tintwise.act")
        assert clicked.returncode == 0 and b"Drop palette files" in clicked.stdout and clicked.stdout.endswith(b"Press Enter to close this window.\n")


def test_tintwise_from_explorer_answers_each_line_typed_as_the_command_does():
    tool, explorer = os.environ["TINTWISE_EXE"], {**os.environ, "TINTWISE_EXPLORER": "1"}
    said = run(tool, env=explorer, input=b"255 128 0\n1,2\n300 0 0\nabc, 7 9\n\n10 20 30\n")  # an empty line closes the window
    prompt = b"\nType R G B (each 0..255) and Enter for each colour; an empty line closes this window.\n"
    answers = [b"\n" + run(tool, *words).stdout for words in (("255", "128", "0"), ("300", "0", "0"), ("abc", "7", "9"))]
    assert (said.stdout, said.returncode) == (run(tool).stdout + prompt + answers[0] + b"Type three numbers, R G B, as 255 128 0.\n" + answers[1] + answers[2], 0)
    dropped = run(tool, "1", "2", "3", env=explorer, input=b"")
    assert (dropped.stdout, dropped.returncode) == (run(tool, "1", "2", "3").stdout + b"\nPress Enter to close this window.\n", 0)


def test_binary_data_is_refused_at_a_terminal():
    try:
        pid, terminal = pty.fork()
    except OSError as e:  # a chroot without /dev/pts
        pytest.skip(f"no pseudo-terminal can be opened here ({e})")
    if pid == 0:
        os.execv(PALETTE, [PALETTE, "--format=aco", os.path.join(SAMPLES, "sample.gpl")])
    said = os.read(terminal, 4096).decode()
    assert os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]) == 64 and "writes binary data, which a terminal cannot show" in said, said


def test_answers_each_line_as_it_comes():
    # A person typing, or a script waiting for each answer: each line's row
    # comes within a second, before the next line is sent, through a pipe and
    # through a terminal; one end-of-file ends the run (Ctrl-D once at a terminal).
    for terminal in (False, True):
        try:
            writer, reader = pty.openpty() if terminal else os.pipe()[::-1]
        except OSError as e:  # a chroot without /dev/pts
            pytest.skip(f"the pipe passed; no pseudo-terminal can be opened here ({e}), so the terminal was not tried")
        child = subprocess.Popen([PALETTE, "--format={hex}"], stdin=reader, stdout=subprocess.PIPE)
        os.close(reader)
        rows = b""
        for count, line in enumerate((b"#ff8000\n", b"10 20 30 Navy\n", b"rgb(1, 2, 3)\n"), 1):
            os.write(writer, line)
            while rows.count(b"\n") < count:
                assert select.select([child.stdout], [], [], 1)[0], f"{'terminal' if terminal else 'pipe'}: no row within a second for {line}"
                rows += os.read(child.stdout.fileno(), 64)
        assert rows == b"#ff8000\n#0a141e\n#010203\n"
        os.write(writer, b"\x04") if terminal else os.close(writer)
        assert child.wait(timeout=1) == 0, "still running a second after one end-of-file"
        if terminal:
            os.close(writer)
