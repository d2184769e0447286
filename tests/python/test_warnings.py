"""ValidationResult.warnings: findings that leave a query valid (extended
language only), kept by pickling and by batches."""

import pickle
import unittest

import _quorvane
import support

# ACTED_IN declares one pair, so m is a Movie, which declares no 'titel'.
WARNED = "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN m.titel"
WARNING = "Unknown property 'titel' on variable 'm', which :ACTED_IN makes a :Movie, did you mean 'title'?"


class WarningsTest(unittest.TestCase):
    def setUp(self):
        self.extended = _quorvane.CypherValidator(support.movie_schema(), language="extended")
        self.subset = _quorvane.CypherValidator(support.movie_schema())

    def test_a_warning_leaves_the_query_valid(self):
        r = self.extended.validate(WARNED)
        self.assertEqual(r.warnings, [WARNING])
        self.assertTrue(r.is_valid)
        self.assertEqual((r.errors, r.semantic_errors, len(r)), ([], [], 0))
        self.assertEqual(repr(r), "ValidationResult(is_valid=true, errors=[])")

    def test_warnings_come_with_errors_too(self):
        r = self.extended.validate("MATCH (p:Persn)-[:ACTED_IN]->(m) RETURN m.titel")
        self.assertEqual(r.semantic_errors, ["Unknown node label: :Persn, did you mean :Person?"])
        self.assertEqual(r.warnings, [WARNING])

    def test_none_for_a_clean_query_a_syntax_error_or_the_subset(self):
        self.assertEqual(self.extended.validate("MATCH (p)-[:ACTED_IN]->(m) RETURN m.title").warnings, [])
        self.assertEqual(self.extended.validate("MATCH (m RETURN m.titel").warnings, [])
        r = self.subset.validate(WARNED)
        self.assertEqual((r.is_valid, r.warnings), (True, []))

    def test_the_attribute_is_read_only_and_a_new_list(self):
        r = self.extended.validate(WARNED)
        with self.assertRaises(AttributeError):
            r.warnings = []
        r.warnings.append("x")
        self.assertEqual(r.warnings, [WARNING])
        self.assertEqual(
            _quorvane.ValidationResult.warnings.__doc__,
            "Warnings: findings that do not make the query invalid.",
        )

    def test_pickling_keeps_warnings(self):
        for query in (WARNED, "MATCH (p:Persn)-[:ACTED_IN]->(m) RETURN m.titel", "MATCH (m) RETURN m"):
            r = self.extended.validate(query)
            back = pickle.loads(pickle.dumps(r))
            self.assertEqual(
                (back.is_valid, back.errors, back.semantic_errors, back.warnings),
                (r.is_valid, r.errors, r.semantic_errors, r.warnings),
            )

    def test_results_pickled_without_warnings_still_load(self):
        old = _quorvane._restore_validation_result([], ["x"])
        self.assertEqual((old.is_valid, old.errors, old.warnings), (False, ["x"], []))
        new = _quorvane._restore_validation_result([], [], ["w"])
        self.assertEqual((new.is_valid, new.warnings), (True, ["w"]))
        with self.assertRaises(TypeError):
            _quorvane._restore_validation_result([], [], [1])
        # A result without warnings pickles as before: two arguments.
        self.assertEqual(len(self.extended.validate("MATCH (m) RETURN m").__reduce__()[1]), 2)

    def test_batches_carry_warnings(self):
        queries = [WARNED, "MATCH (m:Movie) RETURN m.title"] * 40
        for validator in (self.extended, self.subset):
            batch = [r.warnings for r in validator.validate_batch(queries)]
            self.assertEqual(batch, [r.warnings for r in map(validator.validate, queries)])
        self.assertEqual(self.extended.validate_batch(queries)[0].warnings, [WARNING])
        self.assertEqual(self.subset.validate_batch(queries)[0].warnings, [])


if __name__ == "__main__":
    unittest.main()
