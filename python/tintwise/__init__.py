"""The exact nearest colour of Unreal's HSB colour space, from Python.

Tintwise converts an RGB colour into the nearest hue (0..254), saturation
(0..255) and brightness (0..255) of Unreal's HSB colour model, exactly as a
search of all 16,711,680 triples would, to the bit: the same library as the
``Tintwise`` command, ``tintwise-palette`` and the web page.

>>> import tintwise
>>> m = tintwise.nearest(255, 128, 0)
>>> (m.hue, m.saturation, m.brightness), m.rendered_hex
((7, 70, 255), '#c54639')
>>> print(m.text, end='')
[Distance between RGB and the best matching HSB = 100.209387]
[The HSB chosen is actually equivalent to RGB (196.9, 70.0, 57.5)]
<BLANKLINE>
  Hue = 7, Saturation = 70, Brightness = 255

Arguments are checked, never wrapped or clipped: a value out of range, a
bool, or a float that is not whole raises ValueError, anything not a number
TypeError. NumPy is needed by nearest_many alone, and imported when it is
first called.
"""

import numbers
import os
import sys
import warnings
from typing import Any, List, NamedTuple, Optional, Tuple, Union

from . import _tintwise

__version__ = _tintwise.__version__
__all__ = ["GAMES", "Entry", "Light", "Lights", "LightsWarning", "Match", "Matches", "Palette", "Rendered", "nearest", "nearest_many", "read_lights",
           "read_palette", "recolour_lights", "render", "chart", "lut"]

_RANGE = "r, g and b each run 0..255"


class Match(NamedTuple):
    """The nearest triple to one colour, as ``Tintwise R G B`` answers it."""

    hue: int
    saturation: int
    brightness: int
    distance: float  #: in RGB units, the double the search found (the report prints it with 6 decimals)
    rendered: Tuple[float, float, float]  #: the colour the triple renders, single-precision channels on the 0..1 scale
    rendered_hex: str  #: that colour to the nearest byte, "#rrggbb"
    text: str  #: exactly what ``Tintwise R G B`` writes: two report lines, an empty line, the result line


class Matches(NamedTuple):
    """The nearest triples to many colours, each field an array in their order."""

    hue: Any  #: a NumPy array, int32, shape (N,)
    saturation: Any  #: int32, shape (N,)
    brightness: Any  #: int32, shape (N,)
    distance: Any  #: float64, shape (N,)
    rendered: Any  #: float32, shape (N, 3): red, green, blue on the 0..1 scale


class Rendered(NamedTuple):
    """The colour a triple renders."""

    red: float  #: single-precision channels on the 0..1 scale, as the model holds them
    green: float
    blue: float
    hex: str  #: to the nearest byte, "#rrggbb"


class Entry(NamedTuple):
    """One entry of a palette: a colour that was read, or the reason it was not."""

    line: int  #: where it is, counted in `unit`
    unit: str  #: "line" (from 1), "block" (of an .ase, from 1), "index" (in a colour table, from 0), "file" (the file as a whole)
    name: str
    rgb: Optional[Tuple[int, int, int]]  #: None when not read
    reason: Optional[str]  #: None when read


class Palette(NamedTuple):
    """A palette as tintwise-palette reads it."""

    entries: List[Entry]
    format: str  #: "gimp", "ase", "png", ... or "not a palette"


class Light(NamedTuple):
    """A light's, or a zone's ambient light's, colour, as T3D text holds it."""

    line: int  #: of its actor's "Begin Actor"
    actor: str  #: its Name, without quotes
    class_name: str  #: its Class
    property: str  #: "light", or "ambient" for a zone's ambient light
    hue: int
    saturation: int
    brightness: Union[int, str]  #: a byte; for a light of the later engine generation, its float as written (a str)
    rendered_hex: Optional[str]  #: the colour the triple renders, to the nearest byte (a hue of 255 renders as 0); None in the later generation
    from_defaults: str  #: the values that came from the class's defaults, as "hue saturation brightness"
    defaults_of: str  #: the class each of those came from, in that order ("Object": none sets it, it is 0)


class Lights(NamedTuple):
    """The lights of a T3D text, as tintwise-lights lists them."""

    lights: List[Light]
    reports: List[Tuple[int, str]]  #: (line, reason) for what could not be read with certainty; line 0 for the text


