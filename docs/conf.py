"""Sphinx configuration of the documentation site.

The API reference is generated at every build by sphinx-autoapi from the
typed stubs (the modules carry no docstrings), the pytest plugin and the
tools package when it is part of the tree; the guides are written here. Code
on the guide pages runs under sphinx.ext.doctest (tools/docs.sh runs that
builder before the HTML one), so what a page shows is what the code printed.
"""
import pathlib
import sys

DOCS = pathlib.Path(__file__).resolve().parent
REPO = DOCS.parent
sys.path.insert(0, str(DOCS / "_ext"))

import api_sources  # noqa: E402

project = "unit"
author = "the unit developers"
copyright = "the unit developers"
release = version = "0.1.0"

extensions = [
    "sphinx.ext.doctest",
    "autoapi.extension",
    "unit_reference",
    "bench_results",
    "settings_tables",
]

# The reference: the stubs, the plugin and the tools package, laid out as the
# import names they document (see _ext/api_sources.py).
autoapi_dirs = [str(api_sources.stage(REPO, DOCS / "_build" / "api-src"))]
autoapi_file_patterns = ["*.pyi", "*.py"]
autoapi_root = "reference/api"
autoapi_follow_symlinks = True
autoapi_own_page_level = "class"
autoapi_add_toctree_entry = False
autoapi_keep_files = False
autoapi_member_order = "groupwise"
autoapi_options = [
    "members",
    "undoc-members",
    "show-inheritance",
    "show-module-summary",
    "special-members",
    "imported-members",
]
autoapi_python_class_content = "class"

# Every cross-reference must resolve. Nothing is fetched from the network
# (no intersphinx): Python's own builtins and typing names are resolved by
# Sphinx's Python domain without a link; the names our stubs use from other
# standard modules are handled in _ext/unit_reference.py.
nitpicky = True

# The code on the pages: each group starts from a simulator at power-on in a
# temporary folder holding a copy of examples/, as a user's program would.
doctest_global_setup = f"""
import os as _os, shutil as _shutil, tempfile as _tempfile
_here = _os.getcwd()
_folder = _tempfile.mkdtemp(prefix="unit-docs-")
_shutil.copytree({str(REPO / "examples")!r}, _os.path.join(_folder, "examples"))
_os.chdir(_folder)
import vktsim as _vktsim
_vktsim.reset()
"""
doctest_global_cleanup = """
import gc as _gc
_gc.collect()
_vktsim.reset()
_os.chdir(_here)
_shutil.rmtree(_folder, ignore_errors=True)
"""
import doctest as _doctest  # noqa: E402

doctest_default_flags = _doctest.ELLIPSIS | _doctest.DONT_ACCEPT_TRUE_FOR_1

exclude_patterns = ["_build", "images"]
templates_path = ["_templates"]
# furo: a plain, readable theme with a sidebar of the guides, a search box
# and a light and dark scheme; it ships its own fonts' fallbacks and loads
# nothing from outside.
html_theme = "furo"
html_title = "unit documentation"
html_static_path = ["_static"]
html_css_files = ["site.css"]
html_last_updated_fmt = None
html_theme_options = {
    "navigation_with_keys": True,
    "top_of_page_buttons": [],
    "footer_icons": [],
}
html_show_sourcelink = False
html_show_sphinx = False
html_copy_source = False


def _local_contents_kept(app, doctree, docname):
    """A page's own table of contents (``.. contents::``) is shown as it is:
    the theme marks such lists as an error unless they carry its class for
    a table of contents that is wanted."""
    from docutils import nodes
    for topic in doctree.findall(nodes.topic):
        if "contents" in topic["classes"]:
            topic["classes"].append("this-will-duplicate-information-and-it-is-still-useful-here")


def setup(app):
    app.connect("doctree-resolved", _local_contents_kept)
