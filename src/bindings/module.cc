// The module's initialisation: PyInit__quorvane, the only exported symbol.
//
// A single-phase module that refuses sub-interpreters: the classes and the
// worker pool are process-wide, so the module lives in the interpreter that
// first imports it and every later import there gets the same module object.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "bindings/classes.h"
#include "bindings/internal_failure.h"
#include "bindings/wrapped.h"

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
    {"Diagnostic", diagnostic_type},
    {"Edit", edit_type},
    {"FixResult", fix_result_type},
};

std::atomic<int64_t> first_interpreter{-1};
PyObject* the_module = nullptr;  // kept for the life of the process

// Registered after the public names; see classes.h.
PyMethodDef kRestoreDefs[] = {
    {"_restore_schema", as_method(restore_schema), METH_FASTCALL | METH_KEYWORDS,
     "_restore_schema(d)\n--\n\nRebuild a pickled Schema."},
    {"_restore_validator", as_method(restore_validator), METH_FASTCALL | METH_KEYWORDS,
     "_restore_validator(schema, language='subset')\n--\n\nRebuild a pickled CypherValidator."},
    {"_restore_validation_result", as_method(restore_validation_result),
     METH_FASTCALL | METH_KEYWORDS,
     "_restore_validation_result(syntax_errors, semantic_errors, warnings=[], diagnostics=[])"
     "\n--\n\nRebuild a pickled ValidationResult."},
    {"_restore_generator", as_method(restore_generator), METH_FASTCALL | METH_KEYWORDS,
     "_restore_generator(schema, state)\n--\n\nRebuild a pickled CypherGenerator."},
    {"_restore_query_info", as_method(restore_query_info), METH_FASTCALL | METH_KEYWORDS,
     "_restore_query_info(is_valid, labels_used, rel_types_used, properties_used, errors)\n--\n\n"
     "Rebuild a pickled QueryInfo."},
    {"_restore_diagnostic", as_method(restore_diagnostic), METH_VARARGS,
     "Rebuild a pickled Diagnostic."},
    {"_restore_edit", as_method(restore_edit), METH_VARARGS, "Rebuild a pickled Edit."},
    {"_rule_table", as_method(rule_table_function), METH_NOARGS,
     "_rule_table()\n--\n\nEvery diagnostic code as (code, severity, summary, example, "
     "needs_schema)."},
};

constexpr size_t kRestoreCount = sizeof kRestoreDefs / sizeof kRestoreDefs[0];

// The function objects, kept for the life of the process like the module,
// so that pickling many objects looks up nothing.
PyObject* restore_functions[kRestoreCount] = {};

bool register_restore_functions(PyObject* module) {
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return false;
  bool ok = true;
  for (size_t i = 0; i < kRestoreCount && ok; ++i) {
    PyObject* function = PyCFunction_NewEx(&kRestoreDefs[i], module, module_name);
    ok = function != nullptr &&
         PyModule_AddObjectRef(module, kRestoreDefs[i].ml_name, function) == 0;
    if (ok) {
      restore_functions[i] = function;
    } else {
      Py_XDECREF(function);
    }
  }
  Py_DECREF(module_name);
  return ok;
}

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
  return rc == 0 && register_restore_functions(module);
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

PyObject* module_function(const char* name) {
  for (size_t i = 0; i < kRestoreCount; ++i) {
    if (restore_functions[i] != nullptr && std::strcmp(kRestoreDefs[i].ml_name, name) == 0) {
      return Py_NewRef(restore_functions[i]);
    }
  }
  PyErr_Format(PyExc_SystemError, "_quorvane has no function %s", name);
  return nullptr;
}

}  // namespace quorvane::py

PyMODINIT_FUNC PyInit__quorvane() {
  return quorvane::py::guarded<PyObject*>(nullptr, [] { return quorvane::py::init_module(); });
}
