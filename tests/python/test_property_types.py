"""Property types in schemas: the mapping forms that declare them, the
structured form that keeps them, Schema.property_type, to_dict() and
pickling round trips, and the warnings of the extended language where a
query uses a typed property as a value of another type."""

import json
import os
import pickle
import tempfile
import unittest

import package_support as ps  # noqa: F401  (puts the package on the path)
import quorvane

ORDERS = {
    "nodes": {
        "Order": {"properties": {"freight": "STRING", "orderDate": "DATE", "quantity": "INTEGER", "note": None}},
        "Customer": ["name"],
    },
    "relationships": {
        "PLACED": ("Customer", "Order", {"at": "DATE_TIME"}),
        "SHIPPED": {"endpoints": [("Order", "Customer")], "properties": {"cost": "FLOAT"}},
    },
}


def orders_schema():
    return quorvane.Schema(ORDERS["nodes"], ORDERS["relationships"])


class TypedSchemaTest(unittest.TestCase):
    def test_types_are_read_from_every_mapping_form(self):
        schema = orders_schema()
        self.assertEqual(schema.node_properties("Order"), ["freight", "orderDate", "quantity", "note"])
        self.assertEqual(schema.property_type("Order", "freight"), "STRING")
        self.assertEqual(schema.property_type("Order", "orderDate"), "DATE")
        self.assertIsNone(schema.property_type("Order", "note"))
        self.assertIsNone(schema.property_type("Customer", "name"))
        self.assertIsNone(schema.property_type("Order", "missing"))
        self.assertIsNone(schema.property_type("Nothing", "freight"))
        self.assertEqual(schema.property_type("PLACED", "at"), "DATE_TIME")
        self.assertEqual(schema.property_type(label_or_type="SHIPPED", key="cost"), "FLOAT")

    def test_to_dict_and_pickling_keep_the_types(self):
        schema = orders_schema()
        d = schema.to_dict()
        self.assertEqual(d["nodes"]["Order"], {"properties": {"freight": "STRING", "orderDate": "DATE", "quantity": "INTEGER", "note": None}})
        # An untyped label keeps the list form.
        self.assertEqual(d["nodes"]["Customer"], ["name"])
        self.assertEqual(d["relationships"]["PLACED"], ("Customer", "Order", {"at": "DATE_TIME"}))
        self.assertEqual(quorvane.Schema.from_dict(d).to_dict(), d)
        restored = pickle.loads(pickle.dumps(schema))
        self.assertEqual(restored.to_dict(), d)
        self.assertEqual(restored.property_type("Order", "quantity"), "INTEGER")

    def test_untyped_schemas_export_as_before(self):
        schema = quorvane.Schema({"Person": ["name"]}, {"KNOWS": ("Person", "Person", ["since"])})
        self.assertEqual(
            schema.to_dict(),
            {"nodes": {"Person": ["name"]}, "relationships": {"KNOWS": ("Person", "Person", ["since"])}},
        )
        self.assertIsNone(schema.property_type("Person", "name"))

    def test_malformed_types_raise_type_error(self):
        for nodes in (
            {"A": {"properties": {"x": 1}}},
            {"A": {"props": {"x": "STRING"}}},
            {"A": {"properties": {"x": "STRING"}, "extra": 1}},
        ):
            with self.subTest(nodes=nodes), self.assertRaises(TypeError):
                quorvane.Schema(nodes, {})
        with self.assertRaises(TypeError):
            quorvane.Schema({}, {"R": {"endpoints": None, "properties": {"x": 2}}})

    def test_schema_files_and_structured_schemas_keep_types(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "orders.json")
            d = orders_schema().to_dict()
            with open(path, "w", encoding="utf-8") as f:
                json.dump(d, f)
            loaded = quorvane.load_schema(path)
        self.assertEqual(loaded.property_type("Order", "freight"), "STRING")
        self.assertEqual(loaded.property_type("SHIPPED", "cost"), "FLOAT")
        structured = quorvane.schema_from_structured(
            {
                "node_props": {"Order": [{"property": "freight", "type": "STRING"}, {"property": "n"}]},
                "rel_props": {"SHIPPED": [{"property": "cost", "type": "FLOAT"}]},
                "relationships": [{"start": "Order", "type": "SHIPPED", "end": "Customer"}],
            }
        )
        self.assertEqual(structured.property_type("Order", "freight"), "STRING")
        self.assertIsNone(structured.property_type("Order", "n"))
        self.assertEqual(structured.property_type("SHIPPED", "cost"), "FLOAT")
        self.assertEqual(structured.node_properties("Customer"), [])

    def test_a_file_with_a_bad_type_names_the_entry(self):
        with self.assertRaises(quorvane.SchemaFileError) as caught:
            quorvane.schema_from_json('{"nodes": {"A": {"properties": {"x": 3}}}, "relationships": {}}')
        self.assertEqual(caught.exception.entry, 'nodes["A"].properties["x"]')


