"""Schemas from the structured form of LLM graph toolkits, and schema files
in either form: recognition, import, errors, and the command line."""

import copy
import json
import unittest

import package_support as ps
import quorvane

# A company graph as a toolkit reads it from a database: property types and
# extra per-property fields, a type with three pairs, labels only used as
# relationship ends (Fund, City), a type known only from its properties
# (REFERS_TO), a repeated relationship row and metadata.
COMPANIES = {
    "node_props": {
        "Organization": [
            {"property": "name", "type": "STRING", "values": ["Acme", "Globex"], "distinct_count": 2},
            {"property": "founded", "type": "DATE"},
            {"property": "isPublic", "type": "BOOLEAN"},
        ],
        "Person": [
            {"property": "name", "type": "STRING"},
            {"property": "born", "type": "INTEGER", "min": "1920", "max": "2005"},
            {"property": "name", "type": "LIST"},
        ],
        "Article": [{"property": "title", "type": "STRING"}, {"property": "sentiment", "type": "FLOAT"}],
    },
    "rel_props": {
        "HAS_INVESTOR": [{"property": "since", "type": "DATE"}, {"property": "stake", "type": "FLOAT"}],
        "REFERS_TO": [{"property": "weight", "type": "FLOAT"}],
    },
    "relationships": [
        {"start": "Organization", "type": "HAS_INVESTOR", "end": "Organization"},
        {"start": "Organization", "type": "HAS_INVESTOR", "end": "Person"},
        {"start": "Organization", "type": "HAS_INVESTOR", "end": "Fund"},
        {"start": "Person", "type": "WORKS_AT", "end": "Organization"},
        {"start": "Article", "type": "MENTIONS", "end": "Organization"},
        {"start": "Organization", "type": "IN_CITY", "end": "City"},
        {"start": "Person", "type": "WORKS_AT", "end": "Organization"},
    ],
    "metadata": {
        "constraint": [{"id": 3, "name": "org_name", "type": "UNIQUENESS", "labelsOrTypes": ["Organization"]}],
        "index": [{"label": "Person", "properties": ["name"], "size": 1200, "type": "RANGE"}],
    },
}

# A movie graph where two labels act in films.
MOVIES = {
    "node_props": {
        "Actor": [{"property": "name", "type": "STRING"}],
        "Person": [{"property": "name", "type": "STRING"}, {"property": "born", "type": "INTEGER"}],
        "Movie": [{"property": "title", "type": "STRING"}, {"property": "released", "type": "INTEGER"}],
    },
    "rel_props": {"ACTED_IN": [{"property": "roles", "type": "LIST"}]},
    "relationships": [
        {"start": "Actor", "type": "ACTED_IN", "end": "Movie"},
        {"start": "Person", "type": "ACTED_IN", "end": "Movie"},
        {"start": "Person", "type": "DIRECTED", "end": "Movie"},
    ],
    "metadata": {"constraint": [], "index": []},
}


