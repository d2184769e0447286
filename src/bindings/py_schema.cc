// The Python Schema class: built from two dicts (or one combined dict),
// exported back to that form, queried with the core lookups, and pickled
// through that form.
#include <optional>
#include <string>
#include <vector>

#include "bindings/args.h"
#include "bindings/classes.h"
#include "bindings/debug_list.h"
#include "bindings/exceptions.h"
#include "bindings/internal_failure.h"
#include "bindings/values.h"
#include "bindings/wrapped.h"

namespace quorvane::py {

namespace {

using PySchema = Wrapped<Schema>;

const Schema& self_schema(PyObject* self) {
  return value_of<Schema>(self);
}

// A strong reference for the duration of a scope.
class Ref {
 public:
  explicit Ref(PyObject* obj) : obj_(obj) { Py_XINCREF(obj_); }
  ~Ref() { Py_XDECREF(obj_); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;

 private:
  PyObject* obj_;
};

bool owned_text(PyObject* obj, const char* arg, std::string* out) {
  std::string_view view;
  if (!to_text(obj, arg, &view)) return false;
  out->assign(view);
  return true;
}

bool list_or_tuple(PyObject* value) {
  return PyList_Check(value) || PyTuple_Check(value);
}

// A property value: a list of names, or a dict of name to declared type (a
// str, or None for a key without one). Reading str keys and values runs no
// Python code, so the dict cannot change while it is walked.
bool property_value(PyObject* value, std::vector<std::string>* keys,
                    Schema::PropertyTypes* types) {
  if (!PyDict_Check(value)) return to_text_list(value, nullptr, keys);
  Py_ssize_t pos = 0;
  PyObject *key, *type;
  while (PyDict_Next(value, &pos, &key, &type)) {
    std::string name;
    if (!PyUnicode_Check(key) || !owned_text(key, nullptr, &name)) return false;
    if (type != Py_None) {
      std::string declared;
      if (!PyUnicode_Check(type) || !owned_text(type, nullptr, &declared)) return false;
      types->push_back({name, std::move(declared)});
    }
    keys->push_back(std::move(name));
  }
  return true;
}

// A relationship value in the three-element form: a tuple or a list of
// (source, target, property list). A list is what the tuple becomes after a
// round trip through JSON. The property list is held while it is read, since
// reading it may run code that changes the outer list.
bool relationship_value(PyObject* value, std::string* source, std::string* target,
                        std::vector<std::string>* properties, Schema::PropertyTypes* types) {
  if (!list_or_tuple(value) || PySequence_Fast_GET_SIZE(value) != 3) return false;
  PyObject** items = PySequence_Fast_ITEMS(value);
  if (!owned_text(items[0], nullptr, source) || !owned_text(items[1], nullptr, target)) {
    return false;
  }
  PyObject* listed = items[2];
  Ref hold(listed);
  return property_value(listed, properties, types);
}

// One endpoint pair: a list or tuple of two str.
bool endpoint_pair(PyObject* value, Schema::Endpoints* out) {
  if (!list_or_tuple(value) || PySequence_Fast_GET_SIZE(value) != 2) return false;
  PyObject** items = PySequence_Fast_ITEMS(value);
  if (!PyUnicode_Check(items[0]) || !PyUnicode_Check(items[1])) return false;
  return owned_text(items[0], nullptr, &out->source) &&
         owned_text(items[1], nullptr, &out->target);
}

// TypeError "{problem} relationship '{type}'{rest}".
bool raise_for_type(std::string_view problem, const std::string& type, std::string_view rest) {
  std::string message(problem);
  message += " relationship '";
  message += type;
  message += "'";
  message += rest;
  raise_message(PyExc_TypeError, message);
  return false;
}

constexpr std::string_view kPairsExpected =
    "Expected a non-empty list of (str, str) pairs, or None, for 'endpoints' of";
constexpr std::string_view kPairsExample = ", e.g. [('Person', 'Movie'), ('Company', 'Movie')]";

// The "endpoints" value of the mapping form: a non-empty list or tuple of
// pairs, or None for a type whose ends are not declared. Reading str items
// runs no Python code, so the sequence cannot change while it is walked.
bool endpoints_value(const std::string& type, PyObject* value,
                     std::vector<Schema::Endpoints>* out) {
  if (value == Py_None) return true;
  if (!list_or_tuple(value) || PySequence_Fast_GET_SIZE(value) == 0) {
    return raise_for_type(kPairsExpected, type, kPairsExample);
  }
  const Py_ssize_t size = PySequence_Fast_GET_SIZE(value);
  for (Py_ssize_t i = 0; i < size; ++i) {
    Schema::Endpoints pair;
    if (!endpoint_pair(PySequence_Fast_ITEMS(value)[i], &pair)) {
      PyErr_Clear();
      return raise_for_type("Expected (str, str) for endpoints[" + std::to_string(i) + "] of",
                            type, ", e.g. ('Person', 'Movie')");
    }
    out->push_back(std::move(pair));
  }
  return true;
}

// A relationship value in the mapping form:
// {"endpoints": [(source, target), ...], "properties": [...]}, the
// properties optional.
bool relationship_mapping(const std::string& type, PyObject* value,
                          std::vector<Schema::Endpoints>* endpoints,
                          std::vector<std::string>* properties, Schema::PropertyTypes* types) {
  PyObject* endpoints_item = nullptr;
  PyObject* properties_item = nullptr;
  Py_ssize_t pos = 0;
  PyObject *key, *item;
  while (PyDict_Next(value, &pos, &key, &item)) {
    if (PyUnicode_Check(key) && PyUnicode_CompareWithASCIIString(key, "endpoints") == 0) {
      endpoints_item = item;
    } else if (PyUnicode_Check(key) &&
               PyUnicode_CompareWithASCIIString(key, "properties") == 0) {
      properties_item = item;
    } else {
      Ref hold_key(key);  // its repr may run code that changes the dict
      PyObject* shown = PyObject_Repr(key);
      const char* text = shown ? PyUnicode_AsUTF8(shown) : nullptr;
      std::string problem = text ? std::string("Unknown key ") + text : std::string();
      Py_XDECREF(shown);
      if (text == nullptr) return false;
      return raise_for_type(problem + " for", type, "; expected 'endpoints' and 'properties'");
    }
  }
  if (endpoints_item == nullptr) {
    return raise_for_type("Missing 'endpoints' for", type,
                          ", e.g. {'endpoints': [('Person', 'Movie')], 'properties': ['role']}");
  }
  Ref hold_endpoints(endpoints_item), hold_properties(properties_item);
  if (!endpoints_value(type, endpoints_item, endpoints)) return false;
  if (properties_item != nullptr && !property_value(properties_item, properties, types)) {
    PyErr_Clear();
    return raise_for_type(PyDict_Check(properties_item)
                              ? "Expected dict[str, str | None] for 'properties' of"
                              : "Expected list[str] for 'properties' of",
                          type, "");
  }
  return true;
}

// A node label's value: its property list, or the mapping form
// {"properties": list or dict}. The dict's one value is held while it is read.
bool node_value(PyObject* value, std::vector<std::string>* keys, Schema::PropertyTypes* types) {
  if (!PyDict_Check(value)) return to_text_list(value, nullptr, keys);
  if (PyDict_Size(value) != 1) return false;
  PyObject* properties = PyDict_GetItemString(value, "properties");
  if (properties == nullptr) return false;
  Ref hold(properties);
  return property_value(properties, keys, types);
}

// Fills `out` from the two dicts, all of `nodes` before `relationships`. The
// entries are held while converting: iterating a property sequence can run
// Python code that changes the dict.
bool build_schema(PyObject* nodes, PyObject* relationships, Schema* out) {
  Py_ssize_t pos = 0;
  PyObject *key, *value;
  while (PyDict_Next(nodes, &pos, &key, &value)) {
    Ref hold_key(key), hold_value(value);
    std::string label;
    if (!owned_text(key, nullptr, &label)) return false;
    std::vector<std::string> properties;
    Schema::PropertyTypes types;
    if (!node_value(value, &properties, &types)) {
      PyErr_Clear();
      // The message of an untyped schema stays as it was.
      raise_message(PyExc_TypeError,
                    std::string(PyDict_Check(value)
                                    ? "Expected {'properties': dict[str, str | None]}"
                                    : "Expected list[str]") +
                        " for node properties of label '" + label + "'");
      return false;
    }
    out->add_node_label(std::move(label), std::move(properties), std::move(types));
  }
  pos = 0;
  while (PyDict_Next(relationships, &pos, &key, &value)) {
    Ref hold_key(key), hold_value(value);
    std::string type;
    if (!owned_text(key, nullptr, &type)) return false;
    std::vector<std::string> properties;
    Schema::PropertyTypes types;
    if (PyDict_Check(value)) {
      std::vector<Schema::Endpoints> endpoints;
      if (!relationship_mapping(type, value, &endpoints, &properties, &types)) return false;
      out->add_rel_type(std::move(type), std::move(endpoints), std::move(properties),
                        std::move(types));
      continue;
    }
    std::string source, target;
    if (!relationship_value(value, &source, &target, &properties, &types)) {
      PyErr_Clear();
      raise_message(PyExc_TypeError, "Expected (str, str, list[str]) for relationship '" + type +
                                         "', e.g. ('Person', 'Movie', ['role'])");
      return false;
    }
    out->add_rel_type(std::move(type), std::move(source), std::move(target), std::move(properties),
                      std::move(types));
  }
  return true;
}

PyObject* new_schema(PyTypeObject* type, PyObject* nodes, PyObject* relationships) {
  Schema schema;
  if (!build_schema(nodes, relationships, &schema)) return nullptr;
  return wrap(type, std::move(schema));
}

PyObject* schema_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"nodes", "relationships"};
    static const Signature kSig{"Schema.__new__()", kNames, 2, 2};
    PyObject* bound[2];
    if (!bind_tuple(kSig, args, kwargs, bound)) return nullptr;
    if (!check_dict(bound[0], "nodes") || !check_dict(bound[1], "relationships")) return nullptr;
    return new_schema(type, bound[0], bound[1]);
  });
}

