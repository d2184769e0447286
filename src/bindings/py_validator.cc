// The Python classes CypherValidator and ValidationResult, with parallel
// batch validation on the process-wide worker pool.
#include <atomic>
#include <exception>
#include <string>
#include <vector>

#include "bindings/args.h"
#include "bindings/classes.h"
#include "bindings/debug_list.h"
#include "bindings/internal_failure.h"
#include "bindings/values.h"
#include "bindings/wrapped.h"
#include "pool/thread_pool.h"
#include "validator/cypher_validator.h"

namespace quorvane::py {

namespace {

// ---- ValidationResult ----

const ValidationResult& self_result(PyObject* self) {
  return value_of<ValidationResult>(self);
}

PyObject* result_is_valid(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return PyBool_FromLong(self_result(self).is_valid); });
}

PyObject* result_errors(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_result(self).errors); });
}

PyObject* result_syntax_errors(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_result(self).syntax_errors); });
}

PyObject* result_semantic_errors(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return new_str_list(self_result(self).semantic_errors); });
}

PyObject* result_warnings(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] { return new_str_list(self_result(self).warnings); });
}

PyObject* result_diagnostics(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr,
                            [&] { return new_diagnostic_list(self_result(self).diagnostics); });
}

PyObject* result_to_dict(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const ValidationResult& result = self_result(self);
    PyObject* diagnostics = new_diagnostic_list(result.diagnostics);
    if (diagnostics == nullptr) return nullptr;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(diagnostics); ++i) {
      PyObject* as_dict = PyObject_CallMethod(PyList_GET_ITEM(diagnostics, i), "to_dict", nullptr);
      if (as_dict == nullptr) {
        Py_DECREF(diagnostics);
        return nullptr;
      }
      PyList_SetItem(diagnostics, i, as_dict);
    }
    return Py_BuildValue("{sNsNsNsNsNsN}", "is_valid", PyBool_FromLong(result.is_valid), "errors",
                         new_str_list(result.errors), "syntax_errors",
                         new_str_list(result.syntax_errors), "semantic_errors",
                         new_str_list(result.semantic_errors), "warnings",
                         new_str_list(result.warnings), "diagnostics", diagnostics);
  });
}

int result_bool(PyObject* self) {
  return guarded<int>(-1, [&] { return self_result(self).is_valid ? 1 : 0; });
}

Py_ssize_t result_len(PyObject* self) {
  return guarded<Py_ssize_t>(
      -1, [&] { return static_cast<Py_ssize_t>(self_result(self).errors.size()); });
}

PyObject* result_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const ValidationResult& result = self_result(self);
    return new_str(std::string("ValidationResult(is_valid=") + debug_bool(result.is_valid) +
                   ", errors=" + debug_list(result.errors) + ")");
  });
}

// Pickled as _restore_validation_result(syntax_errors, semantic_errors,
// warnings, diagnostics): errors and is_valid follow from the first two. A
// result with no findings leaves the last two out, as pickles made before
// them did.
PyObject* result_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const ValidationResult& result = self_result(self);
    PyObject* restore = module_function("_restore_validation_result");
    if (restore == nullptr) return nullptr;
    if (result.warnings.empty() && result.diagnostics.empty()) {
      return Py_BuildValue("(N(NN))", restore, new_str_list(result.syntax_errors),
                           new_str_list(result.semantic_errors));
    }
    return Py_BuildValue("(N(NNNN))", restore, new_str_list(result.syntax_errors),
                         new_str_list(result.semantic_errors), new_str_list(result.warnings),
                         new_diagnostic_list(result.diagnostics));
  });
}

