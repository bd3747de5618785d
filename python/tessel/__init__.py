"""Tessel experiment files and their analysis in Python.

    >>> import tessel
    >>> exp = tessel.read("FvFm.exp")
    >>> exp.measurements[0].a.values      # channel A as the graph shows it
    >>> exp.to_pandas()                   # one row per sample
    >>> tessel.analyze(exp)               # Fv/Fm, PhiPSII, NPQ ... per measurement

Reading, writing, the long table and the analysis are the program's own
(the same code as Tessel and tessel-cli); this package only shapes their
results for numpy, pandas and xarray.
"""

from __future__ import annotations

import io
import os
from datetime import datetime
from typing import Dict, Iterable, List, Mapping, Optional, Sequence, Tuple, Union

import numpy as np

from . import _tessel
from ._tessel import FileError, TesselError

__all__ = [
    "Channel",
    "Experiment",
    "FileError",
    "Measurement",
    "TesselError",
    "analyze",
    "data_dir",
    "read",
    "write",
]

PathLike = Union[str, "os.PathLike[str]"]


def _program_dir() -> str:
    """The folder of tessel-cli whose Tessel.ini, include folder and protocol
    language library the module uses: $TESSEL_PROGRAM_DIR, else the build
    tree's bin beside python/, else the installed bin."""
    env = os.environ.get("TESSEL_PROGRAM_DIR")
    if env:
        return env
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.path.normpath(os.path.join(here, "..", "..", "bin"))
    if os.path.isfile(os.path.join(build, "Tessel.ini")):
        return build
    return os.path.normpath(os.path.join(here, _tessel.INSTALLED_PROGRAM_DIR))


_tessel.set_program_dir(_program_dir())


def data_dir() -> str:
    """The folder of what ships with the program: examples/, protocols/,
    the include folder and Tessel.ini."""
    return _tessel.data_dir()


class Channel:
    """One detector channel of a measurement ("A" or "B").

    ``t`` is the time of each sample in seconds, ``raw`` the stored samples
    (a read-only view, no copy), ``values`` the samples as the graph shows
    them (the signal, ``raw`` times ``signal_per_count``, times
    ``multiplication`` plus ``shift``) and ``marks``
    the mark the protocol gives each sample ("" where none).
    """

    def __init__(self, measurement: "Measurement", index: int):
        self._measurement = measurement
        self._core = measurement._core.channel(index)
        self.name = "AB"[index]

    @property
    def t(self) -> np.ndarray:
        """Time of each sample in s."""
        return self._core.t

    @property
    def raw(self) -> np.ndarray:
        """The stored 16-bit samples (read-only)."""
        return self._core.raw

    @property
    def values(self) -> np.ndarray:
        """The samples as the graph shows them."""
        return self._core.values

    @property
    def marks(self) -> np.ndarray:
        """The protocol's mark of each sample ("Fo", "Fm", ...; "" where none)."""
        marks = self._measurement._marks()[self.name == "B"]
        out = np.full(len(self), "", dtype=object)
        out[: len(marks)] = marks[: len(out)]
        return out

    @property
    def caption(self) -> str:
        return self._core.caption

    @property
    def signal_per_count(self) -> float:
        """The signal in V of one stored count (the instrument's A/D step)."""
        return self._core.signal_per_count

    @signal_per_count.setter
    def signal_per_count(self, value: float) -> None:
        self._core.signal_per_count = value

    @property
    def multiplication(self) -> float:
        """The channel's Multiplication, applied to the signal."""
        return self._core.multiplication

    @multiplication.setter
    def multiplication(self, value: float) -> None:
        self._core.multiplication = value

    @property
    def shift(self) -> float:
        """The channel's YShift, added last."""
        return self._core.shift

    @shift.setter
    def shift(self, value: float) -> None:
        self._core.shift = value

    def __len__(self) -> int:
        return self._core.count

    def __repr__(self) -> str:
        return f"<tessel.Channel {self.name}: {len(self)} samples>"


