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
