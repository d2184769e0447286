// The Python classes Diagnostic, Edit and FixResult, and the table of
// diagnostic codes. Positions are given in characters of the Python str
// (start, end) and as 1-based lines and columns; the byte spans of the core
// stay inside.
#include <string>
#include <utility>
#include <vector>

#include "bindings/args.h"
#include "bindings/classes.h"
#include "bindings/debug_list.h"
#include "bindings/internal_failure.h"
#include "bindings/values.h"
#include "bindings/wrapped.h"
#include "validator/cypher_validator.h"

namespace quorvane::py {

namespace {

const Diagnostic& self_diagnostic(PyObject* self) {
  return value_of<Diagnostic>(self);
}

const Edit& self_edit(PyObject* self) {
  return value_of<Edit>(self);
}

PyObject* new_size(uint32_t value) {
  return PyLong_FromUnsignedLong(value);
}

// ---- Edit ----

PyObject* edit_start(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_size(self_edit(self).from); });
}

PyObject* edit_end(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_size(self_edit(self).to); });
}

PyObject* edit_replacement(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str(self_edit(self).replacement); });
}

PyObject* edit_to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Edit& e = self_edit(self);
    return Py_BuildValue("{sIsIsN}", "start", e.from, "end", e.to, "replacement",
                         new_str(e.replacement));
  });
}

PyObject* edit_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const Edit& e = self_edit(self);
    return new_str("Edit(start=" + std::to_string(e.from) + ", end=" + std::to_string(e.to) +
                   ", replacement=" + debug_str(e.replacement) + ")");
  });
}

PyObject* edit_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Edit& e = self_edit(self);
    PyObject* restore = module_function("_restore_edit");
    if (restore == nullptr) return nullptr;
    return Py_BuildValue("(N(IIN))", restore, e.from, e.to, new_str(e.replacement));
  });
}

bool same_edit(const Edit& a, const Edit& b) {
  return a.from == b.from && a.to == b.to && a.replacement == b.replacement;
}

PyObject* edit_richcompare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyTypeObject* type = edit_type();
    if (type == nullptr) return nullptr;
    if ((op != Py_EQ && op != Py_NE) || !PyObject_TypeCheck(other, type)) {
      Py_RETURN_NOTIMPLEMENTED;
    }
    const bool equal = same_edit(self_edit(self), self_edit(other));
    return PyBool_FromLong(equal == (op == Py_EQ));
  });
}

PyMethodDef kEditMethods[] = {
    {"to_dict", as_method(edit_to_dict), METH_NOARGS,
     "to_dict($self)\n--\n\nThe edit as a dict: start, end, replacement."},
    {"__reduce__", as_method(edit_reduce), METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kEditGetSet[] = {
    {"start", edit_start, nullptr, "Index in the query str where the replaced text starts.",
     nullptr},
    {"end", edit_end, nullptr, "Index in the query str just past the replaced text.", nullptr},
    {"replacement", edit_replacement, nullptr, "The text that replaces query[start:end].",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot kEditSlots[] = {
    {Py_tp_dealloc, as_slot(dealloc_wrapped<Edit>)},
    {Py_tp_repr, as_slot(edit_repr)},
    {Py_tp_richcompare, as_slot(edit_richcompare)},
    {Py_tp_hash, as_slot(PyObject_HashNotImplemented)},
    {Py_tp_getset, kEditGetSet},
    {Py_tp_methods, kEditMethods},
    {Py_tp_doc, as_slot("One change that fixes a finding: replace query[start:end] with "
                        "replacement.")},
    {0, nullptr},
};

PyType_Spec kEditSpec = {
    "builtins.Edit", sizeof(Wrapped<Edit>), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION, kEditSlots};

// ---- Diagnostic ----

PyObject* new_edit_list(const std::vector<Edit>& edits) {
  PyTypeObject* type = edit_type();
  if (type == nullptr) return nullptr;
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(edits.size()));
  if (list == nullptr) return nullptr;
  for (size_t i = 0; i < edits.size(); ++i) {
    PyObject* item = wrap(type, Edit(edits[i]));
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
  }
  return list;
}

PyObject* diagnostic_code(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return new_str(rule_info(self_diagnostic(self).code).name); });
}

PyObject* diagnostic_severity(PyObject* self, void*) {
  return guarded<PyObject*>(
      nullptr, [&] { return new_str(severity_name(self_diagnostic(self).severity)); });
}

PyObject* diagnostic_message(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str(self_diagnostic(self).message); });
}

