"""parse_query and the QueryInfo class."""

import unittest

import _quorvane
from _quorvane import parse_query


class ParseQueryTest(unittest.TestCase):
    def assertNames(self, query, labels=(), rel_types=(), properties=()):
        info = parse_query(query)
        self.assertTrue(info.is_valid, info.errors)
        self.assertEqual(info.labels_used, list(labels), query)
        self.assertEqual(info.rel_types_used, list(rel_types), query)
        self.assertEqual(info.properties_used, list(properties), query)
        self.assertEqual(info.errors, [])

    def test_documented_example(self):
        info = parse_query("MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name")
        self.assertIs(type(info), _quorvane.QueryInfo)
        self.assertIs(info.is_valid, True)
        self.assertEqual(info.labels_used, ["Movie", "Person"])
        self.assertEqual(info.rel_types_used, ["ACTED_IN"])
        self.assertEqual(info.properties_used, ["name"])
        self.assertEqual(info.errors, [])
        self.assertIs(bool(info), True)
        self.assertEqual(
            repr(info),
            'QueryInfo(is_valid=true, labels=["Movie", "Person"], rel_types=["ACTED_IN"], '
            'properties=["name"], errors=[])',
        )

    def test_rejected_text(self):
        for text in ("MATCH (n RETURN n", "", "   ", "RETURN", "MATCH (n) RETURN n;;"):
            with self.subTest(text=text):
                info = parse_query(text)
                self.assertIs(info.is_valid, False)
                self.assertIs(bool(info), False)
                self.assertEqual(
                    (info.labels_used, info.rel_types_used, info.properties_used), ([], [], []))
                self.assertEqual(len(info.errors), 1)
                self.assertTrue(info.errors[0].startswith("Parse error: "), info.errors[0])
                self.assertTrue(repr(info).startswith(
                    'QueryInfo(is_valid=false, labels=[], rel_types=[], properties=[], '
                    'errors=["Parse error: '))

    def test_walk_rules(self):
        self.assertNames("CALL db.labels()")
        self.assertNames("MATCH (b:beta), (a:Alpha), (c:Alpha) RETURN a", labels=["Alpha", "beta"])
        self.assertNames("MATCH (a)-[r:KNOWS {since: 2020}]->(b) RETURN a", rel_types=["KNOWS"])
        self.assertNames("MATCH (n:Person {name: 'x'}) RETURN n.age", labels=["Person"],
                         properties=["age", "name"])
        self.assertNames("MATCH (n) WITH n.age AS age RETURN age")
        self.assertNames("MATCH (n) SET n.age = 1")
        self.assertNames("RETURN {name: 1}")
        self.assertNames("RETURN n.a.b", properties=["a", "b"])
        self.assertNames(
            "MATCH (n) WHERE EXISTS { (n)-[:KNOWS]->(m:Person {name: 'x'}) } RETURN n")

    def test_where_create_merge_and_union(self):
        self.assertNames("MATCH (n:A) WHERE n.x > 1 AND n.y IN [n.z] RETURN n",
                         labels=["A"], properties=["x", "y", "z"])
        self.assertNames("CREATE (a:A {k: 1})-[:R]->(b:B)", labels=["A", "B"], rel_types=["R"],
                         properties=["k"])
        self.assertNames("MERGE (a:A {k: 1}) ON CREATE SET a.c = 1 ON MATCH SET a.m = 2",
                         labels=["A"], properties=["k"])
        self.assertNames("MATCH (a:B) RETURN a.p UNION ALL MATCH (a:A) RETURN a.q",
                         labels=["A", "B"], properties=["p", "q"])

    def test_sorted_by_bytes_without_repeats(self):
        self.assertNames("MATCH (a:b), (c:B), (d:_x), (f:Z), (g:b), (h:a1) RETURN a",
                         labels=["B", "Z", "_x", "a1", "b"])

    def test_list_attributes_are_new_lists(self):
        info = parse_query("MATCH (p:Person) RETURN p.name")
        for name in ("labels_used", "rel_types_used", "properties_used", "errors"):
            first, second = getattr(info, name), getattr(info, name)
            self.assertEqual(first, second)
            self.assertIsNot(first, second)
            first.append("x")
            self.assertNotIn("x", getattr(info, name))

    def test_deeply_nested_text_reports_instead_of_crashing(self):
        info = parse_query("RETURN " + "(" * 5000 + "1" + ")" * 5000)
        self.assertFalse(info.is_valid)
        self.assertTrue(info.errors[0].startswith("Parse error: "))


if __name__ == "__main__":
    unittest.main()
