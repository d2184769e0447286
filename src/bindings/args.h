// Binding and converting the arguments of Python-callable operations.
//
// Every function here returns false (or null) with a Python exception set on
// failure. Binding failures are TypeErrors naming the operation, e.g.
// "Schema.__new__() missing 1 required positional argument: 'relationships'".
// Conversion TypeErrors name the parameter: "argument 'nodes': 'list' object
// cannot be cast as 'dict'"; other exception kinds pass through unchanged.
#ifndef QUORVANE_BINDINGS_ARGS_H_
#define QUORVANE_BINDINGS_ARGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bindings/python.h"
#include "parser/language.h"

namespace quorvane::py {

// The parameter list of one operation. The first `positional` parameters
// (all of them when it is negative) are positional-or-keyword, the rest
// keyword-only; the first `required` have no default.
struct Signature {
  const char* full_name;  // "CypherValidator.validate()", "parse_query()"
  const char* const* names;
  Py_ssize_t count;
  Py_ssize_t required;
  Py_ssize_t positional = -1;

  Py_ssize_t positional_count() const { return positional < 0 ? count : positional; }
};

// Binds a vectorcall argument list into out[0..count). Omitted optional
// parameters are left null; bound values are borrowed.
bool bind_vector(const Signature& sig, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames,
                 PyObject** out);

// The same for a tuple and an optional keyword dict (constructors).
bool bind_tuple(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** out);

// Raises TypeError "'{type of obj}' object cannot be cast as '{expected}'",
// prefixed "argument '{arg}': " unless arg is null.
void raise_cast_error(PyObject* obj, const char* expected, const char* arg);

// If the pending exception is exactly a TypeError, replaces it with one whose
// message carries the "argument '{arg}': " prefix.
void prefix_type_error(const char* arg);

// A str (subclasses included) as UTF-8, without copying: the view lives as
// long as the object. A str that cannot be encoded (lone surrogates) raises
// the interpreter's UnicodeEncodeError.
bool to_text(PyObject* obj, const char* arg, std::string_view* out);

// A dict instance (subclasses included); raises the cast error otherwise.
bool check_dict(PyObject* obj, const char* arg);

// An instance of `type`, named `expected` in the error.
bool check_instance(PyObject* obj, PyTypeObject* type, const char* expected, const char* arg);

// A sequence other than a str whose items are all str: calls sink(context,
// item) for each in order. The view passed to the sink is only valid during
// that call.
bool for_each_text(PyObject* obj, const char* arg, void (*sink)(void*, std::string_view),
                   void* context);

template <class F>
bool for_each_text(PyObject* obj, const char* arg, F&& sink) {
  return for_each_text(
      obj, arg, [](void* f, std::string_view text) { (*static_cast<F*>(f))(text); }, &sink);
}

// The same, copied into a vector.
bool to_text_list(PyObject* obj, const char* arg, std::vector<std::string>* out);

// None (or an omitted argument, null) gives nothing; otherwise an int, or an
// object with __index__, from 0 to 2**64 - 1. Too small or too large raises
// the interpreter's OverflowError, without prefix.
bool to_optional_u64(PyObject* obj, const char* arg, std::optional<uint64_t>* out);

// The `language` argument: omitted (null) gives the subset; "subset"
// or "extended" selects that language. Another str raises ValueError naming
// the two, anything else TypeError.
bool to_language(PyObject* obj, Language* out);

}  // namespace quorvane::py

#endif  // QUORVANE_BINDINGS_ARGS_H_
