#include "bindings/args.h"

#include "bindings/exceptions.h"

namespace quorvane::py {

namespace {

const char* was_or_were(Py_ssize_t given) {
  return given == 1 ? "was" : "were";
}

bool too_many_positional(const Signature& sig, Py_ssize_t given) {
  const Py_ssize_t positional = sig.positional_count();
  if (sig.required >= positional) {
    PyErr_Format(PyExc_TypeError, "%s takes %zd positional arguments but %zd %s given",
                 sig.full_name, positional, given, was_or_were(given));
  } else {
    PyErr_Format(PyExc_TypeError, "%s takes from %zd to %zd positional arguments but %zd %s given",
                 sig.full_name, sig.required, positional, given, was_or_were(given));
  }
  return false;
}

bool bind_keyword(const Signature& sig, PyObject* name, PyObject* value, PyObject** out) {
  if (!PyUnicode_Check(name)) {
    PyErr_Format(PyExc_TypeError, "%s keywords must be strings", sig.full_name);
    return false;
  }
  for (Py_ssize_t i = 0; i < sig.count; ++i) {
    if (PyUnicode_CompareWithASCIIString(name, sig.names[i]) != 0) continue;
    if (out[i] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", sig.full_name,
                   sig.names[i]);
      return false;
    }
    out[i] = value;
    return true;
  }
  PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", sig.full_name, name);
  return false;
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
std::string quoted_list(const std::vector<const char*>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      if (names.size() == 2) {
        out += " and ";
      } else {
        out += i + 1 == names.size() ? ", and " : ", ";
      }
    }
    out += '\'';
    out += names[i];
    out += '\'';
  }
  return out;
}

bool check_required(const Signature& sig, PyObject** out) {
  std::vector<const char*> missing;
  for (Py_ssize_t i = 0; i < sig.required; ++i) {
    if (out[i] == nullptr) missing.push_back(sig.names[i]);
  }
  if (missing.empty()) return true;
  PyErr_Format(PyExc_TypeError, "%s missing %zd required positional %s: %s", sig.full_name,
               static_cast<Py_ssize_t>(missing.size()),
               missing.size() == 1 ? "argument" : "arguments", quoted_list(missing).c_str());
  return false;
}

bool bind_positional(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                     PyObject** out) {
  if (nargs > sig.positional_count()) return too_many_positional(sig, nargs);
  for (Py_ssize_t i = 0; i < sig.count; ++i) out[i] = i < nargs ? args[i] : nullptr;
  return true;
}

}  // namespace

bool bind_vector(const Signature& sig, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames,
                 PyObject** out) {
  Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
  if (kwnames == nullptr && nargs == sig.count && sig.positional < 0) {
    for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
    return true;
  }
  if (!bind_positional(sig, args, nargs, out)) return false;
  if (kwnames != nullptr) {
    Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      if (!bind_keyword(sig, PyTuple_GET_ITEM(kwnames, k), args[nargs + k], out)) return false;
    }
  }
  return check_required(sig, out);
}

bool bind_tuple(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out) {
  if (!bind_positional(sig, PySequence_Fast_ITEMS(args), PyTuple_GET_SIZE(args), out)) {
    return false;
  }
  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject *name, *value;
    while (PyDict_Next(kwargs, &pos, &name, &value)) {
      if (!bind_keyword(sig, name, value, out)) return false;
    }
  }
  return check_required(sig, out);
}

bool to_language(PyObject* obj, Language* out) {
  if (obj == nullptr) {
    *out = Language::Subset;
    return true;
  }
  if (!PyUnicode_Check(obj)) {
    raise_cast_error(obj, "str", "language");
    return false;
  }
  std::string_view name;
  if (!to_text(obj, "language", &name)) return false;
  if (std::optional<Language> language = language_from_name(name)) {
    *out = *language;
    return true;
  }
  PyErr_Format(PyExc_ValueError, "language must be 'subset' or 'extended', not %R", obj);
  return false;
}

