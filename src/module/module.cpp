#include <Python.h>
PyMODINIT_FUNC PyInit_ardovel(void) { return nullptr; }