PyMethodDef kResultMethods[] = {
    {"to_dict", as_method(result_to_dict), METH_NOARGS,
     "to_dict($self)\n--\n\nThe result as a dict of plain values, ready for JSON."},
    {"__reduce__", as_method(result_reduce), METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kResultGetSet[] = {
    {"is_valid", result_is_valid, nullptr, "", nullptr},
    {"errors", result_errors, nullptr, "All errors (syntax + semantic) combined.", nullptr},
    {"syntax_errors", result_syntax_errors, nullptr, "Parse/syntax errors only.", nullptr},
    {"semantic_errors", result_semantic_errors, nullptr, "Schema-level semantic errors only.",
     nullptr},
    {"warnings", result_warnings, nullptr, "Warnings: findings that do not make the query invalid.",
     nullptr},
    {"diagnostics", result_diagnostics, nullptr,
     "Every finding as a Diagnostic: the errors in the order of errors, then the warnings.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot kResultSlots[] = {
    {Py_tp_dealloc, as_slot(dealloc_wrapped<ValidationResult>)},
    {Py_tp_repr, as_slot(result_repr)},
    {Py_tp_getset, kResultGetSet},
    {Py_tp_methods, kResultMethods},
    {Py_nb_bool, as_slot(result_bool)},
    {Py_sq_length, as_slot(result_len)},
    {0, nullptr},
};

PyType_Spec kResultSpec = {
    "builtins.ValidationResult", sizeof(Wrapped<ValidationResult>), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    kResultSlots};

// ---- CypherValidator ----

const CypherValidator& self_validator(PyObject* self) {
  return value_of<CypherValidator>(self);
}

PyObject* validator_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"schema", "language"};
    static const Signature kSig{"CypherValidator.__new__()", kNames, 2, 1, 1};
    PyObject* bound[2];
    if (!bind_tuple(kSig, args, kwargs, bound)) return nullptr;
    PyObject* schema = bound[0];
    PyTypeObject* schema_class = schema_type();
    if (schema_class == nullptr) return nullptr;
    if (!check_instance(schema, schema_class, "Schema", "schema")) return nullptr;
    Language language;
    if (!to_language(bound[1], &language)) return nullptr;
    return wrap(type, CypherValidator(Schema(schema_value(schema)), language));
  });
}

// The names of the parameters a caller says are set: None (or omitted)
// gives nothing, any iterable of str (a dict gives its keys) the names. A
// str alone is refused: its characters are not names.
bool to_parameter_names(PyObject* obj, std::optional<std::vector<std::string>>* out) {
  out->reset();
  if (obj == nullptr || obj == Py_None) return true;
  if (PyUnicode_Check(obj) || PyBytes_Check(obj)) {
    PyErr_Format(PyExc_TypeError,
                 "argument 'parameters': a '%s' is not accepted as a collection of names",
                 Py_TYPE(obj)->tp_name);
    return false;
  }
  PyObject* iterator = PyObject_GetIter(obj);
  if (iterator == nullptr) {
    prefix_type_error("parameters");
    return false;
  }
  std::vector<std::string>& names = out->emplace();
  std::string_view name;
  bool ok = true;
  while (PyObject* item = PyIter_Next(iterator)) {
    ok = to_text(item, "parameters", &name);
    if (ok) names.emplace_back(name);
    Py_DECREF(item);
    if (!ok) break;
  }
  Py_DECREF(iterator);
  if (ok && PyErr_Occurred()) {
    prefix_type_error("parameters");
    ok = false;
  }
  return ok;
}

const std::vector<std::string>* or_null(const std::optional<std::vector<std::string>>& names) {
  return names ? &*names : nullptr;
}

PyObject* validator_validate(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                             PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"query", "parameters"};
    static const Signature kSig{"CypherValidator.validate()", kNames, 2, 1, 1};
    PyObject* bound[2];
    std::string_view text;
    std::optional<std::vector<std::string>> parameters;
    if (!bind_vector(kSig, args, nargsf, kwnames, bound)) return nullptr;
    if (!to_text(bound[0], "query", &text)) return nullptr;
    if (!to_parameter_names(bound[1], &parameters)) return nullptr;
    PyTypeObject* result_class = validation_result_type();
    if (result_class == nullptr) return nullptr;
    return wrap(result_class, self_validator(self).validate(text, or_null(parameters)));
  });
}

PyObject* validator_fix(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                        PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"query"};
    static const Signature kSig{"CypherValidator.fix()", kNames, 1, 1};
    PyObject* query;
    std::string_view text;
    if (!bind_vector(kSig, args, nargsf, kwnames, &query)) return nullptr;
    if (!to_text(query, "query", &text)) return nullptr;
    return new_fix_result(self_validator(self).fix(text));
  });
}

// The query texts of one batch, copied out of their Python objects into one
// buffer so that the workers never touch a Python object.
class TextBatch {
 public:
  void add(std::string_view text) {
    bytes_.append(text);
    ends_.push_back(bytes_.size());
  }
  size_t size() const { return ends_.size(); }
  std::string_view operator[](size_t i) const {
    size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(bytes_).substr(begin, ends_[i] - begin);
  }