// Looks up `key` in d, which must map it to a dict. Borrowed result.
PyObject* dict_part(PyObject* d, const char* key) {
  PyObject* name = PyUnicode_InternFromString(key);
  if (name == nullptr) return nullptr;
  PyObject* part = PyDict_GetItemWithError(d, name);
  Py_DECREF(name);
  if (part == nullptr) {
    if (!PyErr_Occurred()) {
      raise_message(PyExc_KeyError, std::string("'") + key + "' key missing from dict");
    }
    return nullptr;
  }
  if (!PyDict_Check(part)) {
    raise_message(PyExc_TypeError, std::string("'") + key + "' must be a dict");
    return nullptr;
  }
  return part;
}

// The body of from_dict and of the function that unpickles a Schema.
PyObject* schema_from_dict_form(const Signature& sig, PyObject* const* args, Py_ssize_t nargsf,
                                PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* d;
    if (!bind_vector(sig, args, nargsf, kwnames, &d)) return nullptr;
    if (!check_dict(d, "d")) return nullptr;
    PyObject* nodes = dict_part(d, "nodes");
    if (nodes == nullptr) return nullptr;
    Ref hold_nodes(nodes);
    PyObject* relationships = dict_part(d, "relationships");
    if (relationships == nullptr) return nullptr;
    Ref hold_relationships(relationships);
    PyTypeObject* type = schema_type();
    return type == nullptr ? nullptr : new_schema(type, nodes, relationships);
  });
}

