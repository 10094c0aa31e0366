# tintwise-gamut's pictures and tables read back here (PNG through zlib with
# every filter of the format undone, .cube by its grammar, SVG by
# ElementTree), against the search, render and ffmpeg; chart() and lut() give
# the files' numbers; the README's preview is its recipe over its photo.
import os
import shutil
import struct
import subprocess
import tempfile
import xml.etree.ElementTree
import zlib

import numpy as np
import pytest

import tintwise

GAMUT, DOCS = os.environ["TINTWISE_GAMUT"], os.path.join(os.path.dirname(__file__), "..", "..", "docs")


def gamut(*args):  # its bytes; gives up within a minute, saying what it ran
    done = subprocess.run([GAMUT, *args], capture_output=True, timeout=60)
    assert done.returncode == 0, (args, done.stderr)
    return done.stdout


def png_pixels(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    at, idat = 8, b""
    while at < len(data):
        n, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + n]
        assert zlib.crc32(kind + body) == struct.unpack(">I", data[at + 8 + n:at + 12 + n])[0]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2)
        idat += body if kind == b"IDAT" else b""
        at += 12 + n
    raw, size, rows = zlib.decompress(idat), width * 3 + 1, []
    prior = np.zeros(width * 3 + 3, np.int32)
    for y in range(height):
        kind, line = raw[y * size], np.zeros(width * 3 + 3, np.int32)  # 3 zeros before the row: the filters' "left" of its first pixel
        for i, v in enumerate(raw[y * size + 1:(y + 1) * size], 3):
            a, b, c = int(line[i - 3]), int(prior[i]), int(prior[i - 3])
            p = a + b - c
            paeth = a if abs(p - a) <= min(abs(p - b), abs(p - c)) else b if abs(p - b) <= abs(p - c) else c
            line[i] = (v + (0, a, b, (a + b) // 2, paeth)[kind]) & 255
        rows.append(line[3:])
        prior = line
    return np.array(rows, np.uint8).reshape(height, width, 3)


def lattice(n):  # point i stands for the byte nearest i * 255 / (n - 1), 127.5 going up
    return [int(i * 255 / (n - 1) + 0.5) for i in range(n)]


def test_each_table_holds_each_points_nearest_in_its_formats_layout():
    hald, strip, n = png_pixels(gamut("--format=hald", "--size=3")), png_pixels(gamut("--format=reshade", "--size=5")), 5
    cube = [line.split() for line in gamut("--format=cube", "--size=5").decode().splitlines() if line[:1] not in ("#", "T", "L", "D")]
    assert hald.shape == (27, 27, 3) and strip.shape == (5, 25, 3) and len(cube) == 125 and "LUT_3D_SIZE 5\n" in gamut("--format=cube", "--size=5").decode()
    table = tintwise.lut(5, jobs=2)
    assert table.dtype == np.float32 and table.shape == (5, 5, 5, 3)
    for p in range(125):  # red fastest
        r, g, b = p % n, p // n % n, p // 25
        m = tintwise.nearest(lattice(5)[r], lattice(5)[g], lattice(5)[b])
        assert "#%02x%02x%02x" % tuple(strip[g, r + b * n]) == m.rendered_hex
        assert [np.float32(v) for v in cube[p]] == list(table[r, g, b]) == [np.float32(v) for v in m.rendered]
    for p in range(729):
        r, g, b = (lattice(9)[i] for i in (p % 9, p // 9 % 9, p // 81))
        assert "#%02x%02x%02x" % tuple(hald[p // 27, p % 27]) == tintwise.nearest(r, g, b).rendered_hex


def test_the_chart_is_each_triples_colour_in_png_svg_and_python():
    for b in (0, 1, 255):
        chart = tintwise.chart(brightness=b)
        assert chart.shape == (256, 255, 3) and chart.dtype == np.uint8
        for s in (0, 1, 128, 254, 255):
            assert ["#%02x%02x%02x" % tuple(c) for c in chart[s]] == [tintwise.render(h, s, b).hex for h in range(255)]
            assert tintwise.render(255, s, b).hex == "#%02x%02x%02x" % tuple(chart[s][0])  # hue 255 is hue 0
    chart = tintwise.chart(saturation=200, hue_step=16, step=64)
    assert tintwise._tintwise.chart(True, 200, 16, 64)[1:] == (list(range(0, 255, 16)), [0, 64, 128, 192, 255])
    svg = xml.etree.ElementTree.fromstring(gamut("--format=svg", "--saturation=200", "--hue-step=16", "--brightness-step=64", "--cell=9"))
    png = png_pixels(gamut("--format=png", "--saturation=200", "--hue-step=16", "--brightness-step=64", "--cell=9"))
    cells = [r for g in svg if g.get("shape-rendering") == "crispEdges" for r in g]
    assert png.shape[:2] == (int(svg.get("height")), int(svg.get("width"))) and sum(int(r.get("width")) // 9 for r in cells) == 16 * 5
    left, top = min(int(r.get("x")) for r in cells), min(int(r.get("y")) for r in cells)
    for r in cells:  # each run of cells, its colour in both pictures and in chart()
        x, y, w = int(r.get("x")), int(r.get("y")), int(r.get("width"))
        assert int(r.get("height")) == 9 and (x - left) % 9 == 0 and (y - top) % 9 == 0
        row = chart[(y - top) // 9][(x - left) // 9:(x - left + w) // 9]
        assert {"#%02x%02x%02x" % tuple(c) for c in row} == {r.get("fill")} == {"#%02x%02x%02x" % tuple(c) for c in png[y:y + 9, x:x + w].reshape(-1, 3)}


@pytest.mark.skipif(shutil.which("ffmpeg") is None, reason="ffmpeg not installed (scripts/install-deps)")
def test_ffmpeg_reads_the_hald_clut_and_the_readme_preview_is_its_recipes():
    # ffmpeg carries each channel through a float and truncates it, so a channel may come out one below the exact colour.
    def through_ffmpeg(picture, *args):
        done = subprocess.run(["ffmpeg", "-v", "error", *args, "-i", picture, "-filter_complex", "haldclut", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                              capture_output=True, timeout=60)
        assert done.returncode == 0, done.stderr
        return np.frombuffer(done.stdout, np.uint8).reshape(-1, 3).astype(int)

    with tempfile.TemporaryDirectory() as folder:
        clut = os.path.join(folder, "lights.png")
        open(clut, "wb").write(gamut("--format=hald", "--size=4"))
        points = [(r * 17, g * 17, b * 17) for b in range(16) for g in range(16) for r in range(16)]  # the lattice of level 4, exact bytes
        raw = os.path.join(folder, "points.rgb")
        open(raw, "wb").write(bytes(c for p in points for c in p))
        out = through_ffmpeg(clut, "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "64x64", "-i", raw)
        exact = np.array([[int(tintwise.nearest(*p).rendered_hex[i:i + 2], 16) for i in (1, 3, 5)] for p in points])
        assert set(np.unique(out - exact)) <= {-1, 0}
    photo, preview = png_pixels(open(os.path.join(DOCS, "lut-photo.png"), "rb").read()), png_pixels(open(os.path.join(DOCS, "lut-preview.png"), "rb").read())
    exact = np.floor(tintwise.nearest_many(photo.reshape(-1, 3)).rendered.astype(np.float64) * 255 + 0.5).astype(int)
    assert photo.shape == preview.shape and set(np.unique(preview.reshape(-1, 3).astype(int) - exact)) <= {-1, 0}
