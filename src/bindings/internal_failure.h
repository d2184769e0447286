// The boundary for internal failures.
//
// Every Python entry point runs its body through guarded(). A C++ exception
// escaping the body means an internal invariant was broken; it becomes the
// exception class _quorvane.InternalError, which derives from BaseException
// (not Exception) so that ordinary `except Exception` handlers do not swallow
// it. The class is created on first need and is deliberately not an attribute
// of the module: callers cannot be expected to handle it, only to see it.
// Running out of memory is fatal, as is a failure while reporting a failure.
#ifndef QUORVANE_BINDINGS_INTERNAL_FAILURE_H_
#define QUORVANE_BINDINGS_INTERNAL_FAILURE_H_

#include <exception>
#include <new>
#include <string_view>

#include "bindings/python.h"

namespace quorvane::py {

// The exception class (borrowed reference; created on first call).
PyObject* internal_failure_type();

// Raises the internal-failure exception with `message` (a fixed generic text
// when empty).
void raise_internal_failure(std::string_view message);

template <class R, class F>
R guarded(R on_failure, F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    Py_FatalError("quorvane: out of memory");
  } catch (const std::exception& e) {
    raise_internal_failure(e.what());
  } catch (...) {
    raise_internal_failure({});
  }
  return on_failure;
}

}  // namespace quorvane::py

#endif  // QUORVANE_BINDINGS_INTERNAL_FAILURE_H_
