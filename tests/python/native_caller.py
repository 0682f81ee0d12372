"""Calling a function the way native code can: through PyObject_Vectorcall
with any objects as keyword names, which Python syntax never produces."""
import ctypes

_vectorcall = ctypes.pythonapi.PyObject_Vectorcall
_vectorcall.argtypes = [ctypes.py_object, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p]
_vectorcall.restype = ctypes.py_object


def vectorcall(function, args=(), kwnames=None, kwvalues=()):
    """function(*args, **dict(zip(kwnames, kwvalues))), except that the names
    go over as they are, without any check that they are str. With kwnames
    None the call passes NULL for them."""
    values = list(args) + list(kwvalues)
    array = (ctypes.py_object * max(1, len(values)))(*values)
    names = None if kwnames is None else tuple(kwnames)
    # The tuple and the array keep every object alive during the call.
    return _vectorcall(
        function,
        ctypes.cast(array, ctypes.c_void_p),
        len(args),
        None if names is None else id(names),
    )
