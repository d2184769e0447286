// Taking and putting back the pending Python exception, the same way on
// every supported interpreter version.
#ifndef QUORVANE_BINDINGS_EXCEPTIONS_H_
#define QUORVANE_BINDINGS_EXCEPTIONS_H_

#include <string_view>

#include "bindings/python.h"

namespace quorvane::py {

// The pending exception as a normalised instance (new reference), clearing
// it; null if none is pending.
PyObject* take_exception();

// Makes `exc` (an exception instance; the reference is stolen) pending.
void restore_exception(PyObject* exc);

// Raises `type` with a message given as UTF-8.
void raise_message(PyObject* type, std::string_view message);

}  // namespace quorvane::py

#endif  // QUORVANE_BINDINGS_EXCEPTIONS_H_
