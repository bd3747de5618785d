import pathlib

import pytest

import tessel

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = sorted((ROOT / "resources" / "examples").glob("*.exp"))
GOLDEN_DIR = ROOT / "tests" / "data" / "golden"
GOLDEN = sorted(GOLDEN_DIR.glob("*.exp"))


def ids(paths):
    return [p.name for p in paths]


@pytest.fixture(scope="session")
def cli():
    """The tessel-cli beside the module's program folder."""
    path = pathlib.Path(tessel._tessel.program_dir()) / "tessel-cli"
    if not path.exists():
        pytest.fail(f"no tessel-cli at {path}")
    return path
