"""The language switch: the subset by default, the extended language on request."""

import unittest

import _quorvane
import support

EXTENDED_ONLY = "MATCH (p:Person) WHERE EXISTS { MATCH (p)-[:ACTED_IN]->(m:Movie) } RETURN p.name"


class ValidatorLanguageTest(unittest.TestCase):
    def setUp(self):
        self.schema = support.movie_schema()

    def test_the_subset_is_the_default_and_keeps_its_repr(self):
        v = _quorvane.CypherValidator(self.schema)
        self.assertEqual(v.language, "subset")
        self.assertEqual(repr(v), "CypherValidator()")
        self.assertEqual(repr(_quorvane.CypherValidator(self.schema, language="subset")), "CypherValidator()")
        self.assertFalse(v.validate(EXTENDED_ONLY).is_valid)

    def test_the_extended_language(self):
        v = _quorvane.CypherValidator(self.schema, language="extended")
        self.assertEqual(v.language, "extended")
        self.assertEqual(repr(v), "CypherValidator(language='extended')")
        self.assertTrue(v.validate(EXTENDED_ONLY).is_valid)
        # Names inside a subquery are checked.
        r = v.validate("MATCH (p:Person) WHERE EXISTS { (p)-[:ACTED_IN]->(m:Movei) } RETURN p")
        self.assertEqual(r.semantic_errors, ["Unknown node label: :Movei, did you mean :Movie?"])

    def test_validate_batch_uses_the_validators_language(self):
        queries = [EXTENDED_ONLY, "MATCH (p:Persn) RETURN p"] * 50
        for language in ("subset", "extended"):
            v = _quorvane.CypherValidator(self.schema, language=language)
            batch = [(r.is_valid, r.errors) for r in v.validate_batch(queries)]
            one_by_one = [(r.is_valid, r.errors) for r in map(v.validate, queries)]
            self.assertEqual(batch, one_by_one)
        extended = _quorvane.CypherValidator(self.schema, language="extended")
        self.assertTrue(extended.validate_batch([EXTENDED_ONLY])[0].is_valid)

    def test_the_language_is_read_only(self):
        v = _quorvane.CypherValidator(self.schema, language="extended")
        with self.assertRaises(AttributeError):
            v.language = "subset"

    def test_bad_language_values(self):
        with self.assertRaisesRegex(ValueError, r"language must be 'subset' or 'extended', not 'full'"):
            _quorvane.CypherValidator(self.schema, language="full")
        with self.assertRaisesRegex(ValueError, "not 'Extended'"):
            _quorvane.CypherValidator(self.schema, language="Extended")
        for bad in (1, None, b"extended"):
            with self.assertRaisesRegex(TypeError, "argument 'language'"):
                _quorvane.CypherValidator(self.schema, language=bad)

    def test_the_language_is_keyword_only(self):
        with self.assertRaisesRegex(TypeError, r"takes 1 positional arguments but 2 were given"):
            _quorvane.CypherValidator(self.schema, "extended")
        with self.assertRaisesRegex(TypeError, r"unexpected keyword argument 'lang'"):
            _quorvane.CypherValidator(self.schema, lang="extended")


class ParseQueryLanguageTest(unittest.TestCase):
    def test_the_subset_is_the_default(self):
        self.assertFalse(_quorvane.parse_query(EXTENDED_ONLY).is_valid)
        self.assertFalse(_quorvane.parse_query(EXTENDED_ONLY, language="subset").is_valid)

    def test_extended_inspection_sees_inside_every_construct(self):
        info = _quorvane.parse_query(
            "MATCH (p:Person) WHERE EXISTS { MATCH (p)-[:ACTED_IN]->(m:Movie) WHERE m.year > 1 } "
            "WITH p ORDER BY p.age SET p:Star "
            "RETURN p{.name, n: COUNT { (p)-[:DIRECTED]->(:Film) }}, [(p)-->(x:Thing) | x.size]",
            language="extended",
        )
        self.assertTrue(info.is_valid, info.errors)
        self.assertEqual(info.labels_used, ["Film", "Movie", "Person", "Star", "Thing"])
        self.assertEqual(info.rel_types_used, ["ACTED_IN", "DIRECTED"])
        self.assertEqual(info.properties_used, ["age", "name", "size", "year"])

    def test_bad_language_values(self):
        with self.assertRaises(ValueError):
            _quorvane.parse_query("RETURN 1", language="cypher25")
        with self.assertRaises(TypeError):
            _quorvane.parse_query("RETURN 1", language=2)
        with self.assertRaisesRegex(TypeError, r"takes 1 positional arguments but 2 were given"):
            _quorvane.parse_query("RETURN 1", "extended")


if __name__ == "__main__":
    unittest.main()
