import subprocess
import sys
import textwrap

import pytest

import ardovel

FUNCTIONS = {
    "stem_py": ardovel.stem_py,
    "conservative_stem_py": ardovel.conservative_stem_py,
}


@pytest.fixture(params=sorted(FUNCTIONS))
def stem_function(request):
    """Each public function in turn, with its name (messages carry it)."""
    return request.param, FUNCTIONS[request.param]


def run_python(*sources, python=sys.executable, **options):
    """Runs the sources, each dedented, as one script in a new interpreter
    (this one unless `python` names another); text in, text out."""
    script = "\n".join(textwrap.dedent(source) for source in sources)
    return subprocess.run([str(python), "-c", script], capture_output=True, text=True, timeout=600, check=False,
                          **options)
