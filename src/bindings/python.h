// The one place that includes the interpreter's C interface, so that the
// size-type setting precedes it in every unit.
#ifndef QUORVANE_BINDINGS_PYTHON_H_
#define QUORVANE_BINDINGS_PYTHON_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#endif  // QUORVANE_BINDINGS_PYTHON_H_
