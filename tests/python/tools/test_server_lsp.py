"""The language server over the protocol: a real client (pytest-lsp) starts
`python -m quorvane server` and talks to it over standard input and output."""

import json
import os
import sys
from pathlib import Path

import pytest
import pytest_lsp
from lsprotocol import types as lsp
from pytest_lsp import ClientServerConfig, LanguageClient, client_capabilities

import quorvane

SCHEMA = {
    "nodes": {"Person": ["name", "born"], "Movie": ["title", "released"]},
    "relationships": {"ACTED_IN": ["Person", "Movie", ["roles"]], "DIRECTED": ["Person", "Movie", []]},
}

# Three statements: a valid one, a misspelt label, and a syntax error on a
# line that holds characters outside the basic plane (two UTF-16 units each)
# and accented letters (two UTF-8 bytes each).
DOCUMENT = (
    "MATCH (p:Person)-[:ACTED_IN]->(m:Movie)\nRETURN p.name, m.title;\n"
    "\n"
    "MATCH (m:Movei)\nRETURN m.title;\n"
    'MATCH (p:Person {name: "🎬 Amélie 🎥"})-[:ACTED_IN->(m:Movie) RETURN p;\n'
)

CONFIG = ClientServerConfig(
    server_command=[sys.executable, "-m", "quorvane", "server"],
    server_env=dict(os.environ),
)


def units(text, encoding):
    """The length of text in code units of an LSP position encoding."""
    if encoding == "utf-16":
        return len(text.encode("utf-16-le")) // 2
    return len(text.encode("utf-8"))


def position_of(text, index, encoding="utf-16"):
    line = text.count("\n", 0, index)
    line_start = text.rfind("\n", 0, index) + 1
    return lsp.Position(line, units(text[line_start:index], encoding))


def text_of(text, range_, encoding="utf-16"):
    """The text that an LSP range covers (computed by encoding each line)."""
    lines = text.split("\n")

    def index(position):
        line = lines[position.line]
        prefix = line.encode("utf-16-le" if encoding == "utf-16" else "utf-8")
        width = 2 if encoding == "utf-16" else 1
        chars = len(prefix[: position.character * width].decode("utf-16-le" if encoding == "utf-16" else "utf-8"))
        return sum(len(x) + 1 for x in lines[: position.line]) + chars

    return text[index(range_.start) : index(range_.end)]


@pytest.fixture
def workspace(tmp_path):
    (tmp_path / "graph.schema.json").write_text(json.dumps(SCHEMA), encoding="utf-8")
    return tmp_path


async def start(client, workspace, options=None, encodings=None):
    capabilities = client_capabilities("visual-studio-code")
    if encodings is not None:
        capabilities.general = lsp.GeneralClientCapabilities(position_encodings=encodings)
    await client.initialize_session(
        lsp.InitializeParams(
            capabilities=capabilities,
            root_uri=workspace.as_uri(),
            initialization_options=options,
        )
    )


async def open_document(client, path, text):
    path.write_text(text, encoding="utf-8")
    uri = path.as_uri()
    client.text_document_did_open(
        lsp.DidOpenTextDocumentParams(lsp.TextDocumentItem(uri=uri, language_id="cypher", version=1, text=text))
    )
    await wait_for_diagnostics(client, uri)
    return uri


async def wait_for_diagnostics(client, uri, version=None):
    while True:
        params = await client.wait_for_notification(lsp.TEXT_DOCUMENT_PUBLISH_DIAGNOSTICS)
        if params.uri == uri and (version is None or params.version == version):
            return params.diagnostics


@pytest_lsp.fixture(config=CONFIG)
async def client(lsp_client: LanguageClient):
    # The client accepts the server's requests to watch files, and keeps them.
    lsp_client.registrations = []

    @lsp_client.feature(lsp.CLIENT_REGISTER_CAPABILITY)
    def register(params):
        lsp_client.registrations += params.registrations

    yield
    await lsp_client.shutdown_session()


# ------------------------------------------------------------ diagnostics


