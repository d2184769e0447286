"""The language server: the pure modules of this package wired to the
protocol with pygls (``pip install "quorvane[server]"``).

Run it with ``quorvane server`` (or ``serve()``); it talks LSP over standard
input and output.
"""

from __future__ import annotations

import asyncio
import os
import sys
from collections.abc import Callable, Sequence
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Final, TypeVar
from urllib.parse import unquote, urlparse

from lsprotocol import types as lsp
from pygls.lsp.server import LanguageServer

import quorvane
from quorvane.schema_file import load_schema
from quorvane.server.analysis import Analyzer, Edit, Finding, fix_all_edits
from quorvane.server.assist import SchemaView, completions, context_at, hover_text
from quorvane.server.positions import UTF8, UTF16, UTF32, Encoding, LineIndex
from quorvane.server.settings import (
    CONFIG_FILES,
    Settings,
    SettingsError,
    apply_options,
    find_config_file,
    load_config_file,
)

__all__ = ["CODES_URL", "DEBOUNCE_SECONDS", "QuorvaneServer", "serve"]

CODES_URL: Final = "https://github.com/quorvane/quorvane#diagnostic-codes"
"""Where the README's table of diagnostic codes is; every diagnostic links to it."""

DEBOUNCE_SECONDS: Final = 0.03
"""How long after a change the document is validated, unless changed again."""

SOURCE: Final = "quorvane"
CYPHER_SUFFIXES: Final = (".cypher", ".cql", ".cyp")

_SEVERITIES: Final = {"error": lsp.DiagnosticSeverity.Error, "warning": lsp.DiagnosticSeverity.Warning}
_COMPLETION_KINDS: Final = {
    "label": lsp.CompletionItemKind.Class,
    "type": lsp.CompletionItemKind.Interface,
    "property": lsp.CompletionItemKind.Property,
    "keyword": lsp.CompletionItemKind.Keyword,
    "function": lsp.CompletionItemKind.Function,
}
_FIX_ALL: Final = lsp.CodeActionKind.SourceFixAll
_QUICK_FIX: Final = lsp.CodeActionKind.QuickFix


def uri_path(uri: str) -> Path | None:
    """The local path of a file: URI, or None for other schemes."""
    parsed = urlparse(uri)
    if parsed.scheme != "file":
        return None
    return Path(unquote(parsed.path))


def _stamp(path: Path | None) -> tuple[int, int] | None:
    if path is None:
        return None
    try:
        st = os.stat(path)
    except OSError:
        return None
    return st.st_mtime_ns, st.st_size


@dataclass
class _Checked:
    """The latest findings of an open document and the text they are for."""

    text: str
    findings: list[Finding]
    diagnostics: list[lsp.Diagnostic]


def _edit_title(text: str, finding: Finding) -> str:
    if len(finding.edits) == 1:
        edit = finding.edits[0]
        old = text[edit.start : edit.end]
        if not old:
            return f"Insert '{edit.replacement}'"
        if not edit.replacement:
            return f"Remove '{old}'"
        return f"Change '{old}' to '{edit.replacement}'"
    if finding.code == "wrong-direction":
        return "Reverse the arrow"
    return f"Fix: {finding.suggestion or finding.message}"


_P = TypeVar("_P")
_R = TypeVar("_R")


def _plain(method: Callable[[_P], _R]) -> Callable[[_P], _R]:
    """A plain function calling ``method``: pygls marks the functions it
    registers, which a bound method does not allow."""

    def handler(params: _P) -> _R:
        return method(params)

    return handler


def _kind_wanted(kind: str, only: Sequence[str] | None) -> bool:
    return only is None or any(kind == o or kind.startswith(o + ".") for o in only)


