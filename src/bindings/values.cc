#include "bindings/values.h"

namespace quorvane::py {

PyObject* new_str(std::string_view text) {
  // Core strings are always UTF-8 that came from Python or from the query.
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
}

}  // namespace quorvane::py