@pytest.mark.asyncio
@pytest.mark.parametrize("encoding", ["utf-16", "utf-8"])
async def test_every_statement_is_checked_with_ranges_in_the_negotiated_encoding(client, workspace, encoding):
    await start(client, workspace, {"schema": "graph.schema.json"}, encodings=[encoding])
    uri = await open_document(client, workspace / "q.cypher", DOCUMENT)
    diagnostics = {d.code: d for d in client.diagnostics[uri]}
    assert set(diagnostics) == {"unknown-label", "syntax-error"}

    label = diagnostics["unknown-label"]
    assert label.severity == lsp.DiagnosticSeverity.Error
    assert label.source == "quorvane"
    assert label.code_description.href.endswith("#diagnostic-codes")
    assert "Movei" in label.message
    assert text_of(DOCUMENT, label.range, encoding) == "Movei"
    assert label.range.start.line == 3

    # The syntax error starts at the arrow of the last line, after the
    # characters that take more than one code unit.
    syntax = diagnostics["syntax-error"]
    assert syntax.range.start == position_of(DOCUMENT, DOCUMENT.index("->(m:Movie) RETURN p"), encoding)
    assert syntax.range.start.character != DOCUMENT.split("\n")[5].index("->")
    assert text_of(DOCUMENT, syntax.range, encoding) == "->"
    assert syntax.severity == lsp.DiagnosticSeverity.Error


@pytest.mark.asyncio
async def test_an_incremental_change_is_checked_again(client, workspace):
    await start(client, workspace, {"schema": str(workspace / "graph.schema.json")})
    uri = await open_document(client, workspace / "q.cypher", DOCUMENT)
    assert len(client.diagnostics[uri]) == 2
    typo = DOCUMENT.index("Movei")
    change = lsp.TextDocumentContentChangePartial(
        range=lsp.Range(position_of(DOCUMENT, typo), position_of(DOCUMENT, typo + len("Movei"))), text="Movie"
    )
    client.text_document_did_change(
        lsp.DidChangeTextDocumentParams(lsp.VersionedTextDocumentIdentifier(uri=uri, version=2), [change])
    )
    diagnostics = await wait_for_diagnostics(client, uri, version=2)
    assert [d.code for d in diagnostics] == ["syntax-error"]


@pytest.mark.asyncio
async def test_without_a_schema_only_syntax_and_schema_free_rules_report(client, workspace):
    await start(client, workspace)
    text = "MATCH (m:Movei) RETURN m.title;\nMATCH (n) RETURN x;\nMATCH (n RETURN n"
    uri = await open_document(client, workspace / "q.cypher", text)
    codes = sorted(d.code for d in client.diagnostics[uri])
    assert codes == ["syntax-error", "unbound-variable"]
    assert client.messages == []


@pytest.mark.asyncio
async def test_a_bad_schema_is_shown_and_checking_goes_on(client, workspace):
    (workspace / "broken.json").write_text('{"nodes": {"Person": 3}, "relationships": {}}', encoding="utf-8")
    await start(client, workspace, {"schema": "missing.json"})
    uri = await open_document(client, workspace / "q.cypher", "MATCH (m:Movei) RETURN m;\nMATCH (n RETURN n")
    assert len(client.messages) == 1
    assert client.messages[0].type == lsp.MessageType.Error
    assert "missing.json" in client.messages[0].message
    codes = [d.code for d in client.diagnostics[uri]]
    assert codes == ["bad-settings", "syntax-error"]
    assert "missing.json" in client.diagnostics[uri][0].message

    # A schema file of the wrong shape, given by a configuration change.
    client.workspace_did_change_configuration(
        lsp.DidChangeConfigurationParams(settings={"quorvane": {"schema": "broken.json"}})
    )
    diagnostics = await wait_for_diagnostics(client, uri)
    assert "broken.json" in diagnostics[0].message and "Person" in diagnostics[0].message
    assert len(client.messages) == 2

    # And the right one: the unknown label is found now.
    client.workspace_did_change_configuration(
        lsp.DidChangeConfigurationParams(settings={"quorvane": {"schema": "graph.schema.json"}})
    )
    diagnostics = await wait_for_diagnostics(client, uri)
    assert [d.code for d in diagnostics] == ["unknown-label", "syntax-error"]


