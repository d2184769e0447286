// New Python objects from core values. Each returns a new reference, or null
// with an exception set.
#ifndef QUORVANE_BINDINGS_VALUES_H_
#define QUORVANE_BINDINGS_VALUES_H_

#include <string>
#include <string_view>
#include <vector>

#include "bindings/python.h"

namespace quorvane::py {

PyObject* new_str(std::string_view text);

template <class Strings>
PyObject* new_str_list(const Strings& items) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
  if (list == nullptr) return nullptr;
  Py_ssize_t i = 0;
  for (const auto& item : items) {
    PyObject* str = new_str(item);
    if (str == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, i++, str);
  }
  return list;
}

}  // namespace quorvane::py

#endif  // QUORVANE_BINDINGS_VALUES_H_