const char* const kDictForm[] = {"d"};

PyObject* schema_from_dict(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
  static const Signature kSig{"Schema.from_dict()", kDictForm, 1, 1};
  return schema_from_dict_form(kSig, args, nargsf, kwnames);
}

PyObject* schema_node_labels(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_schema(self).node_labels()); });
}

PyObject* schema_rel_types(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_schema(self).rel_types()); });
}

// The body of a lookup taking one name: binds and converts the argument, then
// hands the text to `lookup`.
template <class F>
PyObject* name_lookup(const Signature& sig, PyObject* const* args, Py_ssize_t nargsf,
                      PyObject* kwnames, F lookup) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* arg;
    std::string_view name;
    if (!bind_vector(sig, args, nargsf, kwnames, &arg)) return nullptr;
    if (!to_text(arg, sig.names[0], &name)) return nullptr;
    return lookup(name);
  });
}

const char* const kLabel[] = {"label"};
const char* const kRelType[] = {"rel_type"};

PyObject* schema_has_node_label(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                                PyObject* kwnames) {
  static const Signature kSig{"Schema.has_node_label()", kLabel, 1, 1};
  return name_lookup(kSig, args, nargsf, kwnames, [&](std::string_view label) {
    return PyBool_FromLong(self_schema(self).has_node_label(label));
  });
}