@pytest.mark.asyncio
async def test_settings_come_from_pyproject_and_a_saved_schema_is_read_again(client, workspace):
    (workspace / "schemas").mkdir()
    schema_path = workspace / "schemas" / "g.json"
    schema_path.write_text(json.dumps(SCHEMA), encoding="utf-8")
    (workspace / "pyproject.toml").write_text(
        '[project]\nname = "x"\n\n[tool.quorvane]\nschema = "schemas/g.json"\nlanguage = "subset"\n', encoding="utf-8"
    )
    await start(client, workspace)
    uri = await open_document(client, workspace / "q.cypher", "MATCH (g:Genre) RETURN g.name")
    assert [d.code for d in client.diagnostics[uri]] == ["unknown-label"]

    grown = dict(SCHEMA, nodes=dict(SCHEMA["nodes"], Genre=["name"]))
    schema_path.write_text(json.dumps(grown), encoding="utf-8")
    client.text_document_did_save(lsp.DidSaveTextDocumentParams(lsp.TextDocumentIdentifier(schema_path.as_uri())))
    assert list(await wait_for_diagnostics(client, uri)) == []

    # The server asked to be told of changed files, and reads the schema
    # again when told.
    watched = [r for r in client.registrations if r.method == lsp.WORKSPACE_DID_CHANGE_WATCHED_FILES]
    assert len(watched) == 1
    schema_path.write_text(json.dumps(SCHEMA), encoding="utf-8")
    client.workspace_did_change_watched_files(
        lsp.DidChangeWatchedFilesParams([lsp.FileEvent(schema_path.as_uri(), lsp.FileChangeType.Changed)])
    )
    assert [d.code for d in await wait_for_diagnostics(client, uri)] == ["unknown-label"]

    # A schema changed on disk with no word from the editor is read again at
    # the next check.
    schema_path.write_text(json.dumps(grown, indent=1), encoding="utf-8")
    client.text_document_did_change(
        lsp.DidChangeTextDocumentParams(
            lsp.VersionedTextDocumentIdentifier(uri=uri, version=2),
            [lsp.TextDocumentContentChangeWholeDocument("MATCH (g:Genre) RETURN g")],
        )
    )
    assert list(await wait_for_diagnostics(client, uri, version=2)) == []


# ------------------------------------------------------------ code actions


def apply(text, edits):
    """The text after the LSP edits (which do not overlap), made from the end."""
    lines = LineIndexForTests(text)
    for edit in sorted(edits, key=lambda e: (e.range.start.line, e.range.start.character), reverse=True):
        start, end = lines.index(edit.range.start), lines.index(edit.range.end)
        text = text[:start] + edit.new_text + text[end:]
        lines = LineIndexForTests(text)
    return text


class LineIndexForTests:
    """UTF-16 LSP positions to string indices, written apart from the server's."""

    def __init__(self, text):
        self.lines = text.split("\n")

    def index(self, position):
        line = self.lines[position.line].encode("utf-16-le")[: position.character * 2].decode("utf-16-le")
        return sum(len(x) + 1 for x in self.lines[: position.line]) + len(line)


async def code_actions(client, uri, range_, diagnostics, kind):
    return await client.text_document_code_action_async(
        lsp.CodeActionParams(
            text_document=lsp.TextDocumentIdentifier(uri),
            range=range_,
            context=lsp.CodeActionContext(diagnostics=diagnostics, only=[kind]),
        )
    )