class ImportTest(unittest.TestCase):
    def test_labels_types_pairs_and_properties(self):
        schema = quorvane.schema_from_structured(COMPANIES)
        self.assertEqual(schema.node_labels(), ["Organization", "Person", "Article", "Fund", "City"])
        self.assertEqual(schema.node_properties("Organization"), ["name", "founded", "isPublic"])
        self.assertEqual(schema.node_properties("Person"), ["name", "born"])
        self.assertEqual(schema.node_properties("Fund"), [])
        self.assertEqual(schema.rel_types(), ["HAS_INVESTOR", "WORKS_AT", "MENTIONS", "IN_CITY", "REFERS_TO"])
        self.assertEqual(
            schema.rel_endpoint_pairs("HAS_INVESTOR"),
            [("Organization", "Organization"), ("Organization", "Person"), ("Organization", "Fund")],
        )
        self.assertEqual(schema.rel_properties("HAS_INVESTOR"), ["since", "stake"])
        self.assertEqual(schema.rel_endpoint_pairs("WORKS_AT"), [("Person", "Organization")])
        self.assertEqual(schema.rel_properties("WORKS_AT"), [])
        self.assertEqual(schema.rel_endpoint_pairs("REFERS_TO"), [])
        self.assertIsNone(schema.rel_endpoints("REFERS_TO"))
        self.assertEqual(schema.rel_properties("REFERS_TO"), ["weight"])
        # The types are kept; a repeated key keeps its first.
        self.assertEqual(schema.property_type("Organization", "founded"), "DATE")
        self.assertEqual(schema.property_type("Person", "name"), "STRING")
        self.assertEqual(schema.property_type("HAS_INVESTOR", "stake"), "FLOAT")
        self.assertIsNone(schema.property_type("Fund", "name"))

    def test_the_input_is_not_changed(self):
        before = copy.deepcopy(COMPANIES)
        quorvane.schema_from_structured(COMPANIES)
        self.assertEqual(COMPANIES, before)

    def test_the_dict_form_round_trips(self):
        schema = quorvane.schema_from_structured(COMPANIES)
        d = schema.to_dict()
        self.assertEqual(d["relationships"]["WORKS_AT"], ("Person", "Organization", []))
        self.assertEqual(d["relationships"]["REFERS_TO"], {"endpoints": None, "properties": {"weight": "FLOAT"}})
        self.assertEqual(d["nodes"]["Fund"], [])
        self.assertEqual(quorvane.Schema(**d).to_dict(), d)

    def test_validation_with_the_imported_schema(self):
        validator = quorvane.CypherValidator(quorvane.schema_from_structured(COMPANIES))
        ok = [
            "MATCH (o:Organization)-[:HAS_INVESTOR]->(f:Fund) RETURN o.name",
            "MATCH (o:Organization)-[i:HAS_INVESTOR]->(p:Person) WHERE i.stake > 0.1 RETURN p.name",
            "MATCH (a:Article)-[:MENTIONS]->(o:Organization {isPublic: true}) RETURN a.title",
            # No pairs for REFERS_TO: its ends are not checked, its properties are.
            "MATCH (a:Article)-[r:REFERS_TO {weight: 1}]->(p:Person) RETURN a",
            "MATCH (c:City)<-[:REFERS_TO]-(f:Fund) RETURN c",
        ]
        for query in ok:
            with self.subTest(query=query):
                self.assertEqual(validator.validate(query).errors, [])
        self.assertEqual(
            validator.validate("MATCH (p:Person)-[:HAS_INVESTOR]->(o:Organization) RETURN p").errors,
            ["Relationship :HAS_INVESTOR expects source label :Organization, but node has label(s): :Person"],
        )
        self.assertEqual(
            validator.validate("MATCH (a:Article)-[:REFERS_TO {since: 1}]->(p:Person) RETURN a").errors,
            ["Unknown property 'since' for relationship type :REFERS_TO"],
        )
        self.assertEqual(
            validator.validate("MATCH (m:Movie) RETURN m").errors,
            ["Unknown node label: :Movie"],
        )

    def test_several_labels_acting_in_films(self):
        validator = quorvane.CypherValidator(quorvane.schema_from_structured(MOVIES))
        results = validator.validate_batch([
            "MATCH (a:Actor)-[r:ACTED_IN]->(m:Movie) RETURN r.roles",
            "MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.born",
            "MATCH (a:Actor)-[:DIRECTED]->(m:Movie) RETURN a",
        ])
        self.assertEqual([r.errors for r in results[:2]], [[], []])
        self.assertEqual(
            results[2].errors,
            ["Relationship :DIRECTED expects source label :Person, but node has label(s): :Actor"],
        )

    def test_missing_parts_count_as_empty(self):
        schema = quorvane.schema_from_structured({"relationships": [{"start": "A", "type": "T", "end": "B"}]})
        self.assertEqual(schema.node_labels(), ["A", "B"])
        self.assertEqual(schema.rel_endpoints("T"), ("A", "B"))
        empty = quorvane.schema_from_structured({"node_props": {}})
        self.assertEqual((empty.node_labels(), empty.rel_types()), ([], []))

    def test_bad_shapes_name_the_entry(self):
        cases = [
            ([], None, 'expected a structured schema (an object with "node_props", "rel_props" and "relationships"), found an empty array'),
            ({"node_props": []}, "node_props", "expected an object, found an empty array"),
            ({"rel_props": "x"}, "rel_props", 'expected an object, found the string "x"'),
            ({"relationships": {}}, "relationships", "expected an array, found an object"),
            ({"node_props": {"A": {"property": "x"}}}, 'node_props["A"]', 'expected an array of {"property": key} objects, found an object'),
            ({"node_props": {"A": [{"type": "STRING"}]}}, 'node_props["A"][0]', 'expected an object with a "property" key, found an object'),
            ({"node_props": {"A": ["name"]}}, 'node_props["A"][0]', 'expected an object with a "property" key, found the string "name"'),
            ({"rel_props": {"T": [{"property": 3}]}}, 'rel_props["T"][0].property', "expected a property key (a string), found the number 3"),
            ({"node_props": {1: []}}, "node_props", "expected names (strings) as keys, found the number 1"),
            ({"relationships": [["A", "T", "B"]]}, "relationships[0]", 'expected an object with "start", "type" and "end", found an array'),
            ({"relationships": [{"start": "A", "type": "T"}]}, "relationships[0]", 'missing "end"'),
            ({"relationships": [{"start": "A", "type": "T", "end": "B"}, {"start": None, "type": "T", "end": "B"}]}, "relationships[1].start", "expected a label (a string), found null"),
            ({"relationships": [{"start": "A", "type": 7, "end": "B"}]}, "relationships[0].type", "expected a relationship type (a string), found the number 7"),
        ]
        for data, entry, detail in cases:
            with self.subTest(data=data):
                with self.assertRaises(quorvane.SchemaFileError) as caught:
                    quorvane.schema_from_structured(data)
                e = caught.exception
                self.assertEqual((e.source, e.entry, e.detail), ("<structured schema>", entry, detail))