class Measurement:
    """A completed measurement: when and on what it was taken, its protocol
    and variables as they were, its metadata and channels A and B."""

    def __init__(self, core):
        self._core = core
        self.a = Channel(self, 0)
        self.b = Channel(self, 1)

    @property
    def channels(self) -> Tuple[Channel, Channel]:
        return (self.a, self.b)

    @property
    def number(self) -> int:
        """1 for the oldest measurement of the experiment."""
        return self._core.number

    @property
    def time(self) -> Optional[datetime]:
        """When it was measured (the instrument's local time, naive)."""
        return self._core.time

    @time.setter
    def time(self, value: datetime) -> None:
        self._core.time = value

    @property
    def device_type(self) -> int:
        return self._core.device_type

    @device_type.setter
    def device_type(self, value: int) -> None:
        self._core.device_type = value

    @property
    def device(self) -> str:
        """The instrument type's name, "?" for an unknown number."""
        return self._core.device

    @property
    def conditions(self) -> Dict[str, int]:
        """Sensitivity, gain and offset of each channel and the log-x flag."""
        return self._core.conditions

    @conditions.setter
    def conditions(self, value: Mapping[str, int]) -> None:
        self._core.conditions = dict(value)

    @property
    def protocol(self) -> str:
        """The protocol text it was measured with."""
        return self._core.protocol

    @protocol.setter
    def protocol(self, text: str) -> None:
        self._core.protocol = text

    @property
    def variables(self) -> Dict[str, str]:
        """The protocol's variables and their values (without the metadata)."""
        return self._core.variables

    @variables.setter
    def variables(self, value: Mapping[str, str]) -> None:
        self._core.variables = [(str(k), str(v)) for k, v in value.items()]

    @property
    def metadata(self) -> Dict[str, str]:
        """What identifies the sample: "title", "note" and the user's keys
        (leaf, genotype, ...), in the order stored."""
        return dict(self._core.metadata)

    @metadata.setter
    def metadata(self, value: Mapping[str, str]) -> None:
        self._core.metadata = [(str(k), str(v)) for k, v in value.items()]

    def _marks(self) -> List[List[str]]:
        return self._core.marks()

    def __repr__(self) -> str:
        return f"<tessel.Measurement {self.number} of {self.time} on {self.device}>"


class Experiment:
    """An experiment: title, notes, protocol and the measurements, oldest
    first (``measurements[0]`` is measurement 1).

    ``Experiment()`` starts an empty one; ``add_measurement`` fills it.
    """

    def __init__(self, _core=None):
        self._core = _core if _core is not None else _tessel.ExperimentCore()

    @property
    def title(self) -> str:
        return self._core.title

    @title.setter
    def title(self, value: str) -> None:
        self._core.title = value

    @property
    def notes(self) -> str:
        """The description, lines joined with newlines."""
        return self._core.notes

    @notes.setter
    def notes(self, value: str) -> None:
        self._core.notes = value

    @property
    def protocol(self) -> str:
        """The experiment's protocol text (each measurement keeps its own)."""
        return self._core.protocol

    @protocol.setter
    def protocol(self, value: str) -> None:
        self._core.protocol = value

    @property
    def path(self) -> str:
        """The file it was read from ("" for a new one)."""
        return self._core.path

    @property
    def measurements(self) -> List[Measurement]:
        return [Measurement(self._core.measurement(n)) for n in range(1, self._core.count + 1)]

    def __len__(self) -> int:
        return self._core.count

    def __repr__(self) -> str:
        return f"<tessel.Experiment {self.title!r}: {len(self)} measurements>"

    def add_measurement(
        self,
        a: Tuple[Sequence[float], Sequence[int]],
        b: Tuple[Sequence[float], Sequence[int]] = ((), ()),
        *,
        time: Optional[datetime] = None,
        device_type: int = 0,
        protocol: str = "",
        variables: Optional[Mapping[str, str]] = None,
        metadata: Optional[Mapping[str, str]] = None,
        conditions: Optional[Mapping[str, int]] = None,
    ) -> Measurement:
        """Adds a measurement from (t in s, raw 16-bit samples) of each
        channel; ``time`` defaults to now. Returns it (the newest)."""
        core = self._core.add(
            np.asarray(a[0], dtype=np.float64),
            np.asarray(a[1], dtype=np.int16),
            np.asarray(b[0], dtype=np.float64),
            np.asarray(b[1], dtype=np.int16),
            time,
            device_type,
            protocol,
        )
        m = Measurement(core)
        if variables:
            m.variables = variables
        if metadata:
            m.metadata = metadata
        if conditions:
            m.conditions = conditions
        return m

    def remove_measurement(self, number: int) -> None:
        """Drops measurement ``number`` (1 = the oldest); the others keep
        their data, the numbers after it move down."""
        self._core.remove(number)

    def long_table(self) -> str:
        """The tidy long table as CSV text, as tessel-cli export --format long writes it."""
        return self._core.long_table()

    def to_pandas(self):
        """The tidy long table of ``tessel-cli export --format long``: one
        row per sample with measurement, measured, the metadata columns,
        channel, t (s), value and mark."""
        import pandas as pd

        text = self.long_table()
        lines = text.split("\r\n")
        skip = next(i for i, line in enumerate(lines) if not line.startswith("#"))
        head = pd.read_csv(io.StringIO(lines[skip]), nrows=0).columns
        text_columns = [c for c in head if c not in ("measurement", "t", "value")]
        frame = pd.read_csv(
            io.StringIO(text),
            skiprows=skip,
            dtype={c: str for c in text_columns},
            keep_default_na=False,
            float_precision="round_trip",
        )
        frame["measured"] = pd.to_datetime(frame["measured"], errors="coerce")
        return frame

    def to_xarray(self):
        """A Dataset with the values of each channel over (measurement,
        time_A) and (measurement, time_B), NaN where a measurement has no
        sample at that time, its marks beside them, and the measurement's
        number, date-time, device and metadata as coordinates."""
        import xarray as xr

        ms = self.measurements
        keys: List[str] = []
        for m in ms:
            keys += [k for k in m.metadata if k not in keys]
        coords = {
            "measurement": [m.number for m in ms],
            "measured": ("measurement", np.array([m.time for m in ms], dtype="datetime64[ms]")),
            "device": ("measurement", [m.device for m in ms]),
        }
        for k in keys:
            name = k if k not in coords and k not in ("A", "B") else "meta:" + k
            coords[name] = ("measurement", [m.metadata.get(k, "") for m in ms])
        data = {}
        for c, name in enumerate("AB"):
            channels = [m.channels[c] for m in ms]
            times = [ch.t for ch in channels]
            grid = np.unique(np.concatenate(times)) if times else np.array([])
            values = np.full((len(ms), len(grid)), np.nan)
            marks = np.full((len(ms), len(grid)), "", dtype=object)
            dim = f"time_{name}"
            for i, (ch, t) in enumerate(zip(channels, times)):
                at = np.searchsorted(grid, t)
                values[i, at] = ch.values
                marks[i, at] = ch.marks
            coords[dim] = (dim, grid, {"units": "s"})
            data[name] = (("measurement", dim), values)
            data[f"mark_{name}"] = (("measurement", dim), marks)
        return xr.Dataset(data, coords=coords, attrs={"title": self.title, "notes": self.notes})