template <uint32_t Place::*Field, Place Diagnostic::*Where>
PyObject* diagnostic_place(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return new_size(self_diagnostic(self).*Where.*Field); });
}

PyObject* diagnostic_suggestion(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Diagnostic& d = self_diagnostic(self);
    if (d.suggestion.empty()) Py_RETURN_NONE;
    return new_str(d.suggestion);
  });
}

PyObject* diagnostic_edits(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_edit_list(self_diagnostic(self).edits); });
}

PyObject* edit_dicts(const std::vector<Edit>& edits) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(edits.size()));
  if (list == nullptr) return nullptr;
  for (size_t i = 0; i < edits.size(); ++i) {
    PyObject* item = Py_BuildValue("{sIsIsN}", "start", edits[i].from, "end", edits[i].to,
                                   "replacement", new_str(edits[i].replacement));
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
  }
  return list;
}

PyObject* suggestion_or_none(const Diagnostic& d) {
  if (d.suggestion.empty()) return Py_NewRef(Py_None);
  return new_str(d.suggestion);
}

PyObject* diagnostic_to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Diagnostic& d = self_diagnostic(self);
    return Py_BuildValue("{sNsNsNsIsIsIsIsIsIsNsN}", "code", new_str(rule_info(d.code).name),
                         "severity", new_str(severity_name(d.severity)), "message",
                         new_str(d.message), "start", d.from.index, "end", d.to.index, "line",
                         d.from.line, "column", d.from.column, "end_line", d.to.line, "end_column",
                         d.to.column, "suggestion", suggestion_or_none(d), "edits",
                         edit_dicts(d.edits));
  });
}

PyObject* diagnostic_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const Diagnostic& d = self_diagnostic(self);
    return new_str(std::string("Diagnostic(code=") + debug_str(rule_info(d.code).name) +
                   ", severity=" + debug_str(severity_name(d.severity)) +
                   ", message=" + debug_str(d.message) + ", start=" +
                   std::to_string(d.from.index) + ", end=" + std::to_string(d.to.index) + ")");
  });
}

// Pickled by its Python-visible values; the byte spans are not kept.
PyObject* diagnostic_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Diagnostic& d = self_diagnostic(self);
    PyObject* restore = module_function("_restore_diagnostic");
    if (restore == nullptr) return nullptr;
    return Py_BuildValue("(N(NNNIIIIIINN))", restore, new_str(rule_info(d.code).name),
                         new_str(severity_name(d.severity)), new_str(d.message), d.from.index,
                         d.to.index, d.from.line, d.from.column, d.to.line, d.to.column,
                         suggestion_or_none(d), new_edit_list(d.edits));
  });
}

bool same_diagnostic(const Diagnostic& a, const Diagnostic& b) {
  if (a.code != b.code || a.severity != b.severity || a.message != b.message ||
      !(a.from == b.from) || !(a.to == b.to) || a.suggestion != b.suggestion ||
      a.edits.size() != b.edits.size()) {
    return false;
  }
  for (size_t i = 0; i < a.edits.size(); ++i) {
    if (!same_edit(a.edits[i], b.edits[i])) return false;
  }
  return true;
}

PyObject* diagnostic_richcompare(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyTypeObject* type = diagnostic_type();
    if (type == nullptr) return nullptr;
    if ((op != Py_EQ && op != Py_NE) || !PyObject_TypeCheck(other, type)) {
      Py_RETURN_NOTIMPLEMENTED;
    }
    const bool equal = same_diagnostic(self_diagnostic(self), self_diagnostic(other));
    return PyBool_FromLong(equal == (op == Py_EQ));
  });
}

