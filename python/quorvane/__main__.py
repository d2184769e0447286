"""``python -m quorvane``: the command-line tool (see ``quorvane --help``)."""

import sys

from quorvane.cli import main

if __name__ == "__main__":
    sys.exit(main())
