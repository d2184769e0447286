"""Queries out of a language model's answer: quorvane.extract_queries and
quorvane check --extract."""

import unittest

import package_support as ps
from package_support import quorvane, run_cli

from quorvane.extract import extract_statements, looks_like_cypher

FENCE = "`" * 3


class ExtractQueriesTest(unittest.TestCase):
    def assert_extracts(self, answer, expected):
        self.assertEqual(quorvane.extract_queries(answer), expected)

    def test_labelled_cypher_fences(self):
        answer = (
            "To find the actors of a movie, match the ACTED_IN relationships:\n\n"
            f"{FENCE}cypher\nMATCH (p:Person)-[:ACTED_IN]->(m:Movie {{title: $title}})\nRETURN p.name;\n{FENCE}\n\n"
            "This returns one row per actor. To count them instead:\n\n"
            f"{FENCE}Cypher\nMATCH (:Person)-[:ACTED_IN]->(m:Movie)\nRETURN m.title, count(*) AS actors\n{FENCE}\n"
        )
        self.assert_extracts(
            answer,
            [
                "MATCH (p:Person)-[:ACTED_IN]->(m:Movie {title: $title})\nRETURN p.name",
                "MATCH (:Person)-[:ACTED_IN]->(m:Movie)\nRETURN m.title, count(*) AS actors",
            ],
        )

    def test_unlabelled_and_sql_fences_only_when_they_read_as_cypher(self):
        answer = (
            f"{FENCE}\nMATCH (m:Movie) WHERE m.released > 2000 RETURN m.title\n{FENCE}\n"
            f"{FENCE}sql\nSELECT title FROM movies WHERE released > 2000\n{FENCE}\n"
            f"{FENCE}sql\nMATCH (m:Movie)<-[:DIRECTED]-(d) RETURN d.name\n{FENCE}\n"
            f"{FENCE}python\ndriver.session().run('MATCH (n) RETURN n')\n{FENCE}\n"
            f"{FENCE}\npip install neo4j\n{FENCE}\n"
        )
        self.assert_extracts(
            answer, ["MATCH (m:Movie) WHERE m.released > 2000 RETURN m.title", "MATCH (m:Movie)<-[:DIRECTED]-(d) RETURN d.name"]
        )

    def test_tilde_fences_longer_fences_and_an_unclosed_fence(self):
        self.assert_extracts("~~~cypher\nMATCH (n:A) RETURN n\n~~~\n", ["MATCH (n:A) RETURN n"])
        # A longer fence holds a shorter one.
        inner = f"````cypher\nRETURN '{FENCE}' AS fence\n````"
        self.assert_extracts(inner, [f"RETURN '{FENCE}' AS fence"])
        # A model cut off mid-answer.
        self.assert_extracts(f"Sure:\n{FENCE}cypher\nMATCH (n:A)\nRETURN n", ["MATCH (n:A)\nRETURN n"])

    def test_a_bare_answer_and_its_label(self):
        self.assert_extracts("MATCH (p:Person) RETURN p.name", ["MATCH (p:Person) RETURN p.name"])
        self.assert_extracts("Cypher: MATCH (p:Person) RETURN p.name;", ["MATCH (p:Person) RETURN p.name"])
        self.assert_extracts("**Query:**\nMATCH (p:Person)\nRETURN p.name", ["MATCH (p:Person)\nRETURN p.name"])
        self.assert_extracts("cypher query: RETURN 1", ["RETURN 1"])
        # A label inside a fence is dropped too.
        self.assert_extracts(f"{FENCE}cypher\nCypher: MATCH (n) RETURN n\n{FENCE}", ["MATCH (n) RETURN n"])

    def test_a_query_after_prose_without_a_fence(self):
        answer = (
            "The following query finds the directors:\n"
            "MATCH (d:Person)-[:DIRECTED]->(m:Movie)\n"
            "RETURN d.name\n"
            "This query returns each director once per movie they directed.\n"
        )
        self.assert_extracts(answer, ["MATCH (d:Person)-[:DIRECTED]->(m:Movie)\nRETURN d.name"])

    def test_answers_without_a_query(self):
        for answer in [
            "",
            "I cannot answer that question with the given schema.",
            "Match the people to the movies they acted in.",  # a clause word in prose
            "With the schema given, return nothing.",
            f"{FENCE}json\n{{\"nodes\": []}}\n{FENCE}",
        ]:
            with self.subTest(answer=answer):
                self.assert_extracts(answer, [])

    def test_several_statements_in_one_block(self):
        answer = f"{FENCE}cypher\nCREATE (:Movie {{title: 'A;B'}});\nMATCH (m:Movie) RETURN m;\n{FENCE}"
        self.assert_extracts(answer, ["CREATE (:Movie {title: 'A;B'})", "MATCH (m:Movie) RETURN m"])

    def test_positions_point_into_the_answer(self):
        answer = f"Here:\n\n{FENCE}cypher\n  MATCH (n:A)\n  RETURN n; RETURN 2\n{FENCE}\nCypher: no"
        statements = extract_statements(answer)
        self.assertEqual([st.text for st in statements], ["MATCH (n:A)\n  RETURN n", "RETURN 2"])
        for st in statements:
            self.assertEqual(answer[st.offset : st.offset + len(st.text)], st.text)
            line_start = sum(len(line) + 1 for line in answer.split("\n")[: st.line - 1])
            self.assertEqual(line_start + st.column - 1, st.offset)

    def test_looks_like_cypher(self):
        for text, expected in [
            ("MATCH (n) RETURN n", True),
            ("  // a comment\nMERGE (n:A {id: 1})", True),
            ("WITH 1 AS x RETURN x", True),
            ("CREATE (n:A)", True),
            ("CREATE TABLE movies (title TEXT)", False),
            ("SELECT * FROM movies", False),
            ("DELETE FROM movies WHERE id = 1", False),
            ("Return the movies.", False),
            ("RETURN 1 + 1", True),
        ]:
            with self.subTest(text=text):
                self.assertEqual(looks_like_cypher(text), expected)


