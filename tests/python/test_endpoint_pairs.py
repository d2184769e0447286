"""Relationship types that join several label pairs: the mapping form, its
errors, the lookups, the dict form round trip and the validator's findings."""

import unittest

import _quorvane

Schema = _quorvane.Schema

NODES = {"Organization": ["name"], "Person": ["name"], "Actor": [], "Movie": ["title"]}
RELATIONSHIPS = {
    "HAS_INVESTOR": {
        "endpoints": [("Organization", "Organization"), ["Organization", "Person"]],
        "properties": ["since"],
    },
    "ACTED_IN": {"endpoints": (("Actor", "Movie"), ("Person", "Movie"))},
    "DIRECTED": ("Person", "Movie", []),
    "MENTIONS": {"endpoints": None, "properties": ["weight"]},
}


def schema():
    return Schema(NODES, RELATIONSHIPS)


class MappingFormTest(unittest.TestCase):
    def assertTypeError(self, message, value):
        with self.assertRaises(TypeError) as cm:
            Schema({}, {"KNOWS": value})
        self.assertEqual(str(cm.exception), message)

    def test_pairs_keep_order_and_repeats_are_kept_once(self):
        s = Schema({}, {"R": {"endpoints": [("A", "B"), ("C", "D"), ("A", "B"), ("B", "A")]}})
        self.assertEqual(s.rel_endpoint_pairs("R"), [("A", "B"), ("C", "D"), ("B", "A")])
        self.assertEqual(s.rel_endpoints("R"), ("A", "B"))
        self.assertEqual(s.rel_properties("R"), [])

    def test_lookups(self):
        s = schema()
        self.assertEqual(
            s.rel_endpoint_pairs("HAS_INVESTOR"),
            [("Organization", "Organization"), ("Organization", "Person")],
        )
        self.assertEqual(s.rel_properties("HAS_INVESTOR"), ["since"])
        self.assertEqual(s.rel_endpoint_pairs("DIRECTED"), [("Person", "Movie")])
        self.assertEqual(s.rel_endpoint_pairs("UNKNOWN"), [])
        # A type declared without ends is known, with its properties, but has
        # no first pair.
        self.assertTrue(s.has_rel_type("MENTIONS"))
        self.assertIsNone(s.rel_endpoints("MENTIONS"))
        self.assertEqual(s.rel_endpoint_pairs("MENTIONS"), [])
        self.assertEqual(s.rel_properties("MENTIONS"), ["weight"])
        with self.assertRaises(TypeError) as cm:
            s.rel_endpoint_pairs(1)
        self.assertEqual(str(cm.exception), "argument 'rel_type': 'int' object cannot be cast as 'str'")
        self.assertEqual(s.rel_endpoint_pairs(rel_type="ACTED_IN"), [("Actor", "Movie"), ("Person", "Movie")])

    def test_returned_pairs_are_new_objects(self):
        s = schema()
        pairs = s.rel_endpoint_pairs("ACTED_IN")
        pairs.clear()
        self.assertEqual(len(s.rel_endpoint_pairs("ACTED_IN")), 2)

    def test_malformed_mappings_name_the_type(self):
        pairs = (
            "Expected a non-empty list of (str, str) pairs, or None, for 'endpoints' of "
            "relationship 'KNOWS', e.g. [('Person', 'Movie'), ('Company', 'Movie')]"
        )
        for bad in ([], (), "AB", ("A", "B"), 5, {("A", "B")}):
            with self.subTest(endpoints=bad):
                if bad == ("A", "B"):
                    # Two strings, not a list of pairs: the first item is no pair.
                    self.assertTypeError(
                        "Expected (str, str) for endpoints[0] of relationship 'KNOWS', "
                        "e.g. ('Person', 'Movie')",
                        {"endpoints": bad},
                    )
                else:
                    self.assertTypeError(pairs, {"endpoints": bad})
        for i, bad in ((0, ("A",)), (0, ("A", "B", "C")), (1, ("A", 1)), (1, "AB"), (1, None), (1, (b"A", "B"))):
            with self.subTest(pair=bad):
                self.assertTypeError(
                    f"Expected (str, str) for endpoints[{i}] of relationship 'KNOWS', "
                    "e.g. ('Person', 'Movie')",
                    {"endpoints": [("X", "Y"), bad] if i else [bad]},
                )
        self.assertTypeError(
            "Missing 'endpoints' for relationship 'KNOWS', "
            "e.g. {'endpoints': [('Person', 'Movie')], 'properties': ['role']}",
            {"properties": []},
        )
        self.assertTypeError(
            "Unknown key 'endpoint' for relationship 'KNOWS'; expected 'endpoints' and 'properties'",
            {"endpoint": [("A", "B")]},
        )
        self.assertTypeError(
            "Unknown key 3 for relationship 'KNOWS'; expected 'endpoints' and 'properties'",
            {"endpoints": [("A", "B")], 3: []},
        )
        for bad in ("since", [1], None):
            with self.subTest(properties=bad):
                self.assertTypeError(
                    "Expected list[str] for 'properties' of relationship 'KNOWS'",
                    {"endpoints": [("A", "B")], "properties": bad},
                )

    def test_the_three_element_form_keeps_its_message(self):
        self.assertTypeError(
            "Expected (str, str, list[str]) for relationship 'KNOWS', e.g. ('Person', 'Movie', ['role'])",
            ["A", "B", [], []],
        )

    def test_a_failing_entry_creates_nothing(self):
        with self.assertRaises(TypeError):
            Schema({}, {"A": {"endpoints": [("X", "Y")]}, "B": {"endpoints": []}})


