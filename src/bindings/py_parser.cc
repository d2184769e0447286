// The module function parse_query and the Python class QueryInfo.
#include <string>

#include "bindings/args.h"
#include "bindings/classes.h"
#include "bindings/debug_list.h"
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

PyObject* new_parse_query_function(PyObject* module) {
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return nullptr;
  PyObject* function = PyCFunction_NewEx(&kParseQueryDef, module, module_name);
  Py_DECREF(module_name);
  return function;
}

}  // namespace quorvane::py
