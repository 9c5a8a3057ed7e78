"""`python -m vkt`: the command-line tool."""
import sys

from vkt.cli import main

sys.exit(main())
