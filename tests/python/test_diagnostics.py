"""Diagnostics, edits and fixes as Python sees them: positions are str
indices and 1-based lines and columns in characters, values are plain and
JSON-ready, and everything pickles."""

import copy
import json
import pickle
import unittest

from support import _quorvane, bench_schema as movies_schema

from package_support import quorvane


def apply(query, edits):
    for edit in sorted(edits, key=lambda e: e.start, reverse=True):
        query = query[: edit.start] + edit.replacement + query[edit.end :]
    return query


class DiagnosticTest(unittest.TestCase):
    def setUp(self):
        self.extended = _quorvane.CypherValidator(movies_schema(), language="extended")
        self.subset = _quorvane.CypherValidator(movies_schema())

    def test_a_finding_points_at_its_text_in_str_indices(self):
        query = "MATCH (p:Person {name: 'Zoë'})\n// ünïcode\nRETURN p.nmae"
        (d,) = self.extended.validate(query).diagnostics
        self.assertEqual(query[d.start : d.end], "nmae")
        self.assertEqual((d.line, d.column, d.end_line, d.end_column), (3, 10, 3, 14))
        self.assertEqual((d.code, d.severity, d.suggestion), ("unknown-property", "error", "name"))
        self.assertEqual(apply(query, d.edits), query.replace("nmae", "name"))
        self.assertTrue(self.extended.validate(apply(query, d.edits)).is_valid)

    def test_errors_come_first_in_the_order_of_errors_then_warnings(self):
        query = "MATCH (p:Persn)-[:ACTED_IN]->(m) RETURN q, m.titel"
        result = self.extended.validate(query)
        messages = [d.message for d in result.diagnostics]
        self.assertEqual(messages, result.errors + result.warnings)
        self.assertTrue(result.warnings)
        self.assertEqual([d.severity for d in result.diagnostics][-1], "warning")
        self.assertEqual({d.code for d in result.diagnostics}, {"unknown-label", "unbound-variable", "unknown-property"})

    def test_a_syntax_error_points_where_its_text_does(self):
        query = "MATCH (p:Person)\nWHERE p.name = 'Tom' RETRUN p"
        for validator in (self.subset, self.extended):
            result = validator.validate(query)
            (d,) = result.diagnostics
            self.assertEqual(d.code, "syntax-error")
            self.assertEqual(query[d.start : d.end], "RETRUN")
            self.assertIn(f"--> {d.line}:{d.column}\n", result.syntax_errors[0])
            self.assertIn(d.message, result.syntax_errors[0])

    def test_the_subset_keeps_its_messages(self):
        query = "MATCH (p:Persn) RETURN p"
        result = self.subset.validate(query)
        self.assertEqual(result.errors, ["Unknown node label: :Persn, did you mean :Person?"])
        (d,) = result.diagnostics
        self.assertEqual((query[d.start : d.end], d.suggestion), ("Persn", "Person"))

    def test_to_dict_is_plain_json(self):
        result = self.extended.validate("MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN p")
        as_dict = result.to_dict()
        self.assertEqual(json.loads(json.dumps(as_dict)), as_dict)
        (d,) = as_dict["diagnostics"]
        self.assertEqual(d["code"], "wrong-direction")
        self.assertEqual(d, result.diagnostics[0].to_dict())
        self.assertEqual(
            d["edits"], [{"start": 15, "end": 15, "replacement": "<"}, {"start": 28, "end": 29, "replacement": ""}]
        )
        self.assertFalse(as_dict["is_valid"])

    def test_diagnostics_and_results_pickle_and_copy(self):
        result = self.extended.validate("MATCH (p:Persn) RETURN p.nme, q")
        self.assertEqual(len(result.diagnostics), 2)
        for clone in (pickle.loads(pickle.dumps(result)), copy.deepcopy(result)):
            self.assertEqual(clone.diagnostics, result.diagnostics)
            self.assertEqual(clone.errors, result.errors)
        d = result.diagnostics[0]
        self.assertEqual(pickle.loads(pickle.dumps(d)), d)
        self.assertEqual(pickle.loads(pickle.dumps(d.edits[0])), d.edits[0])
        self.assertNotEqual(d, result.diagnostics[1])
        self.assertIn("unknown-label", repr(d))
        with self.assertRaises(TypeError):
            hash(d)
        with self.assertRaises(ValueError):
            _quorvane._restore_diagnostic("no-such-code", "error", "m", 0, 1, 1, 1, 1, 2, None, [])

    def test_a_valid_query_has_no_diagnostics(self):
        result = self.extended.validate("MATCH (p:Person) RETURN p.name")
        self.assertEqual((result.diagnostics, result.to_dict()["diagnostics"]), ([], []))


