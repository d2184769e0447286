"""Pickling and copying every class: round trips for each protocol, the
generator's random state, refused bad pickles, and a spawn process pool."""

import copy
import os
import pickle
import tempfile
import unittest

import _quorvane
import support

PROTOCOLS = range(2, pickle.HIGHEST_PROTOCOL + 1)

SEVERAL_PAIRS = {
    "HAS_INVESTOR": {"endpoints": [("Organization", "Organization"), ("Organization", "Person")]},
    "EMPLOYS": ("Organization", "Person", ["since", "since"]),
    "MENTIONS": {"endpoints": None, "properties": ["weight"]},
}

QUERIES = [
    "MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name, m.title",
    "MATCH (p:Persn) RETURN p",
    "MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN m",
    "MATCH (p:Person RETURN p",
    "MATCH (o:Person)-[:HAS_INVESTOR]->(x) RETURN o",
    "MATCH (u:User)-[r:RATED]->(m:Movie) RETURN r.rating, r.stars",
]


def copies(obj):
    """obj through every pickle protocol and both copy functions."""
    out = [pickle.loads(pickle.dumps(obj, protocol)) for protocol in PROTOCOLS]
    return [*out, copy.copy(obj), copy.deepcopy(obj)]


def several_pair_schema():
    return _quorvane.Schema(
        {"Organization": ["name"], "Person": ["name", "age"]}, SEVERAL_PAIRS
    )


def validate_in_worker(args):
    validator, queries = args
    return validator.validate_batch(queries)


def generate_in_worker(generator):
    return [generator.generate(t) for t in _quorvane.CypherGenerator.supported_types()]


class RoundTripTest(unittest.TestCase):
    def test_schema(self):
        for schema in (support.movie_schema(), several_pair_schema(), _quorvane.Schema({}, {})):
            for other in copies(schema):
                self.assertIsNot(other, schema)
                self.assertEqual(other.to_dict(), schema.to_dict())
                self.assertEqual(repr(other), repr(schema))
                for rel in schema.rel_types():
                    self.assertEqual(other.rel_endpoint_pairs(rel), schema.rel_endpoint_pairs(rel))

    def test_validator_validates_the_same(self):
        nodes = dict(support.MOVIE_NODES, Organization=["name"])
        rels = dict(support.MOVIE_RELATIONSHIPS, HAS_INVESTOR=SEVERAL_PAIRS["HAS_INVESTOR"])
        validator = _quorvane.CypherValidator(_quorvane.Schema(nodes, rels))
        expected = [repr(r) for r in validator.validate_batch(QUERIES)]
        self.assertIn("is_valid=false", " ".join(expected))
        for other in copies(validator):
            self.assertEqual([repr(r) for r in other.validate_batch(QUERIES)], expected)

    def test_validator_keeps_its_language(self):
        extended_only = "MATCH (p:Person) WHERE EXISTS { (p)-[:ACTED_IN]->(m:Movei) } RETURN p"
        for language in ("subset", "extended"):
            validator = _quorvane.CypherValidator(support.movie_schema(), language=language)
            expected = repr(validator.validate(extended_only))
            for other in copies(validator):
                self.assertEqual(other.language, language)
                self.assertEqual(repr(other), repr(validator))
                self.assertEqual(repr(other.validate(extended_only)), expected)
        # The extended language finds the misspelt label inside the subquery.
        self.assertIn("did you mean :Movie?", expected)

    def test_a_validator_pickled_without_a_language_reads_the_subset(self):
        validator = _quorvane._restore_validator(support.movie_schema())
        self.assertEqual(validator.language, "subset")

    def test_validation_result(self):
        validator = _quorvane.CypherValidator(support.movie_schema())
        for query in QUERIES:
            result = validator.validate(query)
            for other in copies(result):
                self.assertEqual(
                    (other.is_valid, other.errors, other.syntax_errors, other.semantic_errors, bool(other), len(other)),
                    (result.is_valid, result.errors, result.syntax_errors, result.semantic_errors, bool(result), len(result)),
                )

    def test_query_info(self):
        for query in [*QUERIES, "RETURN 1", ""]:
            info = _quorvane.parse_query(query)
            for other in copies(info):
                self.assertEqual(repr(other), repr(info))
                self.assertEqual(bool(other), bool(info))

    def test_generator_continues_the_same_sequence(self):
        types = _quorvane.CypherGenerator.supported_types()
        for seed in (0, 7, 2**64 - 1):
            original = _quorvane.CypherGenerator(several_pair_schema(), seed)
            original.generate("match_relationship")  # not at the start of its sequence
            others = copies(original)
            expected = [original.generate(t) for t in types * 3]
            for other in others:
                self.assertEqual([other.generate(t) for t in types * 3], expected)

    def test_a_generator_without_seed_pickles_its_state_too(self):
        original = _quorvane.CypherGenerator(support.movie_schema())
        other = pickle.loads(pickle.dumps(original))
        self.assertEqual(
            [other.generate("create") for _ in range(20)],
            [original.generate("create") for _ in range(20)],
        )

    def test_copies_are_independent(self):
        original = _quorvane.CypherGenerator(support.movie_schema(), 1)
        other = copy.copy(original)
        first = [other.generate("create") for _ in range(5)]
        # Drawing from the copy did not advance the original.
        self.assertEqual([original.generate("create") for _ in range(5)], first)