PyObject* schema_has_rel_type(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                              PyObject* kwnames) {
  static const Signature kSig{"Schema.has_rel_type()", kRelType, 1, 1};
  return name_lookup(kSig, args, nargsf, kwnames, [&](std::string_view type) {
    return PyBool_FromLong(self_schema(self).has_rel_type(type));
  });
}

PyObject* schema_node_properties(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                                 PyObject* kwnames) {
  static const Signature kSig{"Schema.node_properties()", kLabel, 1, 1};
  return name_lookup(kSig, args, nargsf, kwnames, [&](std::string_view label) {
    return new_str_list(self_schema(self).node_properties(label));
  });
}

PyObject* schema_rel_properties(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                                PyObject* kwnames) {
  static const Signature kSig{"Schema.rel_properties()", kRelType, 1, 1};
  return name_lookup(kSig, args, nargsf, kwnames, [&](std::string_view type) {
    return new_str_list(self_schema(self).rel_properties(type));
  });
}

const char* const kLabelKey[] = {"label_or_type", "key"};

PyObject* schema_property_type(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                               PyObject* kwnames) {
  static const Signature kSig{"Schema.property_type()", kLabelKey, 2, 2};
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* bound[2];
    std::string_view name, key;
    if (!bind_vector(kSig, args, nargsf, kwnames, bound)) return nullptr;
    if (!to_text(bound[0], kLabelKey[0], &name) || !to_text(bound[1], kLabelKey[1], &key)) {
      return nullptr;
    }
    const std::optional<std::string_view> type = self_schema(self).property_type(name, key);
    if (!type) Py_RETURN_NONE;
    return new_str(*type);
  });
}

PyObject* new_pair(std::string_view source, std::string_view target) {
  PyObject* first = new_str(source);
  PyObject* second = first ? new_str(target) : nullptr;
  PyObject* pair = first && second ? PyTuple_Pack(2, first, second) : nullptr;
  Py_XDECREF(first);
  Py_XDECREF(second);
  return pair;
}

template <class Pairs>
PyObject* new_pair_list(const Pairs& pairs) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(pairs.size()));
  if (list == nullptr) return nullptr;
  Py_ssize_t i = 0;
  for (const auto& [source, target] : pairs) {
    PyObject* pair = new_pair(source, target);
    if (pair == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, i++, pair);
  }
  return list;
}

PyObject* schema_rel_endpoint_pairs(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                                    PyObject* kwnames) {
  static const Signature kSig{"Schema.rel_endpoint_pairs()", kRelType, 1, 1};
  return name_lookup(kSig, args, nargsf, kwnames, [&](std::string_view type) {
    return new_pair_list(self_schema(self).rel_endpoint_pairs(type));
  });
}

PyObject* schema_rel_endpoints(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                               PyObject* kwnames) {
  static const Signature kSig{"Schema.rel_endpoints()", kRelType, 1, 1};
  return name_lookup(kSig, args, nargsf, kwnames, [&](std::string_view type) -> PyObject* {
    auto ends = self_schema(self).rel_src_tgt(type);
    if (!ends) Py_RETURN_NONE;
    return new_pair(ends->first, ends->second);
  });
}

// dict[key] = value, consuming the reference to value.
bool set_item(PyObject* dict, const char* key, PyObject* value) {
  if (value == nullptr) return false;
  int rc = PyDict_SetItemString(dict, key, value);
  Py_DECREF(value);
  return rc == 0;
}

bool set_item(PyObject* dict, std::string_view key, PyObject* value) {
  if (value == nullptr) return false;
  PyObject* name = new_str(key);
  int rc = name ? PyDict_SetItem(dict, name, value) : -1;
  Py_XDECREF(name);
  Py_DECREF(value);
  return rc == 0;
}

