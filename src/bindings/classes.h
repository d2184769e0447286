// The Python classes of the module and how the units reach each other's.
//
// Each class is a heap type made from a PyType_Spec on first use and
// kept for the life of the process. Its name is qualified "builtins." so the
// interpreter reports "builtins" as its __module__. Every getter returns a
// borrowed reference, or null with an exception set if creating the class
// failed.
#ifndef QUORVANE_BINDINGS_CLASSES_H_
#define QUORVANE_BINDINGS_CLASSES_H_

#include <vector>

#include "bindings/python.h"
#include "schema/schema.h"
#include "validator/cypher_validator.h"

namespace quorvane::py {

PyTypeObject* schema_type();
PyTypeObject* validator_type();
PyTypeObject* validation_result_type();
PyTypeObject* generator_type();
PyTypeObject* query_info_type();
PyTypeObject* diagnostic_type();
PyTypeObject* edit_type();
PyTypeObject* fix_result_type();

PyObject* new_diagnostic_list(const std::vector<Diagnostic>& diagnostics);
bool to_diagnostic_list(PyObject* list, std::vector<Diagnostic>* out);
PyObject* new_fix_result(FixOutcome&& outcome);
PyObject* restore_diagnostic(PyObject* module, PyObject* args);
PyObject* restore_edit(PyObject* module, PyObject* args);
PyObject* rule_table_function(PyObject* module, PyObject* unused);

// The module-level parse_query function, bound to `module` (new reference).
PyObject* new_parse_query_function(PyObject* module);

// The value inside a Schema object (which must be one).
const Schema& schema_value(PyObject* schema);

// A new Schema object holding a copy of `schema` (new reference).
PyObject* new_schema_object(const Schema& schema);

// Pickling. Each class's __reduce__ names a module-level function of
// _quorvane that rebuilds the object from plain values; the classes
// themselves cannot be found by name, since they report "builtins" as their
// module. These are those functions, in the METH_FASTCALL | METH_KEYWORDS
// shape, registered as "_restore_schema" and so on.
PyObject* restore_schema(PyObject* module, PyObject* const* args, Py_ssize_t nargsf,
                         PyObject* kwnames);
PyObject* restore_validator(PyObject* module, PyObject* const* args, Py_ssize_t nargsf,
                            PyObject* kwnames);
PyObject* restore_validation_result(PyObject* module, PyObject* const* args, Py_ssize_t nargsf,
                                    PyObject* kwnames);
PyObject* restore_generator(PyObject* module, PyObject* const* args, Py_ssize_t nargsf,
                            PyObject* kwnames);
PyObject* restore_query_info(PyObject* module, PyObject* const* args, Py_ssize_t nargsf,
                             PyObject* kwnames);

// The restoring function registered as `name` (new reference, or null with
// an exception set), for __reduce__ to name.
PyObject* module_function(const char* name);

// Creates a class from its PyType_Spec (new reference, or null).
PyTypeObject* create_class(PyType_Spec* spec);

}  // namespace quorvane::py

#endif  // QUORVANE_BINDINGS_CLASSES_H_