class LightsWarning(UserWarning):
    """Something recolour_lights could not read with certainty, and passed through unchanged."""


def _bytes_of(path_or_text, what):
    """The bytes of a file: bytes as given, a path's file, or a str of the text itself (one with a line feed)."""
    if isinstance(path_or_text, (bytes, bytearray, memoryview)):
        return bytes(path_or_text)
    if isinstance(path_or_text, os.PathLike) or (isinstance(path_or_text, str) and "\n" not in path_or_text):
        with open(path_or_text, "rb") as file:
            return file.read()
    if isinstance(path_or_text, str):
        return path_or_text.encode("utf-8", "surrogateescape")
    raise TypeError(f"{what} is a path, bytes or a str, not {type(path_or_text).__name__}")


GAMES = ("unreal", "ut99", "deusex", "rune", "nerf", "undying", "khg", "wot", "ut2004")


def _game(game):
    """A game's number, as the library numbers them; -1 for None (UT99's classes, the generation told by the text)."""
    if game is None:
        return -1
    if game not in GAMES:
        raise ValueError(f"game is {game!r}; the games are {', '.join(GAMES)}")
    return GAMES.index(game)


def _classes(classes):
    """Each .uc file of `classes` (a folder of a mod's classes, one file, or a list of either), as (name, bytes), in order."""
    if classes is None:
        return []
    paths = [classes] if isinstance(classes, (str, os.PathLike)) else list(classes)
    files = []
    for path in paths:
        if os.path.isdir(path):
            found = [os.path.join(folder, name) for folder, _, names in os.walk(path) for name in names if name.lower().endswith(".uc")]
            if not found:
                raise ValueError(f"classes: {os.fspath(path)!r} holds no .uc file")
            files += sorted(found)
        else:
            files.append(os.fspath(path))
    return [(file, open(file, "rb").read()) for file in files]


def _lights(data, recolour, triple, keep, ambient, only, game, classes):
    """The library's reading, what the classes given could not be read as said as LightsWarning."""
    found = _tintwise.lights(data, recolour, *triple, keep, ambient, only, _game(game), _classes(classes))
    for said in found[5]:
        warnings.warn(said, LightsWarning, stacklevel=3)
    return found


def read_lights(path_or_text, game: Optional[str] = None, classes=None) -> Lights:
    """Lists the lights of T3D text (actors copied from UnrealEd, or a map
    exported): a path, its bytes, or a str of the text itself. The values the
    text leaves to the actors' classes come from `game`'s stock classes (one
    of GAMES; by default UT99's, or UT2004's where the text shows itself of
    that generation), and first from `classes`: a mod's or a map's own .uc
    files (a folder, a file, or a list of them)."""
    lights, reports, *_ = _lights(_bytes_of(path_or_text, "a T3D text"), False, (0, 0, 0), False, False, "", game, classes)
    return Lights([Light(*light) for light in lights], reports)


