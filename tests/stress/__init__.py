"""The stress suite: fuzz, faults, leaks, threads and lifetimes at any size.

Run it with `python -m tests.stress` (see __main__.py and "Stress suite"
in docs/guides/development.rst); test_stress.py runs every part at a small size with the
ordinary tests."""