class FixTest(unittest.TestCase):
    def setUp(self):
        self.validator = _quorvane.CypherValidator(movies_schema(), language="extended")

    def test_fix_applies_safe_fixes_and_revalidates(self):
        fixed = self.validator.fix("MATCH (p:Persn)<-[:ACTED_IN]-(m:Movie) RETURN p.nmae")
        self.assertEqual(fixed.query, "MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name")
        self.assertTrue(fixed.result.is_valid)
        self.assertEqual(sorted(d.code for d in fixed.applied), ["unknown-label", "unknown-property", "wrong-direction"])
        self.assertIn("FixResult(", repr(fixed))

    def test_fix_leaves_valid_and_unfixable_queries_alone(self):
        for query in ("MATCH (p:Person) RETURN p.name", "MATCH (p:Person) RETURN q", "MATCH (p:Person RETURN p"):
            fixed = self.validator.fix(query)
            self.assertEqual((fixed.query, fixed.applied), (query, []))
            self.assertEqual(fixed.result.errors, self.validator.validate(query).errors)

    def test_fix_checks_its_argument(self):
        with self.assertRaises(TypeError):
            self.validator.fix(42)


class ParametersTest(unittest.TestCase):
    QUERY = "MATCH (p:Person {name: $nme}) WHERE p.born > $from RETURN p LIMIT $limit"

    def setUp(self):
        self.validator = _quorvane.CypherValidator(movies_schema(), language="extended")

    def unknown(self, parameters, query=QUERY):
        result = self.validator.validate(query, parameters=parameters)
        return [query[d.start : d.end] for d in result.diagnostics if d.code == "unknown-parameter"]

    def test_any_collection_of_names_is_taken_and_a_dict_gives_its_keys(self):
        for given in (["name", "limit"], ("name", "limit"), {"name", "limit"}, {"name": 1, "limit": 2},
                      (n for n in ["name", "limit"])):
            with self.subTest(given=type(given).__name__):
                self.assertEqual(self.unknown(given), ["$nme", "$from"])
        self.assertEqual(self.unknown(None), [])
        self.assertEqual(self.unknown(()), ["$nme", "$from", "$limit"])

    def test_the_warning_proposes_the_closest_name_with_its_edit(self):
        result = self.validator.validate(self.QUERY, parameters={"name": "Tom", "from": 1, "limit": 2})
        (d,) = result.diagnostics
        self.assertEqual((d.code, d.severity, d.suggestion), ("unknown-parameter", "warning", "name"))
        self.assertEqual(d.message, "Parameter $nme is not set, did you mean $name?")
        self.assertEqual(apply(self.QUERY, d.edits), self.QUERY.replace("$nme", "$name"))
        self.assertTrue(result.is_valid)
        self.assertEqual(result.warnings, [d.message])

    def test_a_batch_checks_every_query_against_the_same_names(self):
        results = self.validator.validate_batch(["RETURN $a", "RETURN $b", "RETURN 1"], parameters=["a"])
        self.assertEqual([r.warnings for r in results], [[], ["Parameter $b is not set, did you mean $a?"], []])

    def test_bad_names_are_refused(self):
        for bad, message in (("name", "a 'str' is not accepted"), (b"name", "a 'bytes' is not accepted"),
                             ([1], "'int' object cannot be cast as 'str'"), (5, "not iterable")):
            with self.subTest(bad=bad):
                with self.assertRaises(TypeError) as caught:
                    self.validator.validate("RETURN $a", parameters=bad)
                self.assertIn(message, str(caught.exception))
        with self.assertRaises(TypeError):
            self.validator.validate("RETURN $a", ["a"])  # keyword only


class RulesTest(unittest.TestCase):
    def test_every_code_is_listed_once_with_an_example_that_shows_it(self):
        rules = quorvane.rules()
        codes = [rule.code for rule in rules]
        self.assertEqual(len(codes), len(set(codes)))
        self.assertEqual(codes[0], "syntax-error")
        # The movies schema with the types of Person's keys, so that the
        # rules reading property types have something to read.
        d = movies_schema().to_dict()
        d["nodes"]["Person"] = {"properties": {"name": "STRING", "born": "INTEGER"}}
        validator = _quorvane.CypherValidator(_quorvane.Schema.from_dict(d), language="extended")
        for rule in rules:
            with self.subTest(code=rule.code):
                self.assertRegex(rule.code, r"^[a-z]+(-[a-z]+)*$")
                self.assertIn(rule.severity, ("error", "warning"))
                self.assertTrue(rule.summary.endswith("."))
                # Parameters are checked only against the names a caller gives.
                given = () if rule.code == "unknown-parameter" else None
                found = {d.code for d in validator.validate(rule.example, parameters=given).diagnostics}
                self.assertIn(rule.code, found, rule.example)


if __name__ == "__main__":
    unittest.main()