def recolour_lights(text, colour=None, keep_brightness: bool = False, ambient: bool = False, only: Optional[str] = None, game: Optional[str] = None,
                    classes=None, triple=None):
    """T3D text with its lights (or, with `ambient`, its zones' ambient lights)
    recoloured to the triple `Tintwise R G B` gives for `colour` (r, g, b, or a
    colour written as a palette line writes one: "#ff8000", "255,128,0", ...),
    all of it or, with `keep_brightness`, its hue and saturation, in every
    actor whose Name or Tag matches the glob `only`. Every other byte is kept;
    the result is of the type given (str or bytes), the command's bytes. What
    cannot be read with certainty is passed through and said as a
    LightsWarning. `game` and `classes` as read_lights takes them. A map
    package (.unr, ...) is never written: ValueError says how to do it.
    `triple` (hue, saturation, brightness, each 0..255), given instead of
    `colour`, is written as it is: a triple chosen on chart()."""
    if not isinstance(text, (str, bytes, bytearray)):
        raise TypeError(f"recolour_lights takes the text itself, as str or bytes, not {type(text).__name__}")
    if (colour is None) == (triple is None):
        raise TypeError("recolour_lights takes a colour or a triple: one of them")
    if triple is not None:
        words = "a triple is hue, saturation and brightness, each 0..255"
        try:
            h, s, v = triple
        except (TypeError, ValueError):
            raise TypeError(f"triple is three numbers (hue, saturation, brightness), not {triple!r}") from None
        hsb = [_whole(x, w, 255, words) for x, w in ((h, "hue"), (s, "saturation"), (v, "brightness"))]
    elif isinstance(colour, str):
        found = _tintwise.read_palette(colour.encode(), False, False)[0]
        if len(found) != 1 or found[0][3] is None or "\n" in colour:
            raise ValueError(f"{colour!r} is not one colour; write it as #ff8000, ff8000, #f80, 255,128,0, 255 128 0 or rgb(255, 128, 0)")
        colour = found[0][3]
    if triple is None:
        try:
            r, g, b = colour
        except (TypeError, ValueError):
            raise TypeError(f"colour is a str or three channels, not {colour!r}") from None
        m = nearest(r, g, b)
        hsb = [m.hue, m.saturation, m.brightness]
    data = text.encode("utf-8", "surrogateescape") if isinstance(text, str) else bytes(text)
    if only is not None and only == "":
        raise ValueError("only='' names no actor; leave it out (None) to recolour every light")
    _, reports, back, changed, matched, _, package = _lights(data, True, tuple(hsb), bool(keep_brightness), bool(ambient), only or "",
                                                             game, classes)
    if package:
        raise ValueError(reports[0][1] if reports else "a package is never recoloured")
    for line, reason in reports:
        warnings.warn(f"{line}: {reason}" if line else reason, LightsWarning, stacklevel=2)
    if only and matched == 0:
        warnings.warn(f"only={only} matches no actor's Name or Tag; nothing was recoloured", LightsWarning, stacklevel=2)
    elif only and changed == 0:
        warnings.warn(f"only={only} matches {matched} actors, none of them a light{' with an ambient light' if ambient else ''}; nothing was recoloured",
                      LightsWarning, stacklevel=2)
    return back.decode("utf-8", "surrogateescape") if isinstance(text, str) else back


def _whole(value, what, top, words):
    """`value` as an int in 0..top, or the error a person would be given."""
    np = sys.modules.get("numpy")  # a NumPy bool can only come from a NumPy already imported
    if isinstance(value, bool) or (np is not None and isinstance(value, np.bool_)):
        raise ValueError(f"{what}: {value!r} is a bool, not a number; {words}")
    if isinstance(value, numbers.Integral):
        number = int(value)
    elif isinstance(value, numbers.Real):
        if not float(value).is_integer():
            raise ValueError(f"{what}: {value!r} is not a whole number; {words}")
        number = int(value)
    else:
        raise TypeError(f"{what}: {type(value).__name__} is not a number; {words}")
    if not 0 <= number <= top:
        raise ValueError(f"{what} is {value!r}; {words}")
    return number


def nearest(r, g, b) -> Match:
    """The nearest triple to the colour (r, g, b), each a whole number 0..255."""
    return Match(*_tintwise.nearest(*(_whole(v, w, 255, _RANGE) for v, w in ((r, "r"), (g, "g"), (b, "b")))))


def render(hue, saturation, brightness) -> Rendered:
    """The colour the triple renders: hue 0..254, saturation and brightness
    0..255. A hue of 255, which the editor writes and read_lights lists,
    renders as hue 0: the wheel has 255 steps."""
    words = "hue runs 0..254 (and 255, the same as 0), saturation and brightness 0..255"
    checked = (_whole(hue, "hue", 255, words), _whole(saturation, "saturation", 255, words), _whole(brightness, "brightness", 255, words))
    return Rendered(*_tintwise.render(*checked))


