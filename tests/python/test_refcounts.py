"""Reference counting: repeating every operation must neither grow the
process nor leave references behind on the objects it touched."""

import gc
import resource
import sys
import unittest

import _quorvane
import support

CALLS = 100_000
PAGE = resource.getpagesize()
# Leaking even a small object per call would add several MiB over 100,000
# calls; allocator noise stays far below this.
ALLOWED_GROWTH = 1 << 20


def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * PAGE


def swallow(fn, exc):
    def call():
        try:
            fn()
        except exc:
            pass

    return call


class RefcountTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.schema = support.movie_schema()
        cls.validator = _quorvane.CypherValidator(cls.schema)
        # Built at run time so that they are not immortal or interned.
        cls.good = "".join(["MATCH (p:Person)-[:ACTED_IN]->(m:Movie) ", "RETURN p.name"])
        cls.bad = "".join(["MATCH (p:Persn) ", "RETURN p.nme"])
        cls.broken = "".join(["MATCH (p:Person ", "RETURN p"])
        cls.label = "".join(["Per", "son"])
        cls.rel = "".join(["ACTED", "_IN"])
        cls.nodes = dict(support.MOVIE_NODES)
        cls.rels = dict(support.MOVIE_RELATIONSHIPS)
        cls.dict_form = cls.schema.to_dict()
        cls.result = cls.validator.validate(cls.bad)
        cls.info = _quorvane.parse_query(cls.good)

    def watched(self):
        """Objects whose reference counts must come back to where they were."""
        return [
            self.schema, self.validator, self.good, self.bad, self.broken, self.label,
            self.rel, self.nodes, self.rels, self.dict_form, self.result, self.info,
            _quorvane.Schema, _quorvane.CypherValidator, _quorvane.ValidationResult,
            _quorvane.QueryInfo, _quorvane.parse_query,
        ]

    def check(self, name, fn, calls=CALLS):
        with self.subTest(operation=name):
            for _ in range(1000):
                fn()
            gc.collect()
            counts = [sys.getrefcount(o) for o in self.watched()]
            before = rss()
            for _ in range(calls):
                fn()
            gc.collect()
            growth = rss() - before
            self.assertEqual([sys.getrefcount(o) for o in self.watched()], counts)
            self.assertLess(growth, ALLOWED_GROWTH, f"{name}: grew {growth} bytes")

    def test_schema_operations(self):
        s, label, rel = self.schema, self.label, self.rel
        self.check("Schema()", lambda: _quorvane.Schema(self.nodes, self.rels))
        self.check("Schema.from_dict", lambda: _quorvane.Schema.from_dict(self.dict_form))
        self.check("node_labels", s.node_labels)
        self.check("rel_types", s.rel_types)
        self.check("has_node_label", lambda: s.has_node_label(label))
        self.check("has_rel_type", lambda: s.has_rel_type(rel))
        self.check("node_properties", lambda: s.node_properties(label))
        self.check("rel_properties", lambda: s.rel_properties(rel))
        self.check("rel_endpoints", lambda: s.rel_endpoints(rel))
        self.check("rel_endpoints unknown", lambda: s.rel_endpoints(label))
        self.check("to_dict", s.to_dict)
        self.check("Schema repr", lambda: repr(s))
        self.check("keyword call", lambda: s.has_node_label(label=label))

    def test_endpoint_pair_operations(self):
        rels = {self.rel: {"endpoints": [(self.label, "Movie"), ["Movie", self.label]], "properties": [self.label]},
                "LINKS": {"endpoints": None}}
        pairs = _quorvane.Schema(self.nodes, rels)
        d = pairs.to_dict()
        self.check("Schema() mapping form", lambda: _quorvane.Schema(self.nodes, rels))
        self.check("from_dict mapping form", lambda: _quorvane.Schema.from_dict(d))
        self.check("rel_endpoint_pairs", lambda: pairs.rel_endpoint_pairs(self.rel))
        self.check("rel_endpoint_pairs unknown", lambda: pairs.rel_endpoint_pairs(self.label))
        self.check("rel_endpoints no pairs", lambda: pairs.rel_endpoints("LINKS"))
        self.check("to_dict mapping form", pairs.to_dict)
        for name, bad in [("empty", {"endpoints": []}), ("pair", {"endpoints": [(self.label,)]}),
                          ("key", {self.label: 1, "endpoints": None}), ("missing", {}),
                          ("properties", {"endpoints": None, "properties": self.label})]:
            self.check(f"mapping error {name}",
                       swallow(lambda bad=bad: _quorvane.Schema({}, {self.rel: bad}), TypeError), calls=CALLS // 4)

    def test_pickling_operations(self):
        generator = _quorvane.CypherGenerator(self.schema, 1)
        for name, obj in [("Schema", self.schema), ("CypherValidator", self.validator),
                          ("ValidationResult", self.result), ("QueryInfo", self.info),
                          ("CypherGenerator", generator)]:
            function, args = obj.__reduce__()
            self.check(f"{name} reduce", obj.__reduce__, calls=CALLS // 10)
            self.check(f"{name} restore", lambda function=function, args=args: function(*args), calls=CALLS // 10)
        restore = _quorvane._restore_generator
        self.check("restore error", swallow(lambda: restore(self.schema, (0, 0, 0, 0)), ValueError), calls=CALLS // 10)
        self.check("restore result error",
                   swallow(lambda: _quorvane._restore_validation_result([self.label, self.label], []), ValueError),
                   calls=CALLS // 10)

    def test_validator_operations(self):
        v = self.validator
        self.check("CypherValidator()", lambda: _quorvane.CypherValidator(self.schema))
        self.check("validate valid", lambda: v.validate(self.good))
        self.check("validate invalid", lambda: v.validate(self.bad))
        self.check("validate syntax error", lambda: v.validate(self.broken))
        self.check("validate_batch", lambda: v.validate_batch([self.good, self.bad]))
        self.check("CypherValidator repr", lambda: repr(v))

    def test_result_operations(self):
        r = self.result
        self.check("is_valid", lambda: r.is_valid)
        self.check("errors", lambda: r.errors)
        self.check("syntax_errors", lambda: r.syntax_errors)
        self.check("semantic_errors", lambda: r.semantic_errors)
        self.check("bool", lambda: bool(r))
        self.check("len", lambda: len(r))
        self.check("ValidationResult repr", lambda: repr(r))

    def test_parse_query_operations(self):
        i = self.info
        self.check("parse_query valid", lambda: _quorvane.parse_query(self.good))
        self.check("parse_query invalid", lambda: _quorvane.parse_query(self.broken))
        self.check("labels_used", lambda: i.labels_used)
        self.check("rel_types_used", lambda: i.rel_types_used)
        self.check("properties_used", lambda: i.properties_used)
        self.check("QueryInfo errors", lambda: i.errors)
        self.check("QueryInfo is_valid", lambda: i.is_valid)
        self.check("QueryInfo bool", lambda: bool(i))
        self.check("QueryInfo repr", lambda: repr(i))

    def test_failing_calls(self):
        v, s = self.validator, self.schema
        self.check("binding error", swallow(lambda: v.validate(), TypeError))
        self.check("unexpected keyword", swallow(lambda: v.validate(self.good, x=1), TypeError))
        self.check("cast error", swallow(lambda: v.validate(5), TypeError))
        self.check("surrogate", swallow(lambda: v.validate("\ud800"), UnicodeEncodeError))
        self.check("batch item error", swallow(lambda: v.validate_batch([self.good, 5]),
                                               TypeError))
        self.check("batch str", swallow(lambda: v.validate_batch(self.good), TypeError))
        self.check("schema shape error",
                   swallow(lambda: _quorvane.Schema({self.label: self.label}, {}), TypeError))
        self.check("relationship shape error",
                   swallow(lambda: _quorvane.Schema({}, {self.rel: [1]}), TypeError))
        self.check("from_dict key error", swallow(lambda: _quorvane.Schema.from_dict({}),
                                                  KeyError))
        self.check("constructor cast error",
                   swallow(lambda: _quorvane.CypherValidator(self.nodes), TypeError))
        self.check("lookup cast error", swallow(lambda: s.node_properties(None), TypeError))


if __name__ == "__main__":
    unittest.main()
