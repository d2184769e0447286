"""Commands and removed syntax through the module (extended language)."""

import unittest

from package_support import _quorvane, quorvane

from _quorvane import CypherValidator, Schema, parse_query


def movie_validator():
    schema = Schema({"Person": ["name", "age"], "Movie": ["title"]},
                    {"ACTED_IN": ("Person", "Movie", ["role"])})
    return CypherValidator(schema, language="extended")


class CommandTest(unittest.TestCase):
    def test_parse_query_lists_the_names_of_a_constraint(self):
        info = parse_query("CREATE CONSTRAINT FOR (p:Person) REQUIRE p.name IS UNIQUE",
                           language="extended")
        self.assertTrue(info.is_valid, info.errors)
        self.assertEqual((info.labels_used, info.rel_types_used, info.properties_used),
                         (["Person"], [], ["name"]))
        self.assertFalse(parse_query("SHOW INDEXES").is_valid)

    def test_unknown_label_in_a_command_has_its_fix(self):
        text = "CREATE INDEX FOR (p:Persn) ON (p.name)"
        result = movie_validator().validate(text)
        [d] = result.diagnostics
        self.assertEqual(d.code, "unknown-label")
        self.assertEqual(text[d.start:d.end], "Persn")
        self.assertEqual(movie_validator().fix(text).query,
                         "CREATE INDEX FOR (p:Person) ON (p.name)")

    def test_removed_syntax_is_fixed_to_a_clean_statement(self):
        validator = movie_validator()
        for old, new in [
            ("CREATE CONSTRAINT ON (p:Person) ASSERT p.name IS UNIQUE",
             "CREATE CONSTRAINT FOR (p:Person) REQUIRE p.name IS UNIQUE"),
            ("CREATE INDEX ON :Person(name)", "CREATE INDEX FOR (n:Person) ON (n.name)"),
            ("MATCH (p:Person) WHERE exists(p.name) RETURN p",
             "MATCH (p:Person) WHERE (p.name IS NOT NULL) RETURN p"),
            ("MATCH (p:Person {name: {name}}) RETURN p", "MATCH (p:Person {name: $name}) RETURN p"),
        ]:
            with self.subTest(old=old):
                codes = [d.code for d in validator.validate(old).diagnostics]
                self.assertEqual(set(codes), {"removed-syntax"})
                fixed = validator.fix(old)
                self.assertEqual(fixed.query, new)
                self.assertTrue(validator.validate(new).is_valid)

    def test_missing_semicolon(self):
        text = "MATCH (n) RETURN n MATCH (m) RETURN m"
        [d] = movie_validator().validate(text).diagnostics
        self.assertEqual((d.code, d.message), ("syntax-error", "missing ';' between statements"))
        self.assertEqual((d.line, d.column), (1, 20))
        [edit] = d.edits
        self.assertEqual((edit.start, edit.end, edit.replacement), (18, 18, ";"))

    def test_rules_list_removed_syntax(self):
        codes = [rule.code for rule in quorvane.rules()]
        self.assertIn("removed-syntax", codes)
        self.assertEqual(len(codes), len(_quorvane._rule_table()))


if __name__ == "__main__":
    unittest.main()