void raise_cast_error(PyObject* obj, const char* expected, const char* arg) {
  PyObject* type_name = PyType_GetQualName(Py_TYPE(obj));
  if (type_name == nullptr) {
    PyErr_Clear();
    type_name = PyUnicode_FromString("<failed to extract type name>");
    if (type_name == nullptr) return;
  }
  if (arg != nullptr) {
    PyErr_Format(PyExc_TypeError, "argument '%s': '%U' object cannot be cast as '%s'", arg,
                 type_name, expected);
  } else {
    PyErr_Format(PyExc_TypeError, "'%U' object cannot be cast as '%s'", type_name, expected);
  }
  Py_DECREF(type_name);
}

void prefix_type_error(const char* arg) {
  if (arg == nullptr) return;
  PyObject* exc = take_exception();
  if (exc == nullptr) return;
  if (!Py_IS_TYPE(exc, reinterpret_cast<PyTypeObject*>(PyExc_TypeError))) {
    restore_exception(exc);
    return;
  }
  PyObject* replacement = nullptr;
  if (PyObject* text = PyObject_Str(exc)) {
    replacement = PyObject_CallFunction(PyExc_TypeError, "N",
                                        PyUnicode_FromFormat("argument '%s': %U", arg, text));
    Py_DECREF(text);
  }
  if (replacement == nullptr) {
    // Keep the original rather than report a failure to rephrase it.
    PyErr_Clear();
    restore_exception(exc);
    return;
  }
  PyException_SetCause(replacement, PyException_GetCause(exc));
  Py_DECREF(exc);
  restore_exception(replacement);
}

bool to_text(PyObject* obj, const char* arg, std::string_view* out) {
  if (!PyUnicode_Check(obj)) {
    raise_cast_error(obj, "str", arg);
    return false;
  }
  Py_ssize_t size;
  const char* data = PyUnicode_AsUTF8AndSize(obj, &size);
  if (data == nullptr) return false;
  *out = std::string_view(data, static_cast<size_t>(size));
  return true;
}

bool check_dict(PyObject* obj, const char* arg) {
  if (PyDict_Check(obj)) return true;
  raise_cast_error(obj, "dict", arg);
  return false;
}

bool check_instance(PyObject* obj, PyTypeObject* type, const char* expected, const char* arg) {
  if (PyObject_TypeCheck(obj, type)) return true;
  raise_cast_error(obj, expected, arg);
  return false;
}

bool for_each_text(PyObject* obj, const char* arg, void (*sink)(void*, std::string_view),
                   void* context) {
  if (PyUnicode_Check(obj)) {
    if (arg != nullptr) {
      PyErr_Format(PyExc_TypeError, "argument '%s': a 'str' is not accepted as a list of strings",
                   arg);
    } else {
      PyErr_SetString(PyExc_TypeError, "a 'str' is not accepted as a list of strings");
    }
    return false;
  }
  if (!PySequence_Check(obj)) {
    raise_cast_error(obj, "Sequence", arg);
    return false;
  }
  std::string_view text;
  if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) {
    // Converting an item runs no Python code, but the size is re-read anyway.
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(obj); ++i) {
      if (!to_text(PySequence_Fast_GET_ITEM(obj, i), arg, &text)) return false;
      sink(context, text);
    }
    return true;
  }
  PyObject* iterator = PyObject_GetIter(obj);
  if (iterator == nullptr) {
    prefix_type_error(arg);
    return false;
  }
  bool ok = true;
  while (PyObject* item = PyIter_Next(iterator)) {
    ok = to_text(item, arg, &text);
    if (ok) sink(context, text);
    Py_DECREF(item);
    if (!ok) break;
  }
  Py_DECREF(iterator);
  if (ok && PyErr_Occurred()) {
    prefix_type_error(arg);
    ok = false;
  }
  return ok;
}

bool to_text_list(PyObject* obj, const char* arg, std::vector<std::string>* out) {
  out->clear();
  return for_each_text(obj, arg, [out](std::string_view text) { out->emplace_back(text); });
}

bool to_optional_u64(PyObject* obj, const char* arg, std::optional<uint64_t>* out) {
  if (obj == nullptr || obj == Py_None) {
    out->reset();
    return true;
  }
  PyObject* index = PyNumber_Index(obj);
  if (index == nullptr) {
    prefix_type_error(arg);
    return false;
  }
  unsigned long long value = PyLong_AsUnsignedLongLong(index);
  Py_DECREF(index);
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    prefix_type_error(arg);
    return false;
  }
  *out = static_cast<uint64_t>(value);
  return true;
}

}  // namespace quorvane::py