// The keys as a list when none is typed (the form of an untyped schema),
// else a dict of each key to its type or None.
PyObject* properties_value(const std::vector<std::string>& keys,
                           const Schema::PropertyTypes& types) {
  if (types.empty()) return new_str_list(keys);
  PyObject* out = PyDict_New();
  if (out == nullptr) return nullptr;
  const auto type_of = [&](const std::string& key) -> const std::string* {
    for (auto it = types.rbegin(); it != types.rend(); ++it) {
      if (it->key == key) return &it->type;
    }
    return nullptr;
  };
  for (const std::string& key : keys) {
    const std::string* type = type_of(key);
    if (!set_item(out, std::string_view(key), type ? new_str(*type) : Py_NewRef(Py_None))) {
      Py_DECREF(out);
      return nullptr;
    }
  }
  return out;
}

// A label's property list, or {"properties": {...}} when it has types.
PyObject* node_entry(const Schema::NodeLabel& node) {
  PyObject* properties = properties_value(node.properties, node.property_types);
  if (properties == nullptr || node.property_types.empty()) return properties;
  PyObject* mapping = PyDict_New();
  if (mapping == nullptr || !set_item(mapping, "properties", properties)) {
    if (mapping == nullptr) Py_DECREF(properties);
    Py_XDECREF(mapping);
    return nullptr;
  }
  return mapping;
}

PyObject* nodes_dict(const Schema& schema) {
  PyObject* nodes = PyDict_New();
  if (nodes == nullptr) return nullptr;
  for (const Schema::NodeLabel& node : schema.nodes()) {
    if (!set_item(nodes, std::string_view(node.name), node_entry(node))) {
      Py_DECREF(nodes);
      return nullptr;
    }
  }
  return nodes;
}

PyObject* relationship_tuple(const Schema::RelType& rel) {
  const Schema::Endpoints& ends = rel.endpoints.front();
  PyObject* source = new_str(ends.source);
  PyObject* target = source ? new_str(ends.target) : nullptr;
  PyObject* properties = target ? properties_value(rel.properties, rel.property_types) : nullptr;
  PyObject* tuple = nullptr;
  if (source && target && properties) tuple = PyTuple_Pack(3, source, target, properties);
  Py_XDECREF(source);
  Py_XDECREF(target);
  Py_XDECREF(properties);
  return tuple;
}

// {"endpoints": [(source, target), ...] or None, "properties": [...]}.
PyObject* mapping_entry(const Schema::RelType& rel) {
  PyObject* mapping = PyDict_New();
  if (mapping == nullptr) return nullptr;
  std::vector<std::pair<std::string_view, std::string_view>> pairs;
  for (const Schema::Endpoints& ends : rel.endpoints) pairs.emplace_back(ends.source, ends.target);
  PyObject* endpoints = pairs.empty() ? Py_NewRef(Py_None) : new_pair_list(pairs);
  if (!set_item(mapping, "endpoints", endpoints) ||
      !set_item(mapping, "properties", properties_value(rel.properties, rel.property_types))) {
    Py_DECREF(mapping);
    return nullptr;
  }
  return mapping;
}

// One pair in the three-element form, as it always was; otherwise the
// mapping form.
PyObject* relationship_entry(const Schema::RelType& rel) {
  return rel.endpoints.size() == 1 ? relationship_tuple(rel) : mapping_entry(rel);
}

PyObject* relationships_dict(const Schema& schema) {
  PyObject* relationships = PyDict_New();
  if (relationships == nullptr) return nullptr;
  for (const Schema::RelType& rel : schema.relationships()) {
    if (!set_item(relationships, std::string_view(rel.name), relationship_entry(rel))) {
      Py_DECREF(relationships);
      return nullptr;
    }
  }
  return relationships;
}

PyObject* dict_form(const Schema& schema) {
  PyObject* out = PyDict_New();
  if (out == nullptr) return nullptr;
  if (!set_item(out, "nodes", nodes_dict(schema)) ||
      !set_item(out, "relationships", relationships_dict(schema))) {
    Py_DECREF(out);
    return nullptr;
  }
  return out;
}

PyObject* schema_to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&] { return dict_form(self_schema(self)); });
}

// Pickled as _restore_schema(self.to_dict()).
PyObject* schema_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyObject* restore = module_function("_restore_schema");
    PyObject* d = restore ? dict_form(self_schema(self)) : nullptr;
    if (d == nullptr) {
      Py_XDECREF(restore);
      return nullptr;
    }
    return Py_BuildValue("(N(N))", restore, d);
  });
}

