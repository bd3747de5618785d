import os
from datetime import datetime
from typing import Dict, Iterable, List, Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt
import pandas
import xarray

PathLike = Union[str, os.PathLike[str]]

class TesselError(Exception):
    """An error of the program, with its own message."""

class FileError(TesselError):
    """An experiment file could not be read or written."""

class Channel:
    name: str
    @property
    def t(self) -> npt.NDArray[np.float64]: ...
    @property
    def raw(self) -> npt.NDArray[np.int16]: ...
    @property
    def values(self) -> npt.NDArray[np.float64]: ...
    @property
    def marks(self) -> npt.NDArray[np.object_]: ...
    @property
    def caption(self) -> str: ...
    signal_per_count: float
    multiplication: float
    shift: float
    def __len__(self) -> int: ...

class Measurement:
    a: Channel
    b: Channel
    @property
    def channels(self) -> Tuple[Channel, Channel]: ...
    @property
    def number(self) -> int: ...
    time: Optional[datetime]
    device_type: int
    @property
    def device(self) -> str: ...
    conditions: Dict[str, int]
    protocol: str
    variables: Dict[str, str]
    metadata: Dict[str, str]

class Experiment:
    title: str
    notes: str
    protocol: str
    def __init__(self) -> None: ...
    @property
    def path(self) -> str: ...
    @property
    def measurements(self) -> List[Measurement]: ...
    def __len__(self) -> int: ...
    def add_measurement(
        self,
        a: Tuple[Sequence[float], Sequence[int]],
        b: Tuple[Sequence[float], Sequence[int]] = ...,
        *,
        time: Optional[datetime] = ...,
        device_type: int = ...,
        protocol: str = ...,
        variables: Optional[Mapping[str, str]] = ...,
        metadata: Optional[Mapping[str, str]] = ...,
        conditions: Optional[Mapping[str, int]] = ...,
    ) -> Measurement: ...
    def remove_measurement(self, number: int) -> None: ...
    def long_table(self) -> str: ...
    def to_pandas(self) -> pandas.DataFrame: ...
    def to_xarray(self) -> xarray.Dataset: ...

def data_dir() -> str: ...
def read(path: PathLike) -> Experiment: ...
def write(experiment: Experiment, path: PathLike) -> None: ...
def analyze(
    experiments: Union[Experiment, PathLike, Iterable[Union[Experiment, PathLike]]],
    *,
    ini: Optional[PathLike] = ...,
    include: Optional[PathLike] = ...,
    fit: Optional[str] = ...,
) -> pandas.DataFrame: ...