class BadPickleTest(unittest.TestCase):
    """Data no object was made from is refused with a clear error."""

    def check(self, exc, message, function, *args):
        with self.assertRaises(exc) as cm:
            function(*args)
        self.assertEqual(str(cm.exception), message)

    def test_schema(self):
        self.check(TypeError, "argument 'd': 'list' object cannot be cast as 'dict'", _quorvane._restore_schema, [])
        self.check(KeyError, "\"'nodes' key missing from dict\"", _quorvane._restore_schema, {})
        self.check(
            TypeError,
            "Expected (str, str, list[str]) for relationship 'R', e.g. ('Person', 'Movie', ['role'])",
            _quorvane._restore_schema,
            {"nodes": {}, "relationships": {"R": ["A", "B"]}},
        )

    def test_validator(self):
        self.check(
            TypeError, "argument 'schema': 'dict' object cannot be cast as 'Schema'",
            _quorvane._restore_validator, {"nodes": {}, "relationships": {}},
        )
        self.check(
            TypeError, "_restore_validator() missing 1 required positional argument: 'schema'",
            _quorvane._restore_validator,
        )
        self.check(
            ValueError, "language must be 'subset' or 'extended', not 'full'",
            _quorvane._restore_validator, support.movie_schema(), "full",
        )
        self.check(
            TypeError, "argument 'language': 'int' object cannot be cast as 'str'",
            _quorvane._restore_validator, support.movie_schema(), 1,
        )

    def test_validation_result(self):
        not_a_result = (
            "not a pickled ValidationResult: a result holds either one syntax error or semantic errors"
        )
        self.check(ValueError, not_a_result, _quorvane._restore_validation_result, ["a", "b"], [])
        self.check(ValueError, not_a_result, _quorvane._restore_validation_result, ["a"], ["b"])
        with self.assertRaises(TypeError):
            _quorvane._restore_validation_result("a", [])
        with self.assertRaises(TypeError):
            _quorvane._restore_validation_result([1], [])
        result = _quorvane._restore_validation_result([], ["x"])
        self.assertEqual((result.is_valid, result.errors), (False, ["x"]))

    def test_query_info(self):
        restore = _quorvane._restore_query_info
        self.check(
            ValueError, "not a pickled QueryInfo: 'labels_used' must be sorted and without repeats",
            restore, True, ["B", "A"], [], [], [],
        )
        self.check(
            ValueError, "not a pickled QueryInfo: 'properties_used' must be sorted and without repeats",
            restore, True, [], [], ["a", "a"], [],
        )
        inconsistent = (
            "not a pickled QueryInfo: a valid query has no errors, an invalid one exactly one error and no names"
        )
        self.check(ValueError, inconsistent, restore, True, [], [], [], ["e"])
        self.check(ValueError, inconsistent, restore, False, [], [], [], [])
        self.check(ValueError, inconsistent, restore, False, ["A"], [], [], ["e"])
        self.check(TypeError, "argument 'is_valid': 'int' object cannot be cast as 'bool'", restore, 1, [], [], [], [])

    def test_generator(self):
        schema = support.movie_schema()
        restore = _quorvane._restore_generator
        shape = "argument 'state': expected a tuple of four ints, the random state"
        for bad in ([1, 2, 3, 4], (1, 2, 3), (1, 2, 3, 4, 5), None):
            with self.subTest(state=bad):
                self.check(TypeError, shape, restore, schema, bad)
        self.check(TypeError, "argument 'state': 'float' object cannot be cast as 'int'", restore, schema, (1, 2, 3, 4.0))
        self.check(ValueError, "argument 'state': an all-zero random state is not valid", restore, schema, (0, 0, 0, 0))
        for bad in ((1, 2, 3, -1), (1, 2, 3, 2**64)):
            with self.subTest(state=bad), self.assertRaises(OverflowError):
                restore(schema, bad)
        self.check(TypeError, "argument 'schema': 'NoneType' object cannot be cast as 'Schema'", restore, None, (1, 2, 3, 4))

    def test_forged_and_truncated_pickles_raise(self):
        schema = support.movie_schema()
        forged = [
            (TypeError, _quorvane._restore_generator, (schema, "state")),
            (TypeError, _quorvane._restore_validator, ("schema",)),
            (TypeError, _quorvane._restore_schema, ({"nodes": {"A": 1}, "relationships": {}},)),
            (ValueError, _quorvane._restore_validation_result, (["a", "b"], [])),
        ]
        for exc, function, args in forged:
            with self.subTest(function=function.__name__):
                data = pickle.dumps(Forged(function, args))
                with self.assertRaises(exc):
                    pickle.loads(data)
        truncated = pickle.dumps(schema)[:-10]
        with self.assertRaises((pickle.UnpicklingError, EOFError)):
            pickle.loads(truncated)


