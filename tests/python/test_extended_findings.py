"""The extended language's findings on the corpus, the snapshot's queries and
the golden cases are pinned in tests/data/extended_findings.jsonl: a rule that
adds, drops or rewords a finding there shows the queries it changed. After
checking each change, tools/make_extended_findings.py writes the file anew."""

import unittest

import extended_findings


class ExtendedFindingsTest(unittest.TestCase):
    def test_findings_match_the_pinned_file(self):
        pinned = extended_findings.pinned()
        now = extended_findings.lines(extended_findings.current())
        self.assertGreater(len(now), 4000)
        self.assertEqual(len(pinned), len(now), "the query list changed: rerun the tool")
        changed = [(old, new) for old, new in zip(pinned, now, strict=True) if old != new]
        self.maxDiff = None
        self.assertEqual(changed[:20], [], f"{len(changed)} queries changed")


if __name__ == "__main__":
    unittest.main()
