"""Writes tests/data/extended_findings.jsonl: what the extended language finds
in the benchmark corpus, the subset snapshot's queries and the golden syntax
cases, against the benchmark schema. The test of the same name compares a
build with it, so that a new rule's every finding on these (mostly correct)
queries is seen and reviewed: rerun this tool after checking the difference.

Usage: PYTHONPATH=python:build/python/3.13:tests/python python3.13 tools/make_extended_findings.py
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "python"))

import extended_findings  # noqa: E402

if __name__ == "__main__":
    extended_findings.write(extended_findings.current())