class SchemaFileFormsTest(ps.TempDirTestCase, unittest.TestCase):
    def load(self, document):
        return quorvane.load_schema(self.write("schema.json", json.dumps(document)))

    def assertFileError(self, document, entry, detail):
        path = self.write("bad.json", json.dumps(document))
        with self.assertRaises(quorvane.SchemaFileError) as caught:
            quorvane.load_schema(path)
        e = caught.exception
        self.assertEqual((e.source, e.entry, e.detail), (path, entry, detail))

    def test_a_structured_file_is_recognised_by_its_keys(self):
        from_file = self.load(COMPANIES)
        self.assertEqual(from_file.to_dict(), quorvane.schema_from_structured(COMPANIES).to_dict())

    def test_several_pairs_in_the_dictionary_form(self):
        schema = self.load({
            "nodes": {"Actor": [], "Person": ["name"], "Movie": ["title"]},
            "relationships": {
                "ACTED_IN": {"endpoints": [["Actor", "Movie"], ["Person", "Movie"]], "properties": ["roles"]},
                "DIRECTED": ["Person", "Movie", []],
                "LIKES": {"endpoints": None},
            },
        })
        self.assertEqual(schema.rel_endpoint_pairs("ACTED_IN"), [("Actor", "Movie"), ("Person", "Movie")])
        self.assertEqual(schema.rel_properties("ACTED_IN"), ["roles"])
        self.assertEqual(schema.rel_endpoints("DIRECTED"), ("Person", "Movie"))
        self.assertEqual(schema.rel_endpoint_pairs("LIKES"), [])
        # What to_dict() writes, written as JSON, loads back the same.
        d = schema.to_dict()
        self.assertEqual(self.load(d).to_dict(), d)

    def test_malformed_relationship_objects(self):
        entry = 'relationships["T"]'
        for value, where, detail in [
            ({}, entry, 'missing "endpoints": [[source label, target label], ...] or null'),
            ({"endpoints": []}, entry + ".endpoints", 'expected "endpoints": [[source label, target label], ...] or null, found an empty array'),
            ({"endpoints": "AB"}, entry + ".endpoints", 'expected "endpoints": [[source label, target label], ...] or null, found the string "AB"'),
            ({"endpoints": [["A"]]}, entry + ".endpoints[0]", "expected [source label, target label], found an array"),
            ({"endpoints": [["A", "B"], ["A", 2]]}, entry + ".endpoints[1][1]", "expected a label (a string), found the number 2"),
            ({"endpoints": [["A", "B"]], "properties": "p"}, entry + ".properties", 'expected an array of property keys, found the string "p"'),
            ({"endpoints": [["A", "B"]], "props": []}, entry, 'unknown key "props": expected "endpoints" and "properties"'),
        ]:
            with self.subTest(value=value):
                self.assertFileError({"nodes": {}, "relationships": {"T": value}}, where, detail)

    def test_a_file_in_neither_form(self):
        for document in ({}, {"labels": {}, "types": []}):
            with self.subTest(document=document):
                self.assertFileError(
                    document,
                    None,
                    'missing "nodes" and "relationships" (a schema), or "node_props", "rel_props" '
                    'and "relationships" (a structured schema)',
                )
        # A dictionary-form file missing one part keeps its message.
        self.assertFileError({"relationships": {}}, None, 'missing "nodes": node labels and their property keys')
        # The structured form's errors name the file too.
        self.assertFileError({"node_props": {"A": [1]}}, 'node_props["A"][0]', 'expected an object with a "property" key, found the number 1')

    def test_check_and_generate_accept_a_structured_file(self):
        schema = self.write("graph.json", json.dumps(MOVIES))
        queries = self.write(
            "q.cypher",
            "MATCH (a:Actor)-[:ACTED_IN]->(m:Movie) RETURN m.title;\n"
            "MATCH (a:Actor)-[:DIRECTED]->(m:Movie) RETURN m.title;\n",
        )
        status, out, err = ps.run_cli("check", "--schema", schema, queries)
        self.assertEqual((status, err), (1, ""))
        self.assertEqual(
            out,
            f"{queries}:2:16: error[wrong-endpoints] Relationship :DIRECTED expects source label :Person, but node has label(s): :Actor\n"
            "2 queries checked, 1 with errors: 1 schema error\n",
        )
        status, out, err = ps.run_cli("generate", "--schema", schema, "--type", "match_relationship", "-n", "3", "--seed", "1")
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(len(out.splitlines()), 3)

    def test_check_reports_a_bad_structured_file(self):
        schema = self.write("graph.json", json.dumps({"node_props": {}, "relationships": [{"start": "A"}]}))
        queries = self.write("q.cypher", "RETURN 1")
        status, out, err = ps.run_cli("check", "--schema", schema, queries)
        self.assertEqual((status, out), (2, ""))
        self.assertEqual(err, f'quorvane: error: bad schema: {schema}: relationships[0]: missing "type"\n')


if __name__ == "__main__":
    unittest.main()
