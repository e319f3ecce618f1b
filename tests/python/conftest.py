import os
import subprocess
import sys
import textwrap

import pytest


def run_python(code, timeout=120):
    """Runs code in a fresh interpreter that imports the same kelmora."""
    result = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)],
        capture_output=True,
        text=True,
        timeout=timeout,
        env=dict(os.environ),
    )
    return result


@pytest.fixture
def python_run():
    return run_python