 private:
  std::string bytes_;
  std::vector<size_t> ends_;
};

// Runs the validations with the interpreter lock released. The first C++
// exception a worker meets is carried back to the caller's thread and
// rethrown there, after the lock is held again.
std::optional<PoolError> validate_all(PyObject* self, const TextBatch& texts,
                                      const std::vector<std::string>* parameters,
                                      std::vector<ValidationResult>& results) {
  const CypherValidator& validator = self_validator(self);
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  auto body = [&](size_t i) {
    if (failed.load(std::memory_order_relaxed)) return;
    try {
      results[i] = validator.validate(texts[i], parameters);
    } catch (...) {
      if (!failed.exchange(true)) failure = std::current_exception();
    }
  };
  std::optional<PoolError> pool_error;
  std::exception_ptr pool_failure;
  Py_INCREF(self);  // the validator must outlive the batch
  PyThreadState* thread_state = PyEval_SaveThread();
  // Nothing may leave here without taking the lock back.
  try {
    pool_error = parallel_for(texts.size(), body);
  } catch (...) {
    pool_failure = std::current_exception();
  }
  PyEval_RestoreThread(thread_state);
  Py_DECREF(self);
  if (pool_failure) std::rethrow_exception(pool_failure);
  if (failure) std::rethrow_exception(failure);
  return pool_error;
}

PyObject* validator_validate_batch(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                                   PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"queries", "parameters"};
    static const Signature kSig{"CypherValidator.validate_batch()", kNames, 2, 1, 1};
    PyObject* bound[2];
    if (!bind_vector(kSig, args, nargsf, kwnames, bound)) return nullptr;
    TextBatch texts;
    if (!for_each_text(bound[0], "queries", [&](std::string_view text) { texts.add(text); })) {
      return nullptr;
    }
    std::optional<std::vector<std::string>> parameters;
    if (!to_parameter_names(bound[1], &parameters)) return nullptr;
    PyTypeObject* result_class = validation_result_type();
    if (result_class == nullptr) return nullptr;

    std::vector<ValidationResult> results(texts.size());
    if (texts.size() > 0) {
      if (std::optional<PoolError> error =
              validate_all(self, texts, or_null(parameters), results)) {
        raise_internal_failure(error->message);
        return nullptr;
      }
    }

    PyObject* list = PyList_New(static_cast<Py_ssize_t>(results.size()));
    if (list == nullptr) return nullptr;
    for (size_t i = 0; i < results.size(); ++i) {
      PyObject* item = wrap(result_class, std::move(results[i]));
      if (item == nullptr) {
        Py_DECREF(list);
        return nullptr;
      }
      PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
  });
}

// Pickled as _restore_validator(schema, language), with a copy of the
// validator's schema.
PyObject* validator_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const CypherValidator& validator = self_validator(self);
    PyObject* restore = module_function("_restore_validator");
    PyObject* schema = restore ? new_schema_object(validator.schema()) : nullptr;
    PyObject* language = schema ? new_str(language_name(validator.language())) : nullptr;
    if (language == nullptr) {
      Py_XDECREF(restore);
      Py_XDECREF(schema);
      return nullptr;
    }
    return Py_BuildValue("(N(NN))", restore, schema, language);
  });
}

// A subset validator keeps its historical repr.
PyObject* validator_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&] {
    const Language language = self_validator(self).language();
    if (language == Language::Subset) return PyUnicode_FromString("CypherValidator()");
    return new_str("CypherValidator(language='" + std::string(language_name(language)) + "')");
  });
}

PyObject* validator_language(PyObject* self, void*) {
  return guarded<PyObject*>(nullptr, [&] {
    return new_str(std::string(language_name(self_validator(self).language())));
  });
}

