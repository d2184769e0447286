// The Python class CypherGenerator: random example queries for a schema.
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "bindings/args.h"
#include "bindings/classes.h"
#include "bindings/exceptions.h"
#include "bindings/internal_failure.h"
#include "bindings/values.h"
#include "bindings/wrapped.h"
#include "generator/cypher_generator.h"

namespace quorvane::py {

namespace {

// What a CypherGenerator object owns. `generate` advances the random source,
// so it takes the object for itself while it runs; `busy` says it has. The
// flag comes first, right after the object header.
struct GeneratorState {
  bool busy;
  CypherGenerator generator;
};

GeneratorState& self_state(PyObject* self) {
  return value_of<GeneratorState>(self);
}

// Exclusive use of a generator for one scope; the flag is cleared on every
// way out.
class ExclusiveUse {
 public:
  explicit ExclusiveUse(GeneratorState& state) : state_(state) { state_.busy = true; }
  ~ExclusiveUse() { state_.busy = false; }
  ExclusiveUse(const ExclusiveUse&) = delete;
  ExclusiveUse& operator=(const ExclusiveUse&) = delete;

 private:
  GeneratorState& state_;
};

PyObject* generator_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"schema", "seed"};
    static const Signature kSig{"CypherGenerator.__new__()", kNames, 2, 1};
    PyObject* bound[2];
    if (!bind_tuple(kSig, args, kwargs, bound)) return nullptr;
    PyTypeObject* schema_class = schema_type();
    if (schema_class == nullptr) return nullptr;
    if (!check_instance(bound[0], schema_class, "Schema", "schema")) return nullptr;
    std::optional<uint64_t> seed;
    if (!to_optional_u64(bound[1], "seed", &seed)) return nullptr;
    Result<CypherGenerator> made = CypherGenerator::create(Schema(schema_value(bound[0])), seed);
    if (!made) {
      // Only reading operating-system entropy can fail; that is not the
      // caller's mistake.
      raise_internal_failure(made.error().message);
      return nullptr;
    }
    return wrap(type, GeneratorState{false, std::move(made).value()});
  });
}

PyObject* generator_generate(PyObject* self, PyObject* const* args, Py_ssize_t nargsf,
                             PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"query_type"};
    static const Signature kSig{"CypherGenerator.generate()", kNames, 1, 1};
    PyObject* query_type;
    if (!bind_vector(kSig, args, nargsf, kwnames, &query_type)) return nullptr;
    GeneratorState& state = self_state(self);
    if (state.busy) {
      PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
      return nullptr;
    }
    ExclusiveUse use(state);
    std::string_view text;
    if (!to_text(query_type, "query_type", &text)) return nullptr;
    Result<std::string> query = state.generator.generate(text);
    if (!query) {
      raise_message(PyExc_ValueError, query.error().display());
      return nullptr;
    }
    return new_str(query.value());
  });
}

PyObject* generator_supported_types(PyObject*, PyObject*) {
  return guarded<PyObject*>(nullptr,
                            [] { return new_str_list(CypherGenerator::supported_types()); });
}

// Pickled as _restore_generator(schema, state), with a copy of the schema
// and the four words of the random source, so that the copy goes on with the
// same sequence.
PyObject* generator_reduce(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const GeneratorState& state = self_state(self);
    if (state.busy) {
      PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
      return nullptr;
    }
    const RandomSource::State& words = state.generator.rng().state();
    PyObject* restore = module_function("_restore_generator");
    PyObject* schema = restore ? new_schema_object(state.generator.schema()) : nullptr;
    if (schema == nullptr) {
      Py_XDECREF(restore);
      return nullptr;
    }
    return Py_BuildValue("(N(N(KKKK)))", restore, schema,
                         static_cast<unsigned long long>(words[0]),
                         static_cast<unsigned long long>(words[1]),
                         static_cast<unsigned long long>(words[2]),
                         static_cast<unsigned long long>(words[3]));
  });
}

PyObject* generator_repr(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (self_state(self).busy) {
      PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
      return nullptr;
    }
    return PyUnicode_FromString("CypherGenerator()");
  });
}

PyMethodDef kMethods[] = {
    {"generate", as_method(generator_generate), METH_FASTCALL | METH_KEYWORDS,
     "generate($self, query_type)\n--\n\n"},
    {"supported_types", as_method(generator_supported_types), METH_NOARGS | METH_STATIC,
     "supported_types()\n--\n\n"},
    {"__reduce__", as_method(generator_reduce), METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kSlots[] = {
    {Py_tp_doc, as_slot("CypherGenerator(schema, seed=None)\n--\n\n")},
    {Py_tp_new, as_slot(generator_new)},
    {Py_tp_dealloc, as_slot(dealloc_wrapped<GeneratorState>)},
    {Py_tp_repr, as_slot(generator_repr)},
    {Py_tp_methods, kMethods},
    {0, nullptr},
};

PyType_Spec kSpec = {"builtins.CypherGenerator", sizeof(Wrapped<GeneratorState>), 0,
                     Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, kSlots};

}  // namespace

PyTypeObject* generator_type() {
  static PyTypeObject* type = nullptr;
  if (type == nullptr) type = create_class(&kSpec);
  return type;
}

namespace {

// The random state: a tuple of four ints from 0 to 2**64 - 1, not all zero
// (the generator could never leave that state).
bool random_state(PyObject* obj, RandomSource::State* out) {
  if (!PyTuple_Check(obj) || PyTuple_GET_SIZE(obj) != 4) {
    raise_message(PyExc_TypeError,
                  "argument 'state': expected a tuple of four ints, the random state");
    return false;
  }
  for (size_t i = 0; i < out->size(); ++i) {
    PyObject* word = PyTuple_GET_ITEM(obj, static_cast<Py_ssize_t>(i));
    if (!PyLong_Check(word)) {
      raise_cast_error(word, "int", "state");
      return false;
    }
    std::optional<uint64_t> value;
    if (!to_optional_u64(word, "state", &value)) return false;
    (*out)[i] = *value;
  }
  if ((*out)[0] == 0 && (*out)[1] == 0 && (*out)[2] == 0 && (*out)[3] == 0) {
    raise_message(PyExc_ValueError, "argument 'state': an all-zero random state is not valid");
    return false;
  }
  return true;
}

}  // namespace

PyObject* restore_generator(PyObject*, PyObject* const* args, Py_ssize_t nargsf,
                            PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kNames[] = {"schema", "state"};
    static const Signature kSig{"_restore_generator()", kNames, 2, 2};
    PyObject* bound[2];
    if (!bind_vector(kSig, args, nargsf, kwnames, bound)) return nullptr;
    PyTypeObject* schema_class = schema_type();
    PyTypeObject* type = schema_class ? generator_type() : nullptr;
    if (type == nullptr) return nullptr;
    if (!check_instance(bound[0], schema_class, "Schema", "schema")) return nullptr;
    RandomSource::State words;
    if (!random_state(bound[1], &words)) return nullptr;
    return wrap(type, GeneratorState{false, CypherGenerator(Schema(schema_value(bound[0])),
                                                            RandomSource(words))});
  });
}

}  // namespace quorvane::py