class DictFormTest(unittest.TestCase):
    def test_one_pair_is_written_in_the_three_element_form(self):
        d = schema().to_dict()
        self.assertEqual(d["relationships"]["DIRECTED"], ("Person", "Movie", []))
        # A mapping with one pair is one pair.
        one = Schema({}, {"R": {"endpoints": [("A", "B")], "properties": ["p"]}})
        self.assertEqual(one.to_dict()["relationships"], {"R": ("A", "B", ["p"])})

    def test_several_pairs_and_none_are_written_as_mappings(self):
        d = schema().to_dict()
        self.assertEqual(
            d["relationships"]["HAS_INVESTOR"],
            {"endpoints": [("Organization", "Organization"), ("Organization", "Person")], "properties": ["since"]},
        )
        self.assertEqual(d["relationships"]["MENTIONS"], {"endpoints": None, "properties": ["weight"]})
        self.assertEqual(list(d["relationships"]), ["HAS_INVESTOR", "ACTED_IN", "DIRECTED", "MENTIONS"])

    def test_round_trips(self):
        d = schema().to_dict()
        for rebuilt in (Schema(**d), Schema.from_dict(d), Schema(d["nodes"], d["relationships"])):
            self.assertEqual(rebuilt.to_dict(), d)
            for rel in rebuilt.rel_types():
                self.assertEqual(rebuilt.rel_endpoint_pairs(rel), schema().rel_endpoint_pairs(rel))

    def test_repr_lists_names_only(self):
        self.assertEqual(
            repr(schema()),
            'Schema(nodes=["Organization", "Person", "Actor", "Movie"], '
            'relationships=["HAS_INVESTOR", "ACTED_IN", "DIRECTED", "MENTIONS"])',
        )


class ValidationTest(unittest.TestCase):
    def setUp(self):
        self.validator = _quorvane.CypherValidator(schema())

    def errors(self, query):
        result = self.validator.validate(query)
        self.assertEqual(result.syntax_errors, [], query)
        return result.semantic_errors

    def test_every_declared_pair_is_accepted(self):
        for query in (
            "MATCH (o:Organization)-[:HAS_INVESTOR]->(i:Person) RETURN o",
            "MATCH (o:Organization)-[:HAS_INVESTOR]->(i:Organization) RETURN o",
            "MATCH (m:Movie)<-[:ACTED_IN]-(a:Actor) RETURN m",
            "MATCH (m:Movie)-[:ACTED_IN]-(p:Person) RETURN m",
            "MATCH (p:Person)-[:MENTIONS]->(m:Movie) RETURN p",
        ):
            with self.subTest(query=query):
                self.assertEqual(self.errors(query), [])

    def test_findings_name_what_was_declared(self):
        self.assertEqual(
            self.errors("MATCH (p:Person)-[:HAS_INVESTOR]->(o:Organization) RETURN p"),
            ["Relationship :HAS_INVESTOR expects source label :Organization, but node has label(s): :Person"],
        )
        self.assertEqual(
            self.errors("MATCH (m:Movie)-[:ACTED_IN]->(n:Movie) RETURN m"),
            ["Relationship :ACTED_IN expects source label :Actor or :Person, but node has label(s): :Movie"],
        )
        self.assertEqual(
            self.errors("MATCH (p:Person)-[:ACTED_IN]-(o:Organization) RETURN p"),
            [
                "Relationship :ACTED_IN expects label :Actor, :Movie or :Person at either end, "
                "but node has label(s): :Organization"
            ],
        )

    def test_one_pair_types_keep_their_messages(self):
        self.assertEqual(
            self.errors("MATCH (m:Movie)-[:DIRECTED]->(p:Person) RETURN m"),
            [
                "Relationship :DIRECTED expects source label :Person, but node has label(s): :Movie",
                "Relationship :DIRECTED expects target label :Movie, but node has label(s): :Person",
            ],
        )


if __name__ == "__main__":
    unittest.main()
