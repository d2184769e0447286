#include "bindings/internal_failure.h"

namespace quorvane::py {

namespace {

constexpr const char kGenericMessage[] = "internal failure in _quorvane";

}  // namespace

PyObject* internal_failure_type() {
  static PyObject* type = nullptr;
  if (type == nullptr) {
    type = PyErr_NewExceptionWithDoc(
        "_quorvane.InternalError",
        "Raised when _quorvane breaks one of its own invariants. It derives from\n"
        "BaseException so that handlers for Exception do not hide it.",
        PyExc_BaseException, nullptr);
    if (type == nullptr) Py_FatalError("quorvane: cannot create the internal-failure exception");
  }
  return type;
}

void raise_internal_failure(std::string_view message) {
  if (message.empty()) message = kGenericMessage;
  PyObject* type = internal_failure_type();
  PyObject* text =
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
  if (text == nullptr) Py_FatalError("quorvane: cannot report an internal failure");
  PyErr_SetObject(type, text);
  Py_DECREF(text);
}

}  // namespace quorvane::py