PyObject* schema_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const Schema& schema = self_schema(self);
    std::string text = "Schema(nodes=" + debug_list(schema.node_labels()) +
                       ", relationships=" + debug_list(schema.rel_types()) + ")";
    return new_str(text);
  });
}

PyMethodDef kMethods[] = {
    {"from_dict", as_method(schema_from_dict), METH_FASTCALL | METH_KEYWORDS | METH_STATIC,
     "from_dict(d)\n--\n\nCreate a Schema from a plain Python dict (e.g. previously exported "
     "with ``to_dict()``).\n\nExample::\n\n    d = {\n        \"nodes\": {\"Person\": [\"name\", "
     "\"age\"], \"Movie\": [\"title\"]},\n        \"relationships\": {\"ACTED_IN\": (\"Person\", "
     "\"Movie\", [\"role\"])},\n    }\n    schema = Schema.from_dict(d)"},
    {"node_labels", as_method(schema_node_labels), METH_NOARGS, "node_labels($self)\n--\n\n"},
    {"rel_types", as_method(schema_rel_types), METH_NOARGS, "rel_types($self)\n--\n\n"},
    {"has_node_label", as_method(schema_has_node_label), METH_FASTCALL | METH_KEYWORDS,
     "has_node_label($self, label)\n--\n\n"},
    {"has_rel_type", as_method(schema_has_rel_type), METH_FASTCALL | METH_KEYWORDS,
     "has_rel_type($self, rel_type)\n--\n\n"},
    {"node_properties", as_method(schema_node_properties), METH_FASTCALL | METH_KEYWORDS,
     "node_properties($self, label)\n--\n\nReturn the list of properties declared for a node "
     "label."},
    {"rel_properties", as_method(schema_rel_properties), METH_FASTCALL | METH_KEYWORDS,
     "rel_properties($self, rel_type)\n--\n\nReturn the list of properties declared for a "
     "relationship type."},
    {"rel_endpoints", as_method(schema_rel_endpoints), METH_FASTCALL | METH_KEYWORDS,
     "rel_endpoints($self, rel_type)\n--\n\nReturn `(src_label, tgt_label)` for a relationship "
     "type, or None if unknown."},
    {"to_dict", as_method(schema_to_dict), METH_NOARGS,
     "to_dict($self)\n--\n\nExport the schema as a plain Python dict compatible with the Schema "
     "constructor."},
    {"rel_endpoint_pairs", as_method(schema_rel_endpoint_pairs), METH_FASTCALL | METH_KEYWORDS,
     "rel_endpoint_pairs($self, rel_type)\n--\n\nReturn every `(src_label, tgt_label)` pair "
     "declared for a relationship type, in order; an empty list if unknown."},
    {"property_type", as_method(schema_property_type), METH_FASTCALL | METH_KEYWORDS,
     "property_type($self, label_or_type, key)\n--\n\nReturn the type the schema declares for "
     "a property of a node label (or else of a relationship type), as written; None when the "
     "key has no declared type."},
    {"__reduce__", as_method(schema_reduce), METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, as_slot("Schema(nodes, relationships)\n--\n\n")},
    {Py_tp_new, as_slot(schema_new)},
    {Py_tp_dealloc, as_slot(dealloc_wrapped<Schema>)},
    {Py_tp_repr, as_slot(schema_repr)},
    {Py_tp_methods, kMethods},
    {0, nullptr},
};

PyType_Spec kSpec = {"builtins.Schema", sizeof(PySchema), 0,
                     Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, kSlots};

}  // namespace

PyTypeObject* schema_type() {
  static PyTypeObject* type = nullptr;
  if (type == nullptr) type = create_class(&kSpec);
  return type;
}

const Schema& schema_value(PyObject* schema) {
  return self_schema(schema);
}

PyObject* new_schema_object(const Schema& schema) {
  PyTypeObject* type = schema_type();
  return type == nullptr ? nullptr : wrap(type, Schema(schema));
}

PyObject* restore_schema(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
  static const Signature kSig{"_restore_schema()", kDictForm, 1, 1};
  return schema_from_dict_form(kSig, args, nargsf, kwnames);
}

}  // namespace quorvane::py