PyMethodDef kDiagnosticMethods[] = {
    {"to_dict", as_method(diagnostic_to_dict), METH_NOARGS,
     "to_dict($self)\n--\n\nThe finding as a dict of plain values, ready for JSON."},
    {"__reduce__", as_method(diagnostic_reduce), METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kDiagnosticGetSet[] = {
    {"code", diagnostic_code, nullptr, "The rule's stable kebab-case code.", nullptr},
    {"severity", diagnostic_severity, nullptr, "'error' or 'warning'.", nullptr},
    {"message", diagnostic_message, nullptr, "What is wrong, in one line.", nullptr},
    {"start", diagnostic_place<&Place::index, &Diagnostic::from>, nullptr,
     "Index in the query str where the offending text starts.", nullptr},
    {"end", diagnostic_place<&Place::index, &Diagnostic::to>, nullptr,
     "Index in the query str just past the offending text.", nullptr},
    {"line", diagnostic_place<&Place::line, &Diagnostic::from>, nullptr,
     "Line of start, from 1.", nullptr},
    {"column", diagnostic_place<&Place::column, &Diagnostic::from>, nullptr,
     "Column of start in characters, from 1.", nullptr},
    {"end_line", diagnostic_place<&Place::line, &Diagnostic::to>, nullptr, "Line of end, from 1.",
     nullptr},
    {"end_column", diagnostic_place<&Place::column, &Diagnostic::to>, nullptr,
     "Column of end in characters, from 1.", nullptr},
    {"suggestion", diagnostic_suggestion, nullptr,
     "The name a did-you-mean proposes, or None.", nullptr},
    {"edits", diagnostic_edits, nullptr, "The edits that fix the finding; empty when none is safe.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot kDiagnosticSlots[] = {
    {Py_tp_dealloc, as_slot(dealloc_wrapped<Diagnostic>)},
    {Py_tp_repr, as_slot(diagnostic_repr)},
    {Py_tp_richcompare, as_slot(diagnostic_richcompare)},
    {Py_tp_hash, as_slot(PyObject_HashNotImplemented)},
    {Py_tp_getset, kDiagnosticGetSet},
    {Py_tp_methods, kDiagnosticMethods},
    {Py_tp_doc, as_slot("One finding about a query: its code, severity, message, where the "
                        "offending text is and the edits that fix it.")},
    {0, nullptr},
};

PyType_Spec kDiagnosticSpec = {
    "builtins.Diagnostic", sizeof(Wrapped<Diagnostic>), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    kDiagnosticSlots};

// ---- FixResult ----

const FixOutcome& self_fix(PyObject* self) {
  return value_of<FixOutcome>(self);
}

PyObject* fix_query(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str(self_fix(self).query); });
}

PyObject* fix_applied(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_diagnostic_list(self_fix(self).applied); });
}

PyObject* fix_result(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    PyTypeObject* type = validation_result_type();
    return type == nullptr ? nullptr : wrap(type, ValidationResult(self_fix(self).result));
  });
}

PyObject* fix_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const FixOutcome& f = self_fix(self);
    return new_str("FixResult(query=" + debug_str(f.query) +
                   ", applied=" + std::to_string(f.applied.size()) +
                   ", is_valid=" + debug_bool(f.result.is_valid) + ")");
  });
}

PyGetSetDef kFixGetSet[] = {
    {"query", fix_query, nullptr, "The query with every safe fix applied (the input if none).",
     nullptr},
    {"applied", fix_applied, nullptr, "The findings whose edits were applied.", nullptr},
    {"result", fix_result, nullptr, "The ValidationResult of the fixed query.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot kFixSlots[] = {
    {Py_tp_dealloc, as_slot(dealloc_wrapped<FixOutcome>)},
    {Py_tp_repr, as_slot(fix_repr)},
    {Py_tp_getset, kFixGetSet},
    {Py_tp_doc, as_slot("What CypherValidator.fix made of a query.")},
    {0, nullptr},
};

PyType_Spec kFixSpec = {
    "builtins.FixResult", sizeof(Wrapped<FixOutcome>), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION, kFixSlots};

bool code_named(std::string_view name, Code* code) {
  for (const RuleInfo& rule : rule_table()) {
    if (rule.name == name) {
      *code = rule.code;
      return true;
    }
  }
  return false;
}

}  // namespace

PyTypeObject* edit_type() {
  static PyTypeObject* type = create_class(&kEditSpec);
  return type;
}

PyTypeObject* diagnostic_type() {
  static PyTypeObject* type = create_class(&kDiagnosticSpec);
  return type;
}

PyTypeObject* fix_result_type() {
  static PyTypeObject* type = create_class(&kFixSpec);
  return type;
}

PyObject* new_diagnostic_list(const std::vector<Diagnostic>& diagnostics) {
  PyTypeObject* type = diagnostic_type();
  if (type == nullptr) return nullptr;
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(diagnostics.size()));
  if (list == nullptr) return nullptr;
  for (size_t i = 0; i < diagnostics.size(); ++i) {
    PyObject* item = wrap(type, Diagnostic(diagnostics[i]));
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
  }
  return list;
}

