// Python objects that own exactly one core value, and the casts that let
// functions of several shapes sit in the interpreter's method tables.
#ifndef QUORVANE_BINDINGS_WRAPPED_H_
#define QUORVANE_BINDINGS_WRAPPED_H_

#include <new>
#include <utility>

#include "bindings/python.h"

namespace quorvane::py {

template <class T>
struct Wrapped {
  PyObject ob_base;  // what PyObject_HEAD declares
  T value;
};

template <class T>
T& value_of(PyObject* self) {
  return reinterpret_cast<Wrapped<T>*>(self)->value;
}

// A new object of `type` owning `value` (new reference, or null).
template <class T>
PyObject* wrap(PyTypeObject* type, T&& value) {
  using Value = std::decay_t<T>;
  PyObject* self = type->tp_alloc(type, 0);
  if (self == nullptr) return nullptr;
  new (&reinterpret_cast<Wrapped<Value>*>(self)->value) Value(std::forward<T>(value));
  return self;
}

// tp_dealloc for Wrapped<T>; heap-type instances own a reference to their type.
template <class T>
void dealloc_wrapped(PyObject* self) {
  value_of<T>(self).~T();
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

template <class F>
PyCFunction as_method(F* fn) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn));
}

template <class F>
void* as_slot(F* fn) {
  return reinterpret_cast<void*>(fn);
}

inline void* as_slot(const char* doc) {
  return const_cast<char*>(doc);
}

}  // namespace quorvane::py

#endif  // QUORVANE_BINDINGS_WRAPPED_H_