def read(path: PathLike) -> Experiment:
    """Reads an experiment file (.exp). A damaged or foreign file raises
    FileError with the program's message."""
    return Experiment(_tessel.read(os.fspath(path)))


def write(experiment: Experiment, path: PathLike) -> None:
    """Writes the experiment in the program's format. The file is replaced
    only once it has been written completely."""
    _tessel.write(experiment._core, os.fspath(path))


def analyze(
    experiments: Union[Experiment, PathLike, Iterable[Union[Experiment, PathLike]]],
    *,
    ini: Optional[PathLike] = None,
    include: Optional[PathLike] = None,
    fit: Optional[str] = None,
):
    """The fluorescence parameters of every measurement, as tessel-cli
    analyze --csv gives them: one row per measurement and channel (step
    empty), then one per flash of a series. ``fit`` chooses the light-curve
    model (Platt, EilersPeeters, JassbyPlatt); ``ini`` and ``include`` the
    configuration and include folder in place of the program's."""
    import pandas as pd

    if isinstance(experiments, (Experiment, str, os.PathLike)):
        experiments = [experiments]
    cores = [(e if isinstance(e, Experiment) else read(e))._core for e in experiments]
    text = _tessel.analysis_table(
        cores,
        os.fspath(ini) if ini else "",
        os.fspath(include) if include else "",
        fit or "",
    )
    head = pd.read_csv(io.StringIO(text.split("\r\n", 1)[0]), nrows=0).columns
    text_columns = list(head[: list(head).index("from") + 1])
    text_columns.remove("measurement")
    text_columns.remove("step")
    text_columns.remove("time")
    frame = pd.read_csv(
        io.StringIO(text),
        dtype={c: str for c in text_columns},
        keep_default_na=False,
        na_values={c: [""] for c in head if c not in text_columns},
        float_precision="round_trip",
    )
    frame["measured"] = pd.to_datetime(frame["measured"], errors="coerce")
    frame["step"] = frame["step"].astype("Int64")
    return frame
