"""Completion and hover of the language server, without the protocol: what a
position asks for, and what the schema offers there."""

import unittest

import package_support  # noqa: F401 (puts the package under test on the path)

import _quorvane
from quorvane.server.assist import SchemaView, completions, context_at, hover_text, variable_owners, word_at

SCHEMA = _quorvane.Schema(
    {"Person": ["name", "born"], "Movie": ["title", "released"], "Studio Lot": ["address"]},
    {
        "ACTED_IN": ("Person", "Movie", ["roles"]),
        "WORKS_AT": {"endpoints": [("Person", "Studio Lot"), ("Movie", "Studio Lot")], "properties": ["since"]},
        "RELATED": {"endpoints": None, "properties": []},
    },
)
VIEW = SchemaView(SCHEMA)


def at_cursor(text):
    """context_at where the text holds the cursor as '|^'."""
    index = text.index("|^")
    return context_at(text.replace("|^", ""), index)


class ContextTest(unittest.TestCase):
    def assertContext(self, text, kind, prefix="", owner=None, owners=None):
        context = at_cursor(text)
        self.assertEqual((context.kind, context.prefix), (kind, prefix), text)
        self.assertEqual(context.start, text.index("|^") - len(prefix), text)
        if owner is not None:
            self.assertEqual((context.owner, context.owners), (owner, owners), text)

    def test_labels_in_patterns_and_label_expressions(self):
        for text in [
            "MATCH (p:|^",
            "MATCH (p:Pe|^",
            "MATCH (:Pe|^)",
            "MATCH (p:Person:Pe|^",
            "MATCH (p:Person|Pe|^",
            "MATCH (p:Person&!Pe|^",
            "MATCH (p) WHERE p:Pe|^",
            "MATCH (a) RETURN a;\nMATCH (b)-->(c:Pe|^",
        ]:
            prefix = "Pe" if "Pe|^" in text else ""
            self.assertContext(text, "label", prefix)

    def test_relationship_types(self):
        for text in ["MATCH (a)-[:|^", "MATCH (a)<-[r:AC|^]-(b)", "MATCH (a)-[:ACTED_IN|AC|^", "MATCH (a)-[r:ACTED_IN|:AC|^"]:
            prefix = "AC" if "AC|^" in text else ""
            self.assertContext(text, "type", prefix)

    def test_properties_of_a_variable_from_its_patterns(self):
        self.assertContext("MATCH (m:Movie) RETURN m.|^", "property", "", "node", ("Movie",))
        self.assertContext("MATCH (m:Movie:Person) WHERE m.ti|^", "property", "ti", "node", ("Movie", "Person"))
        self.assertContext("MATCH (m) WHERE m:Movie RETURN m.|^", "property", "", "node", ("Movie",))
        self.assertContext("MATCH ()-[r:ACTED_IN]->() RETURN r.r|^", "property", "r", "relationship", ("ACTED_IN",))
        self.assertContext("MATCH ()-[r]->() RETURN r.|^", "property", "", "relationship", ())
        self.assertContext("MATCH (x) RETURN x.|^", "property", "", "node", ())
        self.assertContext("MATCH (m:Movie) RETURN m {.ti|^", "property", "ti", "node", ("Movie",))
        self.assertContext("MATCH (s:`Studio Lot`) RETURN s.|^", "property", "", "node", ("Studio Lot",))

    def test_keys_of_a_pattern_map(self):
        self.assertContext("MATCH (m:Movie {|^", "map-key", "", "node", ("Movie",))
        self.assertContext('MATCH (m:Movie {title: "x", re|^', "map-key", "re", "node", ("Movie",))
        self.assertContext("MATCH ()-[:ACTED_IN {|^", "map-key", "", "relationship", ("ACTED_IN",))
        self.assertContext("MATCH (p:Person) MATCH (p {n|^", "map-key", "n", "node", ("Person",))

    def test_keywords_elsewhere_and_nothing_inside_strings_comments_and_numbers(self):
        self.assertContext("MATCH (n) RE|^", "keyword", "RE")
        self.assertContext("MATCH (m:Movie {title: |^", "keyword")
        self.assertContext("RETURN [x IN range(1, 3) | co|^", "keyword", "co")
        self.assertContext("RETURN {a: 1, b: |^", "keyword")
        self.assertContext("RETURN {a|^", "none", "a")
        self.assertContext("MATCH (m:Movie {title: 'a:|^", "none")
        self.assertContext("MATCH (m) // (x:|^", "none")
        self.assertContext("MATCH (m) /* m.|^", "none")
        self.assertContext("RETURN 1.|^", "none")

    def test_variable_owners_ignore_lists_and_other_variables(self):
        self.assertEqual(variable_owners("UNWIND [x IN l] AS y MATCH (x:Person)", "x"), ("node", ("Person",)))
        self.assertEqual(variable_owners("MATCH (mx:Movie), (m:Person)", "m"), ("node", ("Person",)))
        self.assertEqual(variable_owners("MATCH (a)-[r:ACTED_IN|WORKS_AT]->(b)", "r"), ("relationship", ("ACTED_IN", "WORKS_AT")))


