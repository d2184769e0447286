"""The subset gives byte-identical results: validation and inspection of
thousands of queries (generated ones, the golden syntax cases, and random
edits of both) are compared with a snapshot written by a build from before
the extended language existed (tools/make_subset_snapshot.py). The snapshot
holds each result readably, with the first build's digest of it beside, so
that a failure shows what changed."""

import json
import os
import unittest

import _quorvane
import subset_digest

SNAPSHOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "subset_snapshot.jsonl")


class SubsetSnapshotTest(unittest.TestCase):
    def setUp(self):
        with open(SNAPSHOT, encoding="utf-8") as f:
            self.records = [json.loads(line) for line in f if line.strip()]

    def test_the_readable_records_are_the_ones_first_written(self):
        # Each record's digest was written by the first build: the readable
        # fields beside it hold exactly what that build made.
        self.assertGreater(len(self.records), 3000)
        for r in self.records:
            self.assertEqual(subset_digest.digest_of(r["result"]), r["digest"], r["query"])

    def test_every_result_is_unchanged(self):
        validator = _quorvane.CypherValidator(subset_digest.bench_schema())
        changed = []
        for r in self.records:
            now = subset_digest.record(validator, r["query"])
            if now != r["result"]:
                differences = {k: (r["result"][k], now[k]) for k in now if now[k] != r["result"][k]}
                changed.append((r["query"], differences))
        self.maxDiff = None
        self.assertEqual(changed[:10], [], f"{len(changed)} queries changed (old, new)")

    def test_the_generator_is_unchanged(self):
        # The snapshot's first queries came from the generator with this seed.
        with open(SNAPSHOT, encoding="utf-8") as f:
            first = json.loads(f.readline())["query"]
        generator = _quorvane.CypherGenerator(subset_digest.bench_schema(), seed=20261208)
        self.assertEqual(generator.generate(_quorvane.CypherGenerator.supported_types()[0]), first)


if __name__ == "__main__":
    unittest.main()
