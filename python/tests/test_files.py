"""Reading and writing experiment files: round trips, damaged files, files
built in Python."""
import datetime
import gc
import random

import numpy as np
import pytest

import tessel
from conftest import EXAMPLES, GOLDEN, GOLDEN_DIR, ROOT, ids

CORPUS = sorted((ROOT / "fuzz" / "corpus" / "experiment_fuzz").glob("*"))


@pytest.mark.parametrize("path", GOLDEN + EXAMPLES, ids=ids(GOLDEN + EXAMPLES))
def test_write_of_what_was_read_gives_the_same_bytes(path, tmp_path):
    out = tmp_path / "copy.exp"
    tessel.write(tessel.read(path), out)
    assert out.read_bytes() == path.read_bytes()


def mutations():
    """Truncations and byte flips of the golden files and examples, with a
    fixed seed so that a failure can be repeated."""
    rnd = random.Random(29)
    for path in GOLDEN + EXAMPLES:
        data = path.read_bytes()
        for cut in (0, 10, 19, 20, 40, len(data) // 3, len(data) // 2, len(data) - 1):
            yield f"{path.name}-cut{cut}", data[:cut]
        for k in range(12):
            flipped = bytearray(data)
            for _ in range(1 + k % 3):
                flipped[rnd.randrange(19, len(data))] ^= 1 << rnd.randrange(8)
            yield f"{path.name}-flip{k}", bytes(flipped)


MUTATIONS = list(mutations())


@pytest.mark.parametrize(
    "name,data",
    [(p.name, p.read_bytes()) for p in CORPUS if p.is_file()] + MUTATIONS,
    ids=[p.name for p in CORPUS if p.is_file()] + [m[0] for m in MUTATIONS],
)
def test_damaged_file_raises_or_reads(name, data, tmp_path):
    path = tmp_path / "damaged.exp"
    path.write_bytes(data)
    try:
        exp = tessel.read(path)
    except tessel.FileError as e:
        assert str(e).endswith(str(path))
        return
    # What reads must be usable all the way through.
    for m in exp.measurements:
        for ch in m.channels:
            assert len(ch.t) == len(ch.raw) == len(ch.values) == len(ch)
    exp.long_table()


@pytest.mark.parametrize(
    "content,message",
    [
        (None, "File not found"),
        (b"not an experiment at all, longer than the magic", "Bad file format"),
        (b"QORVEN DATA FILE 97" + b"\x05\x00\x00\x00Other" + bytes(40), "Unsuported File Format"),
    ],
)
def test_read_errors_carry_the_program_message(tmp_path, content, message):
    path = tmp_path / "x.exp"
    if content is not None:
        path.write_bytes(content)
    with pytest.raises(tessel.FileError, match=message):
        tessel.read(path)


def test_built_in_python_reads_back_and_in_the_command_line(tmp_path, cli):
    import subprocess

    exp = tessel.Experiment()
    exp.title = "Leaves"
    exp.notes = "line 1\nline 2"
    when = datetime.datetime(2026, 5, 4, 10, 30, 15, 250000)
    t = np.arange(5) * 1e-3
    exp.add_measurement(
        (t, [1, 2, 3, -4, 32767]),
        (t[:2], [7, 8]),
        time=when,
        device_type=3,
        protocol="; nothing\nmeasure",
        variables={"Gain": "3"},
        metadata={"leaf": "1", "genotype": "wt"},
        conditions={"sens_a": 9, "offset_b": 200},
    )
    second = exp.add_measurement((t, [5] * 5), metadata={"leaf": "2"})
    second.a.signal_per_count = 1 / 3200
    second.a.multiplication = 2.0
    second.a.shift = 0.5
    path = tmp_path / "built.exp"
    tessel.write(exp, path)

    back = tessel.read(path)
    assert (back.title, back.notes, len(back)) == ("Leaves", "line 1\nline 2", 2)
    first, last = back.measurements
    assert first.time == when.replace(microsecond=250000)
    assert (first.device_type, first.protocol) == (3, "; nothing\nmeasure")
    assert first.variables == {"Gain": "3"}
    assert first.metadata == {"leaf": "1", "genotype": "wt"}
    assert (first.conditions["sens_a"], first.conditions["offset_b"]) == (9, 200)
    np.testing.assert_array_equal(first.a.raw, [1, 2, 3, -4, 32767])
    np.testing.assert_array_equal(first.b.t, t[:2])
    np.testing.assert_allclose(last.a.values, last.a.raw * last.a.signal_per_count * 2.0 + 0.5)

    info = subprocess.run([cli, "info", path, "--json"], capture_output=True, text=True)
    assert info.returncode == 0, info.stderr
    assert "Leaves" in info.stdout


def test_edits_and_removal(tmp_path):
    exp = tessel.read(GOLDEN_DIR / "three.exp")
    n = len(exp)
    keep = exp.measurements[-1]
    raw = keep.a.raw.copy()
    gone = exp.measurements[0]
    view = gone.a.raw
    exp.remove_measurement(1)
    assert len(exp) == n - 1 and keep.number == n - 1
    with pytest.raises(tessel.TesselError):
        gone.time
    view.sum()  # the view outlives its measurement
    keep.metadata = {"leaf": "7"}
    with pytest.raises(ValueError):
        keep.metadata = {"bad key": "x"}
    with pytest.raises(ValueError):
        keep.variables = {"meta:leaf": "x"}
    with pytest.raises(IndexError):
        exp.remove_measurement(n)
    tessel.write(exp, tmp_path / "e.exp")
    back = tessel.read(tmp_path / "e.exp").measurements[-1]
    assert back.metadata == {"leaf": "7"}
    np.testing.assert_array_equal(back.a.raw, raw)


def test_raw_view_keeps_its_experiment_alive():
    raw = tessel.read(EXAMPLES[0]).measurements[0].a.raw
    gc.collect()
    assert not raw.flags.writeable
    assert raw.dtype == np.int16 and raw.sum() != 0