class PropertyTypeWarningTest(unittest.TestCase):
    def setUp(self):
        self.validator = quorvane.CypherValidator(orders_schema(), language="extended")

    def warnings(self, query):
        result = self.validator.validate(query)
        self.assertTrue(result.is_valid, result.errors)
        return [(d.code, d.message) for d in result.diagnostics if d.severity == "warning"]

    def test_comparisons_with_values_of_another_type(self):
        self.assertEqual(
            self.warnings("MATCH (o:Order) WHERE o.freight > 100 RETURN o"),
            [("property-type-mismatch", "Property o.freight is declared STRING, but is compared with 100, an INTEGER; convert it: toInteger(o.freight) > 100")],
        )
        self.assertEqual(
            self.warnings("MATCH (o:Order) WHERE o.orderDate >= '2020-01-01' RETURN o"),
            [("property-type-mismatch", "Property o.orderDate is declared DATE, but is compared with '2020-01-01', a STRING; convert it: o.orderDate >= date('2020-01-01')")],
        )
        self.assertEqual(
            self.warnings("MATCH (o:Order) WHERE o.freight < date('2020-01-01') RETURN o"),
            [("property-type-mismatch", "Property o.freight is declared STRING, but is compared with date('2020-01-01'), a DATE; convert it: date(o.freight) < date('2020-01-01')")],
        )
        [(code, _)] = self.warnings("MATCH (c:Customer)-[p:PLACED]->(o) WHERE p.at = 5 RETURN c")
        self.assertEqual(code, "property-type-mismatch")

    def test_functions_and_operators_that_cannot_take_the_type(self):
        self.assertEqual(
            self.warnings("MATCH (o:Order) RETURN toUpper(o.quantity)"),
            [("property-type-mismatch", "Property o.quantity is declared INTEGER, but toUpper() needs a STRING; convert it: toUpper(toString(o.quantity))")],
        )
        [(code, message)] = self.warnings("MATCH (o:Order) RETURN o.freight * 2")
        self.assertEqual(code, "property-type-mismatch")
        self.assertIn("convert it: toFloat(o.freight) * 2", message)

    def test_fitting_uses_and_untyped_keys_stay_quiet(self):
        for query in (
            "MATCH (o:Order) WHERE toInteger(o.freight) > 100 RETURN o",
            "MATCH (o:Order) WHERE o.freight = '12' AND o.quantity > 1.5 RETURN o",
            "MATCH (o:Order) WHERE o.orderDate >= date('2020-01-01') RETURN o.freight + 1",
            "MATCH (o:Order) WHERE o.note = 1 AND o.quantity = $q RETURN o",
            "MATCH (o:Order) WHERE o.freight IN ['a', 'b'] RETURN o",
            "MATCH (c:Customer) WHERE c.name = 1 RETURN c",
        ):
            with self.subTest(query=query):
                self.assertEqual(self.warnings(query), [])

    def test_the_subset_and_untyped_schemas_give_no_warning(self):
        query = "MATCH (o:Order) WHERE o.freight > 100 RETURN o"
        self.assertEqual(quorvane.CypherValidator(orders_schema()).validate(query).warnings, [])
        untyped = quorvane.Schema({"Order": ["freight"]}, {})
        self.assertEqual(quorvane.CypherValidator(untyped, language="extended").validate(query).warnings, [])


if __name__ == "__main__":
    unittest.main()
