// The module's initialisation: PyInit__quorvane, the only exported symbol.
//
// A single-phase module that refuses sub-interpreters: the classes and the
// worker pool are process-wide, so the module lives in the interpreter that
// first imports it and every later import there gets the same module object.
#include <atomic>
#include <cstdint>

#include "bindings/classes.h"
#include "bindings/internal_failure.h"

namespace quorvane::py {

PyTypeObject* create_class(PyType_Spec* spec) {
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(spec));
}

namespace {

PyModuleDef kModuleDef = {
    PyModuleDef_HEAD_INIT,
    "_quorvane",  // m_name
    "",           // m_doc
    0,            // m_size: no per-module state
    nullptr,      // m_methods: parse_query is added as an attribute instead
    nullptr,      // m_slots: single-phase
    nullptr,      // m_traverse
    nullptr,      // m_clear
    nullptr,      // m_free
};

struct ClassEntry {
  const char* name;
  PyTypeObject* (*get)();
};

// Registration order is part of the interface.
const ClassEntry kClasses[] = {
    {"Schema", schema_type},
    {"CypherValidator", validator_type},
    {"ValidationResult", validation_result_type},
    {"CypherGenerator", generator_type},
    {"QueryInfo", query_info_type},
};

std::atomic<int64_t> first_interpreter{-1};
PyObject* the_module = nullptr;  // kept for the life of the process

bool register_names(PyObject* module) {
  for (const ClassEntry& entry : kClasses) {
    PyTypeObject* type = entry.get();
    if (type == nullptr) return false;
    if (PyModule_AddObjectRef(module, entry.name, reinterpret_cast<PyObject*>(type)) < 0) {
      return false;
    }
  }
  PyObject* parse_query = new_parse_query_function(module);
  if (parse_query == nullptr) return false;
  int rc = PyModule_AddObjectRef(module, "parse_query", parse_query);
  Py_DECREF(parse_query);
  return rc == 0;
}

PyObject* init_module() {
  int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id == -1) {
    if (!PyErr_Occurred()) {
      PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
    }
    return nullptr;
  }
  int64_t expected = -1;
  if (!first_interpreter.compare_exchange_strong(expected, id) && expected != id) {
    PyErr_SetString(PyExc_ImportError,
                    "_quorvane does not support sub-interpreters: it can only be imported in the "
                    "interpreter that imported it first");
    return nullptr;
  }
  if (the_module != nullptr) {
    Py_INCREF(the_module);
    return the_module;
  }
  PyObject* module = PyModule_Create(&kModuleDef);
  if (module == nullptr) return nullptr;
  if (!register_names(module)) {
    Py_DECREF(module);
    return nullptr;
  }
  Py_INCREF(module);
  the_module = module;
  return module;
}

}  // namespace

}  // namespace quorvane::py

PyMODINIT_FUNC PyInit__quorvane() {
  return quorvane::py::guarded<PyObject*>(nullptr, [] { return quorvane::py::init_module(); });
}
