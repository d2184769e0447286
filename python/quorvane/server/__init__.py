"""The quorvane language server (``quorvane server``).

The editor-independent parts are plain modules that need nothing beyond the
quorvane package:

- ``positions``: string indices to and from LSP line/character positions in
  UTF-8, UTF-16 or UTF-32 code units;
- ``settings``: the ``[tool.quorvane]`` table of pyproject.toml or
  quorvane.toml, and editor options on top of it;
- ``analysis``: the findings of a whole document, statement by statement,
  with a cache of results per statement text;
- ``assist``: completion contexts and candidates, and hover text.

``lsp`` wires them to the protocol with pygls; it needs the optional
dependencies (``pip install "quorvane[server]"``) and is imported only by
``quorvane server``.
"""
