"""The subset gives byte-identical results: validation and inspection of
thousands of queries (generated ones, the golden syntax cases, and random
edits of both) are compared with a snapshot written by a build from before
the extended language existed (tools/make_subset_snapshot.py)."""

import json
import os
import unittest

import _quorvane
import subset_digest

SNAPSHOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "subset_snapshot.jsonl")


class SubsetSnapshotTest(unittest.TestCase):
    def test_every_result_is_unchanged(self):
        with open(SNAPSHOT, encoding="utf-8") as f:
            records = [json.loads(line) for line in f if line.strip()]
        self.assertGreater(len(records), 3000)
        validator = _quorvane.CypherValidator(subset_digest.bench_schema())
        changed = [r["query"] for r in records if subset_digest.digest(validator, r["query"]) != r["digest"]]
        self.assertEqual(changed, [])

    def test_the_generator_is_unchanged(self):
        # The snapshot's first queries came from the generator with this seed.
        with open(SNAPSHOT, encoding="utf-8") as f:
            first = json.loads(f.readline())["query"]
        generator = _quorvane.CypherGenerator(subset_digest.bench_schema(), seed=20261208)
        self.assertEqual(generator.generate(_quorvane.CypherGenerator.supported_types()[0]), first)


if __name__ == "__main__":
    unittest.main()