class CompletionTest(unittest.TestCase):
    def labels(self, text):
        return [c.label for c in completions(at_cursor(text), VIEW)]

    def test_schema_names_in_declaration_order_filtered_by_prefix(self):
        self.assertEqual(self.labels("MATCH (p:|^"), ["Person", "Movie", "Studio Lot"])
        self.assertEqual(self.labels("MATCH (p:mo|^"), ["Movie"])
        self.assertEqual(self.labels("MATCH ()-[:|^"), ["ACTED_IN", "WORKS_AT", "RELATED"])
        self.assertEqual(self.labels("MATCH (m:Movie) RETURN m.|^"), ["title", "released"])
        self.assertEqual(self.labels("MATCH (m:Movie|Person) RETURN m.|^"), ["title", "released", "name", "born"])
        self.assertEqual(self.labels("MATCH ()-[r:WORKS_AT]-() RETURN r.|^"), ["since"])
        # Unknown or missing labels: every key of that kind of element.
        self.assertEqual(self.labels("MATCH (m:Movei) RETURN m.|^"), ["name", "born", "title", "released", "address"])
        self.assertEqual(self.labels("MATCH ()-[r]-() RETURN r.|^"), ["roles", "since"])

    def test_names_that_are_no_identifiers_are_inserted_in_backticks(self):
        (lot,) = completions(at_cursor("MATCH (s:St|^"), VIEW)
        self.assertEqual((lot.label, lot.insert, lot.kind), ("Studio Lot", "`Studio Lot`", "label"))
        self.assertIn("address", lot.detail)
        (works,) = completions(at_cursor("MATCH ()-[:W|^"), VIEW)
        self.assertIn("(:Person)-[:WORKS_AT]->(:`Studio Lot`)", works.detail)

    def test_keywords_and_functions(self):
        found = completions(at_cursor("MATCH (n) RETURN co|^"), VIEW)
        self.assertIn(("count", "function"), [(c.label, c.kind) for c in found])
        self.assertIn(("CONTAINS", "keyword"), [(c.label, c.kind) for c in found])
        self.assertTrue(all(c.label.lower().startswith("co") for c in found))
        self.assertEqual(completions(at_cursor("RETURN 'x|^"), VIEW), [])

    def test_without_a_schema_there_are_no_names(self):
        empty = SchemaView(None)
        self.assertEqual(completions(at_cursor("MATCH (p:|^"), empty), [])
        self.assertEqual(completions(at_cursor("MATCH (p:Person) RETURN p.|^"), empty), [])


class HoverTest(unittest.TestCase):
    TEXT = "MATCH (p:Person)-[w:WORKS_AT]->(s:`Studio Lot`), (m:Movie)-[:RELATED]-(m) RETURN p.since, w.since, m.Nope"

    def hover(self, word, offset=1, occurrence=0):
        index = self.TEXT.index(word)
        for _ in range(occurrence):
            index = self.TEXT.index(word, index + 1)
        return hover_text(self.TEXT, index + offset, VIEW)

    def test_labels_show_their_properties_and_relationships(self):
        text, span = self.hover("Person")
        self.assertEqual(self.TEXT[span[0] : span[1]], "Person")
        self.assertIn("`name`, `born`", text)
        self.assertIn("`(:Person)-[:ACTED_IN]->(:Movie)`", text)
        self.assertIn("`(:Person)-[:WORKS_AT]->(:`Studio Lot`)`", text)
        self.assertNotIn("(:Movie)-[:WORKS_AT]", text)
        text, span = self.hover("`Studio Lot`", offset=3)
        self.assertEqual(self.TEXT[span[0] : span[1]], "`Studio Lot`")
        self.assertIn("`address`", text)

    def test_types_show_every_pair_or_that_ends_are_free(self):
        text, _ = self.hover("WORKS_AT", offset=len("WORKS_AT"))
        self.assertIn("(:Person)-[:WORKS_AT]->(:`Studio Lot`)", text)
        self.assertIn("(:Movie)-[:WORKS_AT]->(:`Studio Lot`)", text)
        self.assertIn("`since`", text)
        text, _ = self.hover("RELATED")
        self.assertIn("not declared", text)
        self.assertIn("Properties: none declared", text)

    def test_properties_say_where_they_are_declared(self):
        text, _ = self.hover("since")
        self.assertIn("Not declared on `:Person`", text)
        self.assertIn("Declared on: `[:WORKS_AT]`", text)
        text, _ = self.hover("since", occurrence=1)
        self.assertNotIn("Not declared on", text)
        text, _ = self.hover("Nope")
        self.assertIn("Not declared on any", text)

    def test_nothing_for_keywords_variables_and_space(self):
        self.assertIsNone(self.hover("MATCH"))
        self.assertIsNone(self.hover("RETURN"))
        self.assertIsNone(hover_text("MATCH  (n)", 6, VIEW))
        self.assertEqual(word_at("ab cd", 2), (0, 2))
        self.assertIsNone(word_at("ab  cd", 3))


if __name__ == "__main__":
    unittest.main()
