"""CypherValidator.validate and the ValidationResult class."""

import unittest

import _quorvane
import support


class ValidateTest(unittest.TestCase):
    def setUp(self):
        self.schema = support.movie_schema()
        self.v = _quorvane.CypherValidator(self.schema)

    def test_valid_query(self):
        r = self.v.validate("MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name, m.title")
        self.assertIs(r.is_valid, True)
        self.assertEqual((r.errors, r.syntax_errors, r.semantic_errors), ([], [], []))
        self.assertIs(bool(r), True)
        self.assertEqual(len(r), 0)
        self.assertEqual(repr(r), "ValidationResult(is_valid=true, errors=[])")

    def test_semantic_errors(self):
        r = self.v.validate("MATCH (p:Persn) RETURN p.name")
        self.assertIs(r.is_valid, False)
        self.assertEqual(r.syntax_errors, [])
        self.assertEqual(r.semantic_errors, ["Unknown node label: :Persn, did you mean :Person?"])
        self.assertEqual(r.errors, r.semantic_errors)
        self.assertIs(bool(r), False)
        self.assertEqual(len(r), 1)
        self.assertEqual(
            repr(r),
            'ValidationResult(is_valid=false, errors=["Unknown node label: :Persn, '
            'did you mean :Person?"])',
        )

    def test_two_semantic_errors_keep_their_order(self):
        r = self.v.validate("MATCH (p:Persn)-[:ACTED_INN]->(m:Movie) RETURN p")
        self.assertEqual(len(r.semantic_errors), 2, r.errors)
        self.assertEqual(r.errors, r.semantic_errors)
        self.assertIn(":Persn", r.errors[0])
        self.assertIn(":ACTED_INN", r.errors[1])

    def test_syntax_error(self):
        r = self.v.validate("MATCH (p:Person RETURN p")
        self.assertIs(r.is_valid, False)
        self.assertEqual(len(r.syntax_errors), 1)
        self.assertEqual(r.errors, r.syntax_errors)
        self.assertEqual(r.semantic_errors, [])
        self.assertFalse(r.syntax_errors[0].startswith("Parse error: "))
        # Line breaks inside a message are escaped in the repr.
        self.assertIn("\\n", repr(r))
        self.assertNotIn("\n", repr(r))

    def test_list_attributes_are_new_lists(self):
        r = self.v.validate("MATCH (p:Persn) RETURN p")
        for name in ("errors", "syntax_errors", "semantic_errors"):
            first, second = getattr(r, name), getattr(r, name)
            self.assertEqual(first, second)
            self.assertIsNot(first, second)
            first.append("changed")
            self.assertNotIn("changed", getattr(r, name))

    def test_validator_copies_the_schema(self):
        d = {"nodes": {"A": []}, "relationships": {}}
        schema = _quorvane.Schema.from_dict(d)
        v = _quorvane.CypherValidator(schema)
        del schema
        d["nodes"]["B"] = []
        self.assertTrue(v.validate("MATCH (a:A) RETURN a").is_valid)
        self.assertFalse(v.validate("MATCH (b:B) RETURN b").is_valid)

    def test_repr_of_validator(self):
        self.assertEqual(repr(_quorvane.CypherValidator(_quorvane.Schema({}, {}))),
                         "CypherValidator()")

    def test_empty_and_odd_texts_never_raise(self):
        for text in ("", " ", "\0", "MATCH (n:\U0001F600) RETURN n", "😀" * 1000,
                     "RETURN " + "(" * 2000 + "1" + ")" * 2000):
            r = self.v.validate(text)
            self.assertIsInstance(r.is_valid, bool)
            self.assertEqual(bool(r), r.is_valid)
            self.assertEqual(len(r), len(r.errors))

    def test_non_ascii_text_in_messages_round_trips(self):
        r = self.v.validate("MATCH (p:Persön) RETURN p")
        self.assertFalse(r.is_valid)
        self.assertIn(":Persön", r.errors[0])
        self.assertIn(":Persön", repr(r))


if __name__ == "__main__":
    unittest.main()