@pytest.mark.asyncio
async def test_quick_fixes_and_fix_all(client, workspace):
    await start(client, workspace, {"schema": "graph.schema.json"})
    text = (
        "MATCH (m:Movei) RETURN m;\n"
        "MATCH (p:Persn {name: '🎬'})-[:ACTED_IN]->(m:Movie) RETURN p;\n"
        "MATCH (m:Movie)-[:DIRECTED]->(p:Person) RETURN p;\n"
        "MATCH (n) RETURN x"
    )
    uri = await open_document(client, workspace / "q.cypher", text)
    by_code = {}
    for diagnostic in client.diagnostics[uri]:
        by_code.setdefault(diagnostic.code, []).append(diagnostic)
    assert {code: len(found) for code, found in by_code.items()} == {
        "unknown-label": 2,
        "wrong-direction": 1,
        "unbound-variable": 1,
    }

    first = by_code["unknown-label"][0]
    (action,) = await code_actions(client, uri, first.range, [first], lsp.CodeActionKind.QuickFix)
    assert action.kind == lsp.CodeActionKind.QuickFix
    assert action.title == "Change 'Movei' to 'Movie'"
    assert action.diagnostics[0].range == first.range
    (edit,) = action.edit.changes[uri]
    assert (text_of(text, edit.range), edit.new_text) == ("Movei", "Movie")

    arrow = by_code["wrong-direction"][0]
    (action,) = await code_actions(client, uri, arrow.range, [arrow], lsp.CodeActionKind.QuickFix)
    assert action.title == "Reverse the arrow"
    fixed = apply(text, action.edit.changes[uri]).split("\n")[2]
    assert fixed == "MATCH (m:Movie)<-[:DIRECTED]-(p:Person) RETURN p;"

    # No fix where there is no finding with one.
    unbound = by_code["unbound-variable"][0]
    assert list(await code_actions(client, uri, unbound.range, [unbound], lsp.CodeActionKind.QuickFix)) == []

    whole = lsp.Range(lsp.Position(0, 0), lsp.Position(0, 0))
    (action,) = await code_actions(client, uri, whole, [], lsp.CodeActionKind.SourceFixAll)
    assert action.kind == lsp.CodeActionKind.SourceFixAll
    fixed = apply(text, action.edit.changes[uri])
    validator = quorvane.CypherValidator(quorvane.Schema.from_dict(SCHEMA), language="extended")
    remaining = [d.code for s in quorvane.split_statements(fixed) for d in validator.validate(s.text).diagnostics]
    assert remaining == ["unbound-variable"]
    assert "'🎬'" in fixed


# ------------------------------------------------------- completion, hover


async def complete(client, uri, text, index):
    result = await client.text_document_completion_async(
        lsp.CompletionParams(lsp.TextDocumentIdentifier(uri), position_of(text, index))
    )
    return [item.label for item in result.items]


@pytest.mark.asyncio
async def test_completion_offers_the_schema_names_that_fit(client, workspace):
    await start(client, workspace, {"schema": "graph.schema.json"})
    text = 'MATCH (m:Movie)<-[r:ACTED_IN]-(p:Person {n}), (x:Mo)-[:]->(m) WHERE p.name = "🎬" RETURN m., r.'
    uri = await open_document(client, workspace / "q.cypher", text)
    assert await complete(client, uri, text, text.index("Mo)") + 2) == ["Movie"]
    assert await complete(client, uri, text, text.index(":]") + 1) == ["ACTED_IN", "DIRECTED"]
    assert await complete(client, uri, text, text.index("{n}") + 2) == ["name"]
    assert await complete(client, uri, text, text.index("m.,") + 2) == ["title", "released"]
    assert await complete(client, uri, text, len(text)) == ["roles"]
    keywords = await complete(client, uri, text, text.index(" WHERE"))
    assert "WHERE" in keywords and "count" in keywords and "Movie" not in keywords


@pytest.mark.asyncio
async def test_hover_shows_what_the_schema_declares(client, workspace):
    await start(client, workspace, {"schema": "graph.schema.json"})
    text = "MATCH (p:Person)-[r:ACTED_IN]->(m:Movie) RETURN r.roles"
    uri = await open_document(client, workspace / "q.cypher", text)

    async def hover(word, occurrence=0):
        index = text.index(word)
        for _ in range(occurrence):
            index = text.index(word, index + 1)
        return await client.text_document_hover_async(
            lsp.HoverParams(lsp.TextDocumentIdentifier(uri), position_of(text, index + 1))
        )

    person = await hover("Person")
    assert person.contents.kind == lsp.MarkupKind.Markdown
    assert "`name`, `born`" in person.contents.value
    assert "(:Person)-[:ACTED_IN]->(:Movie)" in person.contents.value
    assert text_of(text, person.range) == "Person"
    acted = await hover("ACTED_IN")
    assert "(:Person)-[:ACTED_IN]->(:Movie)" in acted.contents.value and "`roles`" in acted.contents.value
    roles = await hover("roles")
    assert "[:ACTED_IN]" in roles.contents.value
    assert await hover("RETURN") is None


def test_the_package_is_the_one_under_test():
    assert Path(quorvane.__file__).resolve().is_relative_to(Path(__file__).resolve().parents[3])