PyGetSetDef kValidatorGetSet[] = {
    {"language", validator_language, nullptr,
     "The language queries are read as: ``\"subset\"`` or ``\"extended\"``.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kValidatorMethods[] = {
    {"validate", as_method(validator_validate), METH_FASTCALL | METH_KEYWORDS,
     "validate($self, query, *, parameters=None)\n--\n\n"},
    {"fix", as_method(validator_fix), METH_FASTCALL | METH_KEYWORDS,
     "fix($self, query)\n--\n\nApply every safe fix (misspelt names, relationships drawn "
     "backwards) and return a FixResult."},
    {"validate_batch", as_method(validator_validate_batch), METH_FASTCALL | METH_KEYWORDS,
     "validate_batch($self, queries, *, parameters=None)\n--\n\n"
     "Validate multiple queries at once and return one ``ValidationResult`` per query.\n\n"
     "The queries are validated in parallel on a pool of worker threads. The Python GIL is\n"
     "released for the duration of the batch, so other Python threads can run concurrently.\n\n"
     "Example::\n\n"
     "    results = validator.validate_batch([\n"
     "        \"MATCH (p:Person) RETURN p\",\n"
     "        \"MATCH (p:BadLabel) RETURN p\",\n"
     "    ])\n"
     "    for r in results:\n"
     "        print(r.is_valid, r.errors)"},
    {"__reduce__", as_method(validator_reduce), METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kValidatorSlots[] = {
    {Py_tp_doc, as_slot("CypherValidator(schema, *, language='subset')\n--\n\n")},
    {Py_tp_new, as_slot(validator_new)},
    {Py_tp_dealloc, as_slot(dealloc_wrapped<CypherValidator>)},
    {Py_tp_repr, as_slot(validator_repr)},
    {Py_tp_methods, kValidatorMethods},
    {Py_tp_getset, kValidatorGetSet},
    {0, nullptr},
};

PyType_Spec kValidatorSpec = {"builtins.CypherValidator", sizeof(Wrapped<CypherValidator>), 0,
                              Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, kValidatorSlots};

}  // namespace

PyTypeObject* validator_type() {
  static PyTypeObject* type = nullptr;
  if (type == nullptr) type = create_class(&kValidatorSpec);
  return type;
}

PyTypeObject* validation_result_type() {
  static PyTypeObject* type = nullptr;
  if (type == nullptr) type = create_class(&kResultSpec);
  return type;
}

// The language may be left out: validators pickled before there was a
// choice read the subset.
PyObject* restore_validator(PyObject*, PyObject* const* args, Py_ssize_t nargsf,
                            PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"schema", "language"};
    static const Signature kSig{"_restore_validator()", kNames, 2, 1};
    PyObject* bound[2];
    if (!bind_vector(kSig, args, nargsf, kwnames, bound)) return nullptr;
    PyTypeObject* schema_class = schema_type();
    PyTypeObject* type = schema_class ? validator_type() : nullptr;
    if (type == nullptr) return nullptr;
    if (!check_instance(bound[0], schema_class, "Schema", "schema")) return nullptr;
    Language language;
    if (!to_language(bound[1], &language)) return nullptr;
    return wrap(type, CypherValidator(Schema(schema_value(bound[0])), language));
  });
}

// Accepts only what validate() can produce: at most one of the two lists
// non-empty, at most one syntax error. Warnings may be left out: results
// pickled before there were warnings have none.
PyObject* restore_validation_result(PyObject*, PyObject* const* args, Py_ssize_t nargsf,
                                    PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"syntax_errors", "semantic_errors", "warnings",
                                         "diagnostics"};
    static const Signature kSig{"_restore_validation_result()", kNames, 4, 2};
    PyObject* bound[4];
    if (!bind_vector(kSig, args, nargsf, kwnames, bound)) return nullptr;
    ValidationResult result;
    if (!to_text_list(bound[0], "syntax_errors", &result.syntax_errors) ||
        !to_text_list(bound[1], "semantic_errors", &result.semantic_errors) ||
        (bound[2] != nullptr && !to_text_list(bound[2], "warnings", &result.warnings)) ||
        (bound[3] != nullptr && !to_diagnostic_list(bound[3], &result.diagnostics))) {
      return nullptr;
    }
    if (result.syntax_errors.size() > 1 ||
        (!result.syntax_errors.empty() && !result.semantic_errors.empty())) {
      PyErr_SetString(PyExc_ValueError,
                      "not a pickled ValidationResult: a result holds either one syntax error or "
                      "semantic errors");
      return nullptr;
    }
    result.errors = result.syntax_errors;
    result.errors.insert(result.errors.end(), result.semantic_errors.begin(),
                         result.semantic_errors.end());
    result.is_valid = result.errors.empty();
    PyTypeObject* type = validation_result_type();
    return type == nullptr ? nullptr : wrap(type, std::move(result));
  });
}

}  // namespace quorvane::py
