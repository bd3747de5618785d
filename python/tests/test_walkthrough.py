"""The Python guide's walkthrough runs as written."""
import os
import re

import pytest

from conftest import ROOT


def test_walkthrough_runs(tmp_path, monkeypatch):
    pytest.importorskip("matplotlib")
    import matplotlib

    matplotlib.use("Agg")
    text = (ROOT / "docs" / "python.md").read_text(encoding="utf-8")
    walk = text[text.index("## A walkthrough") :]
    blocks = re.findall(r"^```python\n(.*?)^```", walk, flags=re.M | re.S)
    assert len(blocks) >= 5
    monkeypatch.chdir(tmp_path)
    scope = {"__name__": "walkthrough"}
    for code in blocks:
        exec(compile(code, "docs/python.md", "exec"), scope)
    for picture in ("trace.png", "fvfm.png"):
        assert os.path.getsize(picture) > 1000
