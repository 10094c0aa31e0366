from os import PathLike
from typing import List, NamedTuple, Optional, Sequence, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

__version__: str

class Match(NamedTuple):
    hue: int
    saturation: int
    brightness: int
    distance: float
    rendered: Tuple[float, float, float]
    rendered_hex: str
    text: str

class Matches(NamedTuple):
    hue: npt.NDArray[np.int32]
    saturation: npt.NDArray[np.int32]
    brightness: npt.NDArray[np.int32]
    distance: npt.NDArray[np.float64]
    rendered: npt.NDArray[np.float32]

class Rendered(NamedTuple):
    red: float
    green: float
    blue: float
    hex: str

class Entry(NamedTuple):
    line: int
    unit: str
    name: str
    rgb: Optional[Tuple[int, int, int]]
    reason: Optional[str]

class Palette(NamedTuple):
    entries: List[Entry]
    format: str

def nearest(r: int, g: int, b: int) -> Match: ...
def render(hue: int, saturation: int, brightness: int) -> Rendered: ...
def nearest_many(colours: Union[npt.ArrayLike, Sequence[Sequence[int]]], jobs: Optional[int] = ...) -> Matches: ...
def read_palette(path_or_text: Union[str, PathLike, bytes, bytearray, memoryview], find: bool = ..., vga: bool = ...) -> Palette: ...

class Light(NamedTuple):
    line: int
    actor: str
    class_name: str
    property: str
    hue: int
    saturation: int
    brightness: Union[int, str]
    rendered_hex: Optional[str]
    from_defaults: str
    defaults_of: str

class Lights(NamedTuple):
    lights: List[Light]
    reports: List[Tuple[int, str]]

class LightsWarning(UserWarning): ...

GAMES: Tuple[str, ...]
_Classes = Union[None, str, PathLike, Sequence[Union[str, PathLike]]]

def read_lights(path_or_text: Union[str, PathLike, bytes, bytearray, memoryview], game: Optional[str] = ..., classes: _Classes = ...) -> Lights: ...
@overload
def recolour_lights(text: str, colour: Union[None, str, Sequence[int]] = ..., keep_brightness: bool = ..., ambient: bool = ..., only: Optional[str] = ..., game: Optional[str] = ..., classes: _Classes = ..., triple: Optional[Sequence[int]] = ...) -> str: ...
@overload
def recolour_lights(text: Union[bytes, bytearray], colour: Union[None, str, Sequence[int]] = ..., keep_brightness: bool = ..., ambient: bool = ..., only: Optional[str] = ..., game: Optional[str] = ..., classes: _Classes = ..., triple: Optional[Sequence[int]] = ...) -> bytes: ...

def chart(brightness: Optional[int] = ..., saturation: Optional[int] = ..., hue_step: int = ..., step: int = ...) -> npt.NDArray[np.uint8]: ...
def lut(size: int = ..., jobs: Optional[int] = ...) -> npt.NDArray[np.float32]: ...