class Forged:
    """Pickles as a call of `function` with `args`, as a hand-made pickle would."""

    def __init__(self, function, args):
        self.function = function
        self.args = args

    def __reduce__(self):
        return self.function, self.args


class SpawnPoolTest(unittest.TestCase):
    # The pool runs in a fresh interpreter started with -c: spawned workers
    # re-import the parent's main script, which a test runner fed from
    # standard input does not have.
    POOL = """
        import multiprocessing, pickle, sys
        import _quorvane, support, test_pickling as tp
        validator = _quorvane.CypherValidator(support.movie_schema())
        generator = _quorvane.CypherGenerator(support.movie_schema(), 11)
        generator.generate("create")
        with multiprocessing.get_context("spawn").Pool(2) as pool:
            chunks = pool.map(tp.validate_in_worker, [(validator, tp.QUERIES[:3]), (validator, tp.QUERIES[3:])])
            generated = pool.apply(tp.generate_in_worker, (generator,))
        with open(sys.argv[1], "wb") as f:
            pickle.dump((chunks, generated), f)
    """

    def test_validator_and_generator_in_spawned_workers(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "results.pickle")
            proc = support.run_python(self.POOL, args=[path])
            self.assertEqual(proc.returncode, 0, proc.stderr)
            with open(path, "rb") as f:
                chunks, generated = pickle.load(f)
        validator = _quorvane.CypherValidator(support.movie_schema())
        generator = _quorvane.CypherGenerator(support.movie_schema(), 11)
        generator.generate("create")
        # The results came back pickled, from two workers.
        self.assertEqual([len(chunk) for chunk in chunks], [3, len(QUERIES) - 3])
        self.assertEqual(
            [repr(r) for chunk in chunks for r in chunk],
            [repr(r) for r in validator.validate_batch(QUERIES)],
        )
        self.assertEqual(generated, generate_in_worker(generator))


if __name__ == "__main__":
    unittest.main()
