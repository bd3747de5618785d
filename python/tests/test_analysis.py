"""The numbers and tables of Python are those of the command line."""
import io
import json
import math
import subprocess

import numpy as np
import pandas as pd
import pytest

import tessel
from conftest import EXAMPLES, GOLDEN, GOLDEN_DIR, ids


def same(a, b):
    return (a is None and (b is None or (isinstance(b, float) and math.isnan(b)))) or a == b


@pytest.mark.parametrize("path", EXAMPLES, ids=ids(EXAMPLES))
def test_analyze_gives_the_numbers_of_the_command_line(path, cli):
    run = subprocess.run([cli, "analyze", str(path), "--json"], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    expected = json.loads(run.stdout)["measurements"]
    frame = tessel.analyze(path)
    assert (frame["file"] == str(path)).all()
    compared = 0
    for m in expected:
        for ch in m["channels"]:
            rows = frame[(frame["measurement"] == m["measurement"]) & (frame["channel"] == ch["channel"])]
            head = rows[rows["step"].isna()].iloc[0]
            assert head["from"] == ch["from"]
            assert same(ch.get("par"), head["PAR"])
            for g in ch["groups"]:
                assert head[g["name"]] == g["mean"]
            steps = rows[rows["step"].notna()]
            assert len(steps) == len(ch.get("steps", []))
            for (_, row), step in zip(steps.iterrows(), ch.get("steps", [])):
                assert all(same(v, row[k]) for k, v in step["parameters"].items())
                assert all(same(v, row[k]) for k, v in step["levels"].items())
            for name, value in ch["parameters"].items():
                assert same(value, head[name]), name
                compared += value is not None
    assert compared > 0


@pytest.mark.parametrize("path", EXAMPLES + GOLDEN, ids=ids(EXAMPLES + GOLDEN))
def test_to_pandas_is_the_long_export(path, cli, tmp_path):
    out = tmp_path / "long.csv"
    run = subprocess.run([cli, "export", str(path), "--format", "long", "--out", str(out)], capture_output=True)
    assert run.returncode == 0, run.stderr
    exp = tessel.read(path)
    assert exp.long_table().encode() == out.read_bytes()
    frame = exp.to_pandas()
    assert len(frame) == sum(len(ch) for m in exp.measurements for ch in m.channels)
    for m in exp.measurements:
        for ch in m.channels:
            rows = frame[(frame["measurement"] == m.number) & (frame["channel"] == ch.name)]
            # The table writes numbers without arithmetic noise.
            np.testing.assert_allclose(rows["t"], ch.t, rtol=1e-14, atol=1e-300)
            np.testing.assert_allclose(rows["value"], ch.values, rtol=1e-14, atol=1e-300)
            np.testing.assert_array_equal(rows["mark"], ch.marks)


def test_to_xarray_aligns_channels_on_their_times():
    xr = pytest.importorskip("xarray")
    exp = tessel.read(GOLDEN_DIR / "three.exp")  # three measurements, channel B of different lengths
    exp.measurements[0].metadata = {"leaf": "4"}
    ds = exp.to_xarray()
    assert isinstance(ds, xr.Dataset)
    assert list(ds["leaf"].values) == ["4", "", ""]
    for i, m in enumerate(exp.measurements):
        for ch in m.channels:
            row = ds[ch.name].isel(measurement=i)
            present = row.sel({f"time_{ch.name}": ch.t})
            np.testing.assert_array_equal(present, ch.values)
            assert int(row.notnull().sum()) == len(ch)


@pytest.mark.parametrize(
    "kwargs,error",
    [({"fit": "Cubic"}, ValueError), ({"ini": "/nonexistent/Tessel.ini"}, tessel.FileError)],
)
def test_analyze_refuses_bad_options(kwargs, error):
    with pytest.raises(error):
        tessel.analyze(EXAMPLES[0], **kwargs)