def nearest_many(colours, jobs: Optional[int] = None) -> Matches:
    """The nearest triples to many colours: any array-like of shape (N, 3) of
    whole numbers 0..255. Searches each distinct colour once, on every core
    (or `jobs` threads) with the GIL released; Ctrl-C stops it between
    batches. Needs NumPy."""
    try:
        import numpy as np
    except ImportError as e:
        raise ImportError(f"nearest_many needs NumPy, which this Python does not have ({e}); nearest, render and read_palette do not") from e
    if colours is None or isinstance(colours, (str, bytes, numbers.Number)):
        raise TypeError(f"colours must be an array-like of shape (N, 3), not {type(colours).__name__}")
    if isinstance(colours, np.ndarray):
        array = colours
    else:  # a list or tuple: each element checked as one colour's channel is
        array = np.asarray(colours, dtype=object)
        if array.ndim == 2 and array.shape[1] == 3:
            for i, value in enumerate(array.flat):
                _whole(value, f"colours[{i // 3}][{i % 3}] (row {i // 3}, {'rgb'[i % 3]})", 255, _RANGE)
            array = array.astype(np.int64) if array.size else np.zeros((0, 3), np.int64)
    if array.ndim != 2 or array.shape[1] != 3:
        raise ValueError(f"colours must have the shape (N, 3), not {array.shape}")
    kind = array.dtype.kind
    if kind == "b":
        raise ValueError(f"colours are bools, not numbers; {_RANGE}")
    if kind not in "iuf":
        raise TypeError(f"colours of {array.dtype} are not numbers; {_RANGE}")
    # The first value that is no channel, by its row and channel.
    bad = ~np.isfinite(array) | (array != np.floor(array)) if kind == "f" else np.zeros(array.shape, bool)
    bad |= (array < 0) | (array > 255)
    if bad.any():
        row, channel = (int(i) for i in np.argwhere(bad)[0])
        value = array[row, channel].item()
        whole = kind != "f" or (np.isfinite(value) and value == int(value))
        raise ValueError(f"colours[{row}][{channel}] (row {row}, {'rgb'[channel]}) is {value!r}" + ("" if whole else ", not a whole number") + f"; {_RANGE}")
    threads = (os.cpu_count() or 1) if jobs is None else _whole(jobs, "jobs", 999, "jobs runs 1..999")
    if threads < 1:
        raise ValueError("jobs runs 1..999")
    return Matches(*_tintwise.nearest_many(np.ascontiguousarray(array, dtype=np.uint8), threads))


def read_palette(path_or_text, find: bool = False, vga: bool = False) -> Palette:
    """Reads a palette (a path, its bytes, or a str of the text itself, which
    holds a line feed) through the same reader as tintwise-palette, in find
    mode (every colour written in a text) if `find`; with `vga`, a 768-byte
    colour table as a VGA palette of 6-bit values. Its format is told from its
    content, never its name."""
    data = _bytes_of(path_or_text, "a palette")
    entries, found = _tintwise.read_palette(data, bool(find), bool(vga))
    return Palette([Entry(*e) for e in entries], found)


def chart(brightness: Optional[int] = None, saturation: Optional[int] = None, hue_step: int = 1, step: int = 1):
    """The chart tintwise-gamut draws, as a uint8 NumPy array of shape (rows,
    columns, 3): hue across (0, hue_step, ... up to 254) and saturation down
    at `brightness` (255 when neither is given), or brightness down at
    `saturation`; down from 0 by `step`, and 255 last. Each cell is the
    colour its triple renders, the bytes of the chart's pictures. Needs
    NumPy."""
    import numpy  # noqa: F401  (the array's type: a clear ImportError here rather than in the module)
    if brightness is not None and saturation is not None:
        raise ValueError("brightness and saturation each fix one: give one of them")
    words = "brightness and saturation run 0..255, steps 1..255"
    down = saturation is not None
    fixed = _whole(saturation if down else (255 if brightness is None else brightness), "saturation" if down else "brightness", 255, words)
    steps = [_whole(v, w, 255, words) for v, w in ((hue_step, "hue_step"), (step, "step"))]
    if 0 in steps:
        raise ValueError(f"a step of 0; {words}")
    return _tintwise.chart(down, fixed, *steps)[0]


def lut(size: int = 33, jobs: Optional[int] = None):
    """A lookup table of the search: a float32 NumPy array of shape (size,
    size, size, 3) indexed [r, g, b], each point the colour its nearest triple
    renders on the 0..1 scale (the numbers of tintwise-gamut's .cube). Point i
    stands for the byte nearest i * 255 / (size - 1); size runs 2..256 (256:
    every 8-bit colour, 2^24 searches). Searches on every core (or `jobs`
    threads) with the GIL released."""
    import numpy  # noqa: F401
    n = _whole(size, "size", 256, "size runs 2..256")
    if n < 2:
        raise ValueError(f"size is {size!r}; size runs 2..256")
    threads = (os.cpu_count() or 1) if jobs is None else _whole(jobs, "jobs", 999, "jobs runs 1..999")
    if threads < 1:
        raise ValueError("jobs runs 1..999")
    return _tintwise.lut(n, threads)