class QuorvaneServer:
    """One server: settings, the schema, the open documents and their findings."""

    def __init__(self, debounce: float = DEBOUNCE_SECONDS) -> None:
        self.ls = LanguageServer("quorvane", quorvane.__version__, text_document_sync_kind=lsp.TextDocumentSyncKind.Incremental)
        self.debounce = debounce
        self.root: Path | None = None
        self.init_options: Any = None
        self.client_settings: Any = None
        self.settings = Settings()
        self.analyzer = Analyzer(None)
        self.view = SchemaView(None)
        self.problem: str | None = None
        self._stamps: tuple[tuple[int, int] | None, ...] = ()
        self.checked: dict[str, _Checked] = {}
        self._pending: dict[str, asyncio.Task[None]] = {}
        self._register()

    # ---------------------------------------------------------- settings

    def configure(self) -> None:
        """Reads the settings and the schema again; any problem is kept in
        ``problem`` (and shown by the caller), never raised."""
        problems: list[str] = []
        settings = Settings()
        config = find_config_file(self.root) if self.root is not None else None
        try:
            if config is not None:
                settings = load_config_file(config)
            settings = apply_options(settings, self.init_options, self.root)
            settings = apply_options(settings, self.client_settings, self.root)
        except SettingsError as e:
            problems.append(str(e))
        schema = None
        if settings.schema is not None:
            try:
                schema = load_schema(settings.schema)
            except OSError as e:
                problems.append(f"{settings.schema}: cannot read the schema: {e.strerror or e}")
            except Exception as e:  # a SchemaFileError, or anything else: never a crash
                problems.append(f"bad schema: {e}")
        self.settings = settings
        self.analyzer = Analyzer(schema, settings.language)
        self.view = SchemaView(schema)
        self.problem = "; ".join(problems) or None
        self._stamps = self._file_stamps()

    def _file_stamps(self) -> tuple[tuple[int, int] | None, ...]:
        """When the schema and the configuration files last changed: a check
        reads them again when that differs, whatever the editor told."""
        configs = [self.root / name for name in CONFIG_FILES] if self.root is not None else []
        return tuple(_stamp(path) for path in [self.settings.schema, *configs])

    def _files_changed(self) -> bool:
        return self._file_stamps() != self._stamps

    def reconfigure(self, checking: str | None = None) -> None:
        """Reads settings and schema again, tells the user of a problem and
        checks every open document again (but ``checking``, whose check is
        under way)."""
        self.configure()
        self.show_problem()
        for uri in list(self.checked):
            if uri != checking:
                self.schedule(uri, 0)

    def show_problem(self) -> None:
        if self.problem is not None:
            self.ls.window_show_message(
                lsp.ShowMessageParams(
                    type=lsp.MessageType.Error,
                    message=f"quorvane: {self.problem} (checking without a schema)",
                )
            )

    # ------------------------------------------------------- positions

    @property
    def encoding(self) -> Encoding:
        kind = str(getattr(self.ls.workspace.position_encoding, "value", self.ls.workspace.position_encoding))
        return UTF8 if kind == UTF8 else UTF32 if kind == UTF32 else UTF16

    def _range(self, index: LineIndex, start: int, end: int) -> lsp.Range:
        encoding = self.encoding
        sl, sc = index.position(start, encoding)
        el, ec = index.position(end, encoding)
        return lsp.Range(lsp.Position(sl, sc), lsp.Position(el, ec))

    def _text_edits(self, index: LineIndex, edits: Sequence[Edit]) -> list[lsp.TextEdit]:
        return [lsp.TextEdit(self._range(index, e.start, e.end), e.replacement) for e in edits]

    def diagnostics(self, text: str, findings: Sequence[Finding]) -> list[lsp.Diagnostic]:
        """The LSP diagnostics of a document's findings, one for each."""
        index = LineIndex(text)
        href = lsp.CodeDescription(href=CODES_URL)
        return [
            lsp.Diagnostic(
                range=self._range(index, f.start, f.end),
                message=f.message,
                severity=_SEVERITIES.get(f.severity, lsp.DiagnosticSeverity.Error),
                code=f.code,
                code_description=href,
                source=SOURCE,
            )
            for f in findings
        ]

    def problem_diagnostics(self) -> list[lsp.Diagnostic]:
        """A diagnostic at the top of each document for a settings or schema
        problem, if there is one."""
        if self.problem is None:
            return []
        return [
            lsp.Diagnostic(
                range=lsp.Range(lsp.Position(0, 0), lsp.Position(0, 0)),
                message=f"{self.problem} (checking without a schema)",
                severity=lsp.DiagnosticSeverity.Error,
                code="bad-settings",
                code_description=lsp.CodeDescription(href=CODES_URL),
                source=SOURCE,
            )
        ]

    # -------------------------------------------------------- checking

    def schedule(self, uri: str, delay: float) -> None:
        """Checks the document after ``delay`` seconds, replacing a check not
        yet started."""
        old = self._pending.pop(uri, None)
        if old is not None:
            old.cancel()
        self._pending[uri] = asyncio.get_running_loop().create_task(self._check(uri, delay))

    async def _check(self, uri: str, delay: float) -> None:
        if delay:
            await asyncio.sleep(delay)
        if self._files_changed():
            self.reconfigure(checking=uri)
        document = self.ls.workspace.get_text_document(uri)
        text, version = document.source, document.version
        analyzer = self.analyzer
        analysis = await asyncio.get_running_loop().run_in_executor(None, analyzer.analyze, text)
        if self._pending.get(uri) is asyncio.current_task():
            del self._pending[uri]
        if uri not in self.checked or self.ls.workspace.get_text_document(uri).version != version:
            return  # closed, or changed meanwhile: a newer check follows
        diagnostics = self.diagnostics(text, analysis.findings)
        self.checked[uri] = _Checked(text, analysis.findings, diagnostics)
        published = self.problem_diagnostics() + diagnostics
        self.ls.text_document_publish_diagnostics(lsp.PublishDiagnosticsParams(uri, published, version))

    def current(self, uri: str) -> _Checked | None:
        """The findings of the document as it is now, checked again at once if
        it changed since its last check (cached statements make that cheap)."""
        checked = self.checked.get(uri)
        if checked is None:
            return None
        text = self.ls.workspace.get_text_document(uri).source
        if checked.text != text:
            findings = self.analyzer.analyze(text).findings
            checked = _Checked(text, findings, self.diagnostics(text, findings))
        return checked

    def is_settings_file(self, uri: str) -> bool:
        path = uri_path(uri)
        if path is None:
            return False
        if self.settings.schema is not None and path == self.settings.schema:
            return True
        return self.root is not None and path.parent == self.root and path.name in CONFIG_FILES

    # -------------------------------------------------------- handlers

    def _register(self) -> None:
        ls = self.ls
        ls.feature(lsp.INITIALIZE)(_plain(self.on_initialize))
        ls.feature(lsp.INITIALIZED)(_plain(self.on_initialized))
        ls.feature(lsp.TEXT_DOCUMENT_DID_OPEN)(_plain(self.on_open))
        ls.feature(lsp.TEXT_DOCUMENT_DID_CHANGE)(_plain(self.on_change))
        ls.feature(lsp.TEXT_DOCUMENT_DID_SAVE, lsp.SaveOptions(include_text=False))(_plain(self.on_save))
        ls.feature(lsp.TEXT_DOCUMENT_DID_CLOSE)(_plain(self.on_close))
        ls.feature(lsp.WORKSPACE_DID_CHANGE_CONFIGURATION)(_plain(self.on_configuration))
        ls.feature(lsp.WORKSPACE_DID_CHANGE_WATCHED_FILES)(_plain(self.on_watched_files))
        ls.feature(
            lsp.TEXT_DOCUMENT_CODE_ACTION,
            lsp.CodeActionOptions(code_action_kinds=[_QUICK_FIX, _FIX_ALL]),
        )(_plain(self.on_code_action))
        ls.feature(
            lsp.TEXT_DOCUMENT_COMPLETION,
            lsp.CompletionOptions(trigger_characters=[":", ".", "{", "|"]),
        )(_plain(self.on_completion))
        ls.feature(lsp.TEXT_DOCUMENT_HOVER)(_plain(self.on_hover))

    def on_initialize(self, params: lsp.InitializeParams) -> None:
        folders = params.workspace_folders or []
        root_uri = folders[0].uri if folders else params.root_uri
        if root_uri is not None:
            self.root = uri_path(root_uri)
        elif params.root_path:
            self.root = Path(params.root_path)
        self.init_options = params.initialization_options
        self.configure()

    def on_initialized(self, params: lsp.InitializedParams) -> None:
        self.show_problem()
        capabilities = self.ls.client_capabilities.workspace
        watched = capabilities.did_change_watched_files if capabilities is not None else None
        if watched is not None and watched.dynamic_registration:
            globs = ["**/*.json", *(f"**/{name}" for name in CONFIG_FILES)]
            options = lsp.DidChangeWatchedFilesRegistrationOptions(
                watchers=[lsp.FileSystemWatcher(glob_pattern=g) for g in globs]
            )
            self.ls.client_register_capability(
                lsp.RegistrationParams(
                    [lsp.Registration("quorvane-files", lsp.WORKSPACE_DID_CHANGE_WATCHED_FILES, options)]
                )
            )

    def on_open(self, params: lsp.DidOpenTextDocumentParams) -> None:
        document = params.text_document
        if document.language_id != "cypher" and not document.uri.endswith(CYPHER_SUFFIXES):
            return
        self.checked[document.uri] = _Checked("", [], [])
        self.schedule(document.uri, 0)

    def on_change(self, params: lsp.DidChangeTextDocumentParams) -> None:
        if params.text_document.uri in self.checked:
            self.schedule(params.text_document.uri, self.debounce)

    def on_save(self, params: lsp.DidSaveTextDocumentParams) -> None:
        uri = params.text_document.uri
        if self.is_settings_file(uri):
            self.reconfigure()
        elif uri in self.checked:
            self.schedule(uri, 0)

    def on_close(self, params: lsp.DidCloseTextDocumentParams) -> None:
        uri = params.text_document.uri
        pending = self._pending.pop(uri, None)
        if pending is not None:
            pending.cancel()
        if self.checked.pop(uri, None) is not None:
            self.ls.text_document_publish_diagnostics(lsp.PublishDiagnosticsParams(uri, []))

    def on_configuration(self, params: lsp.DidChangeConfigurationParams) -> None:
        self.client_settings = params.settings
        self.reconfigure()

    def on_watched_files(self, params: lsp.DidChangeWatchedFilesParams) -> None:
        if any(self.is_settings_file(change.uri) for change in params.changes):
            self.reconfigure()

    def on_code_action(self, params: lsp.CodeActionParams) -> list[lsp.CodeAction] | None:
        uri = params.text_document.uri
        checked = self.current(uri)
        if checked is None:
            return None
        only = params.context.only
        index = LineIndex(checked.text)
        actions: list[lsp.CodeAction] = []
        wanted = params.range
        if _kind_wanted(_QUICK_FIX, only):
            for finding, diagnostic in zip(checked.findings, checked.diagnostics, strict=True):
                if not finding.edits:
                    continue
                r = diagnostic.range
                before = (r.end.line, r.end.character) < (wanted.start.line, wanted.start.character)
                after = (r.start.line, r.start.character) > (wanted.end.line, wanted.end.character)
                if before or after:
                    continue
                actions.append(
                    lsp.CodeAction(
                        title=_edit_title(checked.text, finding),
                        kind=_QUICK_FIX,
                        diagnostics=[diagnostic],
                        is_preferred=True,
                        edit=lsp.WorkspaceEdit(changes={uri: self._text_edits(index, finding.edits)}),
                    )
                )
        if _kind_wanted(_FIX_ALL, only):
            edits = fix_all_edits(checked.findings)
            if edits:
                actions.append(
                    lsp.CodeAction(
                        title="Fix all quorvane findings that have a fix",
                        kind=_FIX_ALL,
                        edit=lsp.WorkspaceEdit(changes={uri: self._text_edits(index, edits)}),
                    )
                )
        return actions

    def on_completion(self, params: lsp.CompletionParams) -> lsp.CompletionList:
        text = self.ls.workspace.get_text_document(params.text_document.uri).source
        index = LineIndex(text)
        position = params.position
        offset = index.index(position.line, position.character, self.encoding)
        context = context_at(text, offset)
        replaced = self._range(index, context.start, offset)
        items = [
            lsp.CompletionItem(
                label=c.label,
                kind=_COMPLETION_KINDS[c.kind],
                detail=c.detail,
                sort_text=f"{i:05d}",
                text_edit=lsp.TextEdit(replaced, c.insert),
            )
            for i, c in enumerate(completions(context, self.view))
        ]
        return lsp.CompletionList(is_incomplete=False, items=items)

    def on_hover(self, params: lsp.HoverParams) -> lsp.Hover | None:
        text = self.ls.workspace.get_text_document(params.text_document.uri).source
        index = LineIndex(text)
        position = params.position
        found = hover_text(text, index.index(position.line, position.character, self.encoding), self.view)
        if found is None:
            return None
        markdown, (start, end) = found
        return lsp.Hover(
            contents=lsp.MarkupContent(kind=lsp.MarkupKind.Markdown, value=markdown),
            range=self._range(index, start, end),
        )


def serve() -> None:
    """Runs a server over standard input and output until the client exits.

    The server reads and writes copies of the two file descriptors, so that
    sys.stdin and sys.stdout stay open when it closes its own at exit."""
    with (
        os.fdopen(os.dup(sys.stdin.fileno()), "rb") as stdin,
        os.fdopen(os.dup(sys.stdout.fileno()), "wb") as stdout,
    ):
        QuorvaneServer().ls.start_io(stdin, stdout)