bool to_diagnostic_list(PyObject* list, std::vector<Diagnostic>* out) {
  PyTypeObject* type = diagnostic_type();
  if (type == nullptr) return false;
  if (!PyList_Check(list)) {
    PyErr_SetString(PyExc_TypeError, "diagnostics must be a list of Diagnostic");
    return false;
  }
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
    PyObject* item = PyList_GET_ITEM(list, i);
    if (!PyObject_TypeCheck(item, type)) {
      PyErr_SetString(PyExc_TypeError, "diagnostics must be a list of Diagnostic");
      return false;
    }
    out->push_back(value_of<Diagnostic>(item));
  }
  return true;
}

PyObject* new_fix_result(FixOutcome&& outcome) {
  PyTypeObject* type = fix_result_type();
  return type == nullptr ? nullptr : wrap(type, std::move(outcome));
}

PyObject* restore_edit(PyObject*, PyObject* args) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    unsigned int start = 0;
    unsigned int end = 0;
    const char* replacement = nullptr;
    Py_ssize_t length = 0;
    if (!PyArg_ParseTuple(args, "IIs#:_restore_edit", &start, &end, &replacement, &length)) {
      return nullptr;
    }
    PyTypeObject* type = edit_type();
    if (type == nullptr) return nullptr;
    Edit edit;
    edit.replacement.assign(replacement, static_cast<size_t>(length));
    edit.from = start;
    edit.to = end;
    return wrap(type, std::move(edit));
  });
}

PyObject* restore_diagnostic(PyObject*, PyObject* args) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const char* code_name = nullptr;
    const char* severity = nullptr;
    const char* message = nullptr;
    Py_ssize_t message_length = 0;
    Diagnostic d;
    PyObject* suggestion = nullptr;
    PyObject* edits = nullptr;
    if (!PyArg_ParseTuple(args, "sss#IIIIIIOO!:_restore_diagnostic", &code_name, &severity,
                          &message, &message_length, &d.from.index, &d.to.index, &d.from.line,
                          &d.from.column, &d.to.line, &d.to.column, &suggestion, &PyList_Type,
                          &edits)) {
      return nullptr;
    }
    if (!code_named(code_name, &d.code)) {
      PyErr_Format(PyExc_ValueError, "not a diagnostic code: %s", code_name);
      return nullptr;
    }
    const std::string_view level(severity);
    if (level != "error" && level != "warning") {
      PyErr_Format(PyExc_ValueError, "not a severity: %s", severity);
      return nullptr;
    }
    d.severity = level == "error" ? Severity::Error : Severity::Warning;
    d.message.assign(message, static_cast<size_t>(message_length));
    if (suggestion != Py_None) {
      Py_ssize_t size = 0;
      const char* text = PyUnicode_Check(suggestion) ? PyUnicode_AsUTF8AndSize(suggestion, &size)
                                                     : nullptr;
      if (text == nullptr) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_TypeError, "suggestion must be a str or None");
        return nullptr;
      }
      d.suggestion.assign(text, static_cast<size_t>(size));
    }
    PyTypeObject* edit_class = edit_type();
    if (edit_class == nullptr) return nullptr;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(edits); ++i) {
      PyObject* item = PyList_GET_ITEM(edits, i);
      if (!PyObject_TypeCheck(item, edit_class)) {
        PyErr_SetString(PyExc_TypeError, "edits must be a list of Edit");
        return nullptr;
      }
      d.edits.push_back(value_of<Edit>(item));
    }
    PyTypeObject* type = diagnostic_type();
    return type == nullptr ? nullptr : wrap(type, std::move(d));
  });
}

PyObject* rule_table_function(PyObject*, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const std::span<const RuleInfo> rules = rule_table();
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(rules.size()));
    if (list == nullptr) return nullptr;
    for (size_t i = 0; i < rules.size(); ++i) {
      const RuleInfo& r = rules[i];
      PyObject* row = Py_BuildValue("(NNNNN)", new_str(r.name), new_str(severity_name(r.severity)),
                                    new_str(r.summary), new_str(r.example),
                                    PyBool_FromLong(r.needs_schema));
      if (row == nullptr) {
        Py_DECREF(list);
        return nullptr;
      }
      PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), row);
    }
    return list;
  });
}

}  // namespace quorvane::py
