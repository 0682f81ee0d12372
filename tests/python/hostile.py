"""Objects that punish a module for calling their Python-level methods."""


class HostileStr(str):
    """A str subclass whose every Python-level method fails: the module must
    use its string value and never call any of them."""

    def __str__(self):
        raise AssertionError("__str__ called")

    def __repr__(self):
        raise AssertionError("__repr__ called")

    def __eq__(self, other):
        raise AssertionError("__eq__ called")

    def __hash__(self):
        raise AssertionError("__hash__ called")

    def __len__(self):
        raise AssertionError("__len__ called")

    def __iter__(self):
        raise AssertionError("__iter__ called")

    def encode(self, *args, **kwargs):
        raise AssertionError("encode called")

    def lower(self):
        raise AssertionError("lower called")


class RaisingStr(str):
    """A str subclass whose __str__ fails; hashable, so it can name a keyword."""

    def __str__(self):
        raise RuntimeError("no text for you")