class ExtractCypherTest(unittest.TestCase):
    """quorvane.extract_cypher: the one query of a model's answer."""

    def test_the_first_fence_that_holds_cypher(self):
        for tag in ("cypher", "Cypher", "CYPHER", "cql", ""):
            with self.subTest(tag=tag):
                answer = (
                    "Sure! To list the actors of a movie, run:\n\n"
                    f"{FENCE}{tag}\nMATCH (p:Person)-[:ACTED_IN]->(m:Movie {{title: $title}})\nRETURN p.name;\n{FENCE}\n\n"
                    "This returns one row per actor. Counting them instead:\n\n"
                    f"{FENCE}cypher\nMATCH (m:Movie) RETURN count(*)\n{FENCE}\n"
                )
                self.assertEqual(
                    quorvane.extract_cypher(answer),
                    "MATCH (p:Person)-[:ACTED_IN]->(m:Movie {title: $title})\nRETURN p.name",
                )

    def test_fences_of_other_languages_are_passed_over(self):
        answer = (
            f"First install the driver:\n{FENCE}bash\npip install neo4j\n{FENCE}\n"
            f"Then, in Python:\n{FENCE}python\nsession.run(query)\n{FENCE}\n"
            f"with the query\n{FENCE}CYPHER\n// the newest movies\nMATCH (m:Movie)\nRETURN m.title\nORDER BY m.released DESC;\n{FENCE}"
        )
        self.assertEqual(quorvane.extract_cypher(answer), "MATCH (m:Movie)\nRETURN m.title\nORDER BY m.released DESC")
        self.assertIsNone(quorvane.extract_cypher(f"{FENCE}json\n{{\"rows\": []}}\n{FENCE}\nMATCH is not needed."))

    def test_no_fence_the_query_without_the_prose_around_it(self):
        query = "MATCH (d:Person)-[:DIRECTED]->(m:Movie)\nWHERE m.released > 2000\n  AND d.born < 1970\nRETURN d.name"
        for answer in [
            query,
            query + ";",
            f"  {query};  \n",
            f"Cypher: {query}",
            f"The following query finds the directors:\n{query};\nThis returns each director once per movie.",
            f"Here is the query: {query}\n\nNote: it assumes the DIRECTED type exists.",
            f"{query};\n\n- d: a director\n- m: a movie they directed",
            f"{query}\nExplanation: the WHERE clause keeps recent movies.",
        ]:
            with self.subTest(answer=answer):
                self.assertEqual(quorvane.extract_cypher(answer), query)

    def test_several_statements_stay_together(self):
        answer = f"{FENCE}cypher\nCREATE (:Movie {{title: 'A;B'}});\nMATCH (m:Movie) RETURN m;\n{FENCE}"
        self.assertEqual(quorvane.extract_cypher(answer), "CREATE (:Movie {title: 'A;B'});\nMATCH (m:Movie) RETURN m")

    def test_answers_without_a_query(self):
        for answer in ["", "   \n", "I cannot answer that with the given schema.", f"{FENCE}cypher\n;\n{FENCE}",
                       f"{FENCE}cypher\n// nothing to run\n{FENCE}", "Match the people to their movies."]:
            with self.subTest(answer=answer):
                self.assertIsNone(quorvane.extract_cypher(answer))

    def test_prose_after_an_unfenced_query_is_not_checked(self):
        # What extract_queries (and check --extract) find: the query alone.
        answer = "MATCH (p:Person) RETURN p.name;\n\nThis lists every person by name."
        self.assertEqual(quorvane.extract_queries(answer), ["MATCH (p:Person) RETURN p.name"])


class CheckExtractTest(ps.TempDirTestCase, unittest.TestCase):
    def test_findings_point_into_the_answer_file(self):
        schema = self.write_schema()
        answer = (
            "Here is a query for that:\n\n"
            f"{FENCE}cypher\nMATCH (p:Persn)\nRETURN p.name\n{FENCE}\n\n"
            "And with the syntax slip:\n\n"
            f"{FENCE}cypher\nMATCH (n RETURN n\n{FENCE}\n"
        )
        path = self.write("answer.md", answer)
        status, out, _ = run_cli("check", "--schema", schema, "--extract", "--format", "concise", path)
        self.assertEqual(status, 1)
        lines = out.splitlines()
        self.assertEqual(len(lines), 2)
        self.assertTrue(lines[0].startswith(f"{path}:4:"), lines[0])
        self.assertIn("error[unknown-label]", lines[0])
        self.assertTrue(lines[1].startswith(f"{path}:11:10: error[syntax-error] "), lines[1])
        # Without --extract the prose does not parse.
        self.assertIn("syntax-error", run_cli("check", "--schema", schema, "--format", "concise", path)[1].splitlines()[0])
        clean = self.write("clean.md", "Cypher: MATCH (p:Person) RETURN p.name")
        self.assertEqual(
            run_cli("check", "--schema", schema, "--extract", clean), (0, "1 query checked, no errors\n", "")
        )


if __name__ == "__main__":
    unittest.main()
