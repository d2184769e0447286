// The module function parse_query and the Python class QueryInfo.
#include <string>
#include <vector>

#include "bindings/args.h"
#include "bindings/classes.h"
#include "bindings/debug_list.h"
#include "bindings/exceptions.h"
#include "bindings/internal_failure.h"
#include "bindings/values.h"
#include "bindings/wrapped.h"
#include "inspect/query_info.h"

namespace quorvane::py {

namespace {

const QueryInfo& self_info(PyObject* self) {
  return value_of<QueryInfo>(self);
}

PyObject* info_is_valid(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return PyBool_FromLong(self_info(self).is_valid); });
}

PyObject* info_labels_used(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_info(self).labels_used); });
}

PyObject* info_rel_types_used(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_info(self).rel_types_used); });
}

PyObject* info_properties_used(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_info(self).properties_used); });
}

PyObject* info_errors(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_info(self).errors); });
}

int info_bool(PyObject* self) {
  return guarded<int>(-1, [&] { return self_info(self).is_valid ? 1 : 0; });
}

PyObject* info_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const QueryInfo& info = self_info(self);
    return new_str(std::string("QueryInfo(is_valid=") + debug_bool(info.is_valid) + ", labels=" +
                   debug_list(info.labels_used) + ", rel_types=" + debug_list(info.rel_types_used) +
                   ", properties=" + debug_list(info.properties_used) +
                   ", errors=" + debug_list(info.errors) + ")");
  });
}

// Pickled as _restore_query_info(is_valid, labels_used, rel_types_used,
// properties_used, errors).
PyObject* info_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const QueryInfo& info = self_info(self);
    PyObject* restore = module_function("_restore_query_info");
    if (restore == nullptr) return nullptr;
    return Py_BuildValue("(N(NNNNN))", restore, PyBool_FromLong(info.is_valid),
                         new_str_list(info.labels_used), new_str_list(info.rel_types_used),
                         new_str_list(info.properties_used), new_str_list(info.errors));
  });
}

PyMethodDef kInfoMethods[] = {
    {"__reduce__", as_method(info_reduce), METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kInfoGetSet[] = {
    {"is_valid", info_is_valid, nullptr, "True if the query is syntactically valid.", nullptr},
    {"labels_used", info_labels_used, nullptr, "Node labels referenced in the query.", nullptr},
    {"rel_types_used", info_rel_types_used, nullptr, "Relationship types referenced in the query.",
     nullptr},
    {"properties_used", info_properties_used, nullptr,
     "Property keys accessed in the query (e.g. ``[\"name\", \"age\"]``).", nullptr},
    {"errors", info_errors, nullptr, "Syntax error messages (empty if valid).", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot kInfoSlots[] = {
    {Py_tp_dealloc, as_slot(dealloc_wrapped<QueryInfo>)},
    {Py_tp_repr, as_slot(info_repr)},
    {Py_tp_getset, kInfoGetSet},
    {Py_tp_methods, kInfoMethods},
    {Py_nb_bool, as_slot(info_bool)},
    {0, nullptr},
};

PyType_Spec kInfoSpec = {
    "builtins.QueryInfo", sizeof(Wrapped<QueryInfo>), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION, kInfoSlots};

PyObject* parse_query(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"query", "language"};
    static const Signature kSig{"parse_query()", kNames, 2, 1, 1};
    PyObject* bound[2];
    std::string_view text;
    if (!bind_vector(kSig, args, nargsf, kwnames, bound)) return nullptr;
    if (!to_text(bound[0], "query", &text)) return nullptr;
    Language language;
    if (!to_language(bound[1], &language)) return nullptr;
    PyTypeObject* info_class = query_info_type();
    if (info_class == nullptr) return nullptr;
    return wrap(info_class, inspect_query(text, language));
  });
}

PyMethodDef kParseQueryDef = {
    "parse_query", as_method(parse_query), METH_FASTCALL | METH_KEYWORDS,
    "parse_query(query, *, language='subset')\n--\n\nParse a Cypher query and return structural "
    "information without requiring a schema. ``language`` selects the Cypher the query is read "
    "as: ``\"subset\"`` (the default) or ``\"extended\"``, which also lists the names used "
    "inside subqueries, predicates and every other clause.\n\nExample::\n\n    info = parse_query(\"MATCH "
    "(p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name\")\n    info.is_valid        # True\n    "
    "info.labels_used     # [\"Movie\", \"Person\"]\n    info.rel_types_used  # [\"ACTED_IN\"]\n  "
    "  info.properties_used # [\"name\"]"};

}  // namespace

PyTypeObject* query_info_type() {
  static PyTypeObject* type = nullptr;
  if (type == nullptr) type = create_class(&kInfoSpec);
  return type;
}

namespace {

// Each name list sorted by its UTF-8 bytes without repeats, as inspection
// makes them.
bool name_list(PyObject* obj, const char* arg, std::vector<std::string>* out) {
  if (!to_text_list(obj, arg, out)) return false;
  for (size_t i = 1; i < out->size(); ++i) {
    if (!((*out)[i - 1] < (*out)[i])) {
      raise_message(PyExc_ValueError, std::string("not a pickled QueryInfo: '") + arg +
                                          "' must be sorted and without repeats");
      return false;
    }
  }
  return true;
}

}  // namespace

// Accepts only what parse_query can produce: a valid record without errors,
// or an invalid one with its one error and no names.
PyObject* restore_query_info(PyObject*, PyObject* const* args, Py_ssize_t nargsf,
                             PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"is_valid", "labels_used", "rel_types_used",
                                         "properties_used", "errors"};
    static const Signature kSig{"_restore_query_info()", kNames, 5, 5};
    PyObject* bound[5];
    if (!bind_vector(kSig, args, nargsf, kwnames, bound)) return nullptr;
    if (!PyBool_Check(bound[0])) {
      raise_cast_error(bound[0], "bool", "is_valid");
      return nullptr;
    }
    QueryInfo info;
    info.is_valid = bound[0] == Py_True;
    if (!name_list(bound[1], "labels_used", &info.labels_used) ||
        !name_list(bound[2], "rel_types_used", &info.rel_types_used) ||
        !name_list(bound[3], "properties_used", &info.properties_used) ||
        !to_text_list(bound[4], "errors", &info.errors)) {
      return nullptr;
    }
    const bool names = !info.labels_used.empty() || !info.rel_types_used.empty() ||
                       !info.properties_used.empty();
    if (info.is_valid ? !info.errors.empty() : (info.errors.size() != 1 || names)) {
      PyErr_SetString(PyExc_ValueError,
                      "not a pickled QueryInfo: a valid query has no errors, an invalid one "
                      "exactly one error and no names");
      return nullptr;
    }
    PyTypeObject* type = query_info_type();
    return type == nullptr ? nullptr : wrap(type, std::move(info));
  });
}

PyObject* new_parse_query_function(PyObject* module) {
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return nullptr;
  PyObject* function = PyCFunction_NewEx(&kParseQueryDef, module, module_name);
  Py_DECREF(module_name);
  return function;
}

}  // namespace quorvane::py
