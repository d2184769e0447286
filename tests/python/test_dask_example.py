"""The README's Dask example on a two-process LocalCluster: 100,000 queries
give exactly what validate_batch gives, in order."""

import ast
import importlib.util
import os
import pickle
import tempfile
import unittest

import _quorvane
import support
import test_readme

HAVE_DASK = all(importlib.util.find_spec(name) for name in ("dask", "distributed"))
NEEDS_DASK = "dask and distributed are not installed for this interpreter (pip install dask distributed)"

QUERY_COUNT = 100_000


def readme_snippet():
    return next(code for code, _, _ in test_readme.python_snippets() if "dask.bag" in code)


def readme_example():
    """The names the README's Dask snippet defines, without running its main part."""
    code = readme_snippet()
    namespace = {"__name__": "readme_dask_example"}
    exec(compile(code, "README.md", "exec"), namespace)
    return namespace


def mixed_queries(count):
    """Valid queries, schema mistakes and syntax errors, in a fixed order."""
    generator = _quorvane.CypherGenerator(support.bench_schema(), 2024)
    types = _quorvane.CypherGenerator.supported_types()
    corpus = [
        *support.bench_queries(),
        "MATCH (p:Persn) RETURN p",
        "MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN m",
        "MATCH (n RETURN n",
        "",
        "MATCH (p:Person) RETURN q",
    ]
    queries = []
    while len(queries) < count:
        queries.append(corpus[len(queries) % len(corpus)])
        queries.append(generator.generate(types[len(queries) % len(types)]))
    return queries[:count]


def outcome(result):
    return result.is_valid, result.syntax_errors, result.semantic_errors


class PartitionTest(unittest.TestCase):
    """What each worker runs, without Dask: the snippet's validate_partition
    with a validator that went through pickle as the task graph sends it."""

    def test_a_partition_is_one_batch_in_order(self):
        tree = ast.parse(readme_snippet())
        function = next(n for n in tree.body if isinstance(n, ast.FunctionDef) and n.name == "validate_partition")
        namespace = {}
        exec(compile(ast.Module(body=[function], type_ignores=[]), "README.md", "exec"), namespace)
        validator = _quorvane.CypherValidator(support.bench_schema())
        shipped = pickle.loads(pickle.dumps(validator))
        queries = mixed_queries(2000)
        # A bag hands over a partition as any iterable.
        (batch,) = namespace["validate_partition"](iter(queries), shipped)
        self.assertEqual([outcome(r) for r in batch], [outcome(r) for r in validator.validate_batch(queries)])
        self.assertTrue(any(not r for r in batch))


# The cluster runs in a fresh interpreter started with -c: Dask starts its
# workers with the spawn method, which re-imports the parent's main script,
# and a test runner fed from standard input has none.
CLUSTER = """
    import os, pickle, sys
    from dask.distributed import Client, LocalCluster
    import _quorvane, support, test_dask_example as t
    validate_on_dask = t.readme_example()["validate_on_dask"]
    validator = _quorvane.CypherValidator(support.bench_schema())
    queries = t.mixed_queries(t.QUERY_COUNT)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with Client(cluster) as client:
            workers = sorted(client.run(os.getpid).values())
            results = validate_on_dask(validator, queries, partitions=8)
    with open(sys.argv[1], "wb") as f:
        pickle.dump((os.getpid(), workers, results), f)
"""


@unittest.skipUnless(HAVE_DASK, NEEDS_DASK)
class DaskExampleTest(unittest.TestCase):
    def test_results_equal_validate_batch_in_order(self):
        validator = _quorvane.CypherValidator(support.bench_schema())
        expected = [outcome(r) for r in validator.validate_batch(mixed_queries(QUERY_COUNT))]
        self.assertGreater(sum(not valid for valid, _, _ in expected), 1000)
        self.assertGreater(sum(bool(syntax) for _, syntax, _ in expected), 100)

        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "results.pickle")
            proc = support.run_python(CLUSTER, args=[path], timeout=600)
            self.assertEqual(proc.returncode, 0, proc.stderr)
            with open(path, "rb") as f:
                client_pid, workers, results = pickle.load(f)

        self.assertEqual(len(set(workers)), 2)
        self.assertNotIn(client_pid, workers)
        self.assertEqual(len(results), QUERY_COUNT)
        self.assertTrue(all(type(r) is _quorvane.ValidationResult for r in results))
        self.assertEqual([outcome(r) for r in results], expected)


if __name__ == "__main__":
    unittest.main()
