"""The API reference's arrangement: one page per family of boards.

sphinx-autoapi renders one page per module and per class from the stubs.
This extension adds what it leaves out:

* Overloads keep their own docstrings. autoapi lists every signature of an
  overloaded function but keeps only the last overload's docstring, while our
  stubs say for each overload what it does and which statuses it raises; the
  docstrings are joined, each under its signature.
* The family pages (digital I/O, each grabber model, Video, the module
  functions, the simulator, the tools): summaries of the objects of a family,
  linking to their pages. Which family a name belongs to follows from the
  name itself (FAMILIES below); a public name of ``unit`` that fits no
  family is a build warning, so a new class cannot slip past the reference.
* Names from the standard library that Sphinx's Python domain does not know
  without intersphinx (``enum.Enum``, ``builtins.Exception``, ...) are shown
  as plain text when they really exist there; anything else stays an
  unresolved reference, which the build reports.
"""
import importlib
import re
import sys

from docutils import nodes
from sphinx import addnodes
from sphinx.util import logging

import autoapi._astroid_utils
import autoapi._objects
import autoapi._parser

LOG = logging.getLogger(__name__)

# (page name, title, introduction, pattern of the names of unit that belong
# there). The first matching family takes a name.
FAMILIES = [
    ("digital-io", "Digital I/O boards",
     "The SNR11, SN2200 and TK560 boards, their settings, wait records and "
     "events, and the module-level line functions of the digital-I/O interfaces.",
     r"(SNR11|SN2200|TK560)\w*|read|write|write_status|EventStatus|INT|DI|TIMEOUT|ABORT"),
    ("ktx21", "KTX21 grabber",
     "The KTX21 Camera Link grabber with its settings, encoder, serial line and "
     "capture status record.",
     r"\w*KTX21\w*"),
    ("ktx22", "KTX22 grabber",
     "The KTX22 Camera Link grabber with its settings and board commands, "
     "encoder, serial line and status records.",
     r"\w*KTX22\w*"),
    ("mr250", "MR250 grabber",
     "The MR250 analog video grabber with its settings and capture status record.",
     r"\w*MR250\w*"),
    ("video", "Video (any grabber)",
     "The board-independent grabber class and the module-level capture "
     "functions of the video-control interface.",
     r"Video|start|stop|abort|wait|is_running"),
    ("module", "Module functions and errors",
     "Lookups, registers and device modules through the library's interfaces, "
     "and the module's exception type.",
     r"get_device_module|set_register|get_register|get_device_info|get_xml_item|Exception"),
]
SIMULATOR = ("simulator", "The simulator",
             "The companion module ``vktsim`` (image class, interfaces, "
             "enumerations and the simulated hardware's controls) and the "
             "pytest plugin ``vktsim_pytest``.",
             ("vktsim", "vktsim_pytest"))
TOOLS = ("tools", "The tools package",
         "The ``vkt`` command line, the viewer and the recording format.",
         ("vkt",))


def _signature(args, return_annotation):
    text = "(%s)" % autoapi._objects._format_args(args, True, ignore_self="self")
    if return_annotation is not None:
        text += " -> %s" % return_annotation
    return text


def _parse_child(child_data, overloads):
    """autoapi's grouping of overloads, keeping each overload's docstring."""
    name = child_data["name"]
    overloaded = (child_data["type"] in ("function", "method", "property")
                  and child_data["is_overload"])
    first = overloaded and name not in overloads
    keep = _original_parse_child(child_data, overloads)
    if overloaded:
        grouped = overloads[name]
        docs = grouped.setdefault("_overload_docs", [])
        docs.append((child_data["args"], child_data["return_annotation"],
                     child_data["doc"]))
        if not first:
            grouped["doc"] = _joined(name, docs)
    return keep


def _joined(name, docs):
    parts = []
    for args, return_annotation, doc in docs:
        parts.append("``%s%s``\n\n%s" % (name, _signature(args, return_annotation),
                                         _indent(doc.strip() or "(no description)")))
    return "\n\n".join(parts) + "\n"


def _indent(text):
    return "\n".join(("   " + line) if line else "" for line in text.splitlines())


_original_parse_child = autoapi._parser._parse_child
autoapi._parser._parse_child = _parse_child

# The packages the reference documents (see api_sources.py).
OUR_PACKAGES = ("unit", "vktsim", "vktsim_pytest", "vkt")


def _class_docstring(node):
    """A class's docstring, or else the first of its ancestors *of ours*.

    autoapi would show a class without a docstring of its own with the first
    docstring of any ancestor, such as the standard library's request handler
    for the viewer's, which is neither about our class nor written for this
    site's markup."""
    if node.doc_node is not None:
        return node.doc_node.value
    for base in node.ancestors():
        if base.qname().partition(".")[0] in OUR_PACKAGES and base.doc_node is not None:
            return base.doc_node.value
    return ""


autoapi._astroid_utils.get_class_docstring = _class_docstring


def family_of(name):
    """The page of a public name of ``unit``, or None."""
    for page, _title, _intro, pattern in FAMILIES:
        if re.fullmatch(pattern, name):
            return page
    return None


def _family_pages(app):
    """Writes the family pages next to autoapi's pages (removed with them)."""
    objects = getattr(app.env, "autoapi_all_objects", {})
    root = app.srcdir / app.config.autoapi_root
    members = {page: [] for page, *_ in FAMILIES}
    unit = objects.get("unit")
    for child in unit.children if unit else []:
        if child.name.startswith("_"):
            continue
        page = family_of(child.name)
        if page is None:
            LOG.warning("unit.%s belongs to no family of the reference "
                        "(docs/_ext/unit_reference.py)", child.name)
            continue
        members[page].append(child.id)
    pages = []
    for page, title, intro, _pattern in FAMILIES:
        pages.append(page)
        _write_page(root / ("family-%s.rst" % page), title, intro, members[page], [])
    for page, title, intro, modules in (SIMULATOR, TOOLS):
        present = [name for name in modules if name in objects]
        if not present:
            continue
        pages.append(page)
        names = [child.id for name in present for child in objects[name].children
                 if not child.name.startswith("_")]
        _write_page(root / ("family-%s.rst" % page), title, intro, names,
                    [objects[name] for name in present])
    _write_toctree(root / "families.inc", pages)


def _write_page(path, title, intro, names, modules):
    lines = [title, "=" * len(title), "", intro, ""]
    for module in modules:
        lines += [".. rubric:: Module :py:mod:`%s`" % module.id, "",
                  ".. autoapisummary::", ""]
        lines += ["   %s" % child.id for child in module.children
                  if not child.name.startswith("_")]
        lines.append("")
    if not modules:
        lines += [".. autoapisummary::", ""] + ["   %s" % name for name in names] + [""]
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text("\n".join(lines))


def _write_toctree(path, pages):
    lines = [".. toctree::", "   :maxdepth: 1", ""]
    lines += ["   api/family-%s" % page for page in pages]
    path.write_text("\n".join(lines) + "\n")


# Packages outside the standard library whose names signatures may use
# (the examples and the tools package work with numpy arrays).
KNOWN_PACKAGES = ("numpy", "pytest", "_pytest")


def _standard_name(app, env, node, contnode):
    """Shows an existing name of the standard library (or of numpy, pytest)
    as text instead of a link: there is no inventory of theirs offline."""
    if node.get("refdomain") != "py":
        return None
    target = node.get("reftarget", "")
    module, _, attribute = target.rpartition(".")
    top = module.partition(".")[0]
    if not module or (top not in sys.stdlib_module_names and top not in KNOWN_PACKAGES):
        return None
    try:
        found = importlib.import_module(module)
    except ImportError:
        return None
    if not hasattr(found, attribute):
        return None
    return contnode if contnode is not None else nodes.literal(text=target)


# The stubs' private type aliases, as a reader of the reference sees them:
# the short name a signature shows in their place, and what they accept
# (the alias's own entry on its module's page says it in full).
ALIASES = {
    "_Int": ("int-like", "int-like: ``int`` or an object with ``__index__`` (``bool``, numpy "
             "integers); never a float, which is refused with ``TypeError``."),
    "_Text": ("text", "text: ``str`` (passed as UTF-8), ``bytes`` (passed as they are) or "
              "``None``, which the library refuses where it needs a text."),
    "_Name": ("name", "name: the name of a setting or command, ``str`` or ``bytes``, "
              "compared exactly (case matters)."),
    "_Value": ("int-like or text", "a setting's value: int-like (``int`` or an object with "
               "``__index__``) for a number setting, ``str`` or ``bytes`` for a text setting."),
    "_ImageList": ("image list", "image list: a ``list`` of :py:class:`vktsim.Image` (no other "
                   "sequence); a ``None`` element reaches the library as a missing image."),
    "_Buffer": ("buffer", "buffer: ``None``, a capsule, or any object of a class registered "
                "with pybind11 (its library object's address is passed)."),
    "_Grabber": ("grabber", "grabber: an open :py:class:`unit.KTX21`, :py:class:`unit.KTX22` "
                 "or :py:class:`unit.MR250`, or a :py:class:`unit.Video` driving one."),
    "_JournalValue": ("journal value", "journal value: what the library received, as plain "
                      "values: ``None``, ``bool``, ``int``, ``bytes``, ``str``, or a list of "
                      "these."),
    "_ScriptValue": ("script value", "script value: the answer a scripted call gives: "
                     "``None``, ``int``, ``bytes``, or a tuple of these."),
    "_Interface": ("interface", "interface: one of the interface classes of ``vktsim`` "
                   "(:py:class:`vktsim.IxModule`, :py:class:`vktsim.IxDIO`, ...); the call "
                   "returns an object of the class asked for."),
}
# The name tables: _<Model><Kind>Name.
NAME_TABLE = re.compile(r"_(?P<model>KTX21|KTX22|MR250|SNR11|SN2200|TK560|Video)"
                        r"(?P<kind>Int|Text|Get|Set)Name$")
NAME_KINDS = {"Int": ("number setting", "the names of its number settings (``get_param`` "
                      "returns an ``int``)"),
              "Get": ("readable setting", "the names ``get_param`` reads"),
              "Text": ("text setting", "the names of its text settings (``get_param`` "
                       "returns a ``str``)"),
              "Set": ("writable setting", "the names ``set_param`` writes")}


def alias_of(name):
    """(short name, description) of a private alias of the stubs, or None."""
    if name in ALIASES:
        return ALIASES[name]
    found = NAME_TABLE.match(name)
    if not found:
        return None
    model, kind = found.group("model"), found.group("kind")
    short, what = NAME_KINDS[kind]
    return ("%s name" % short,
            "%s %s name: one of %s of the %s's table, compared exactly; the "
            ":doc:`settings page </guides/settings>` says what each one does."
            % (model, short, what, model))


def _keep_type_aliases(app, what, name, obj, skip, options):
    """Keeps the stubs' private module-level names (type aliases and the
    interface type variable), which signatures name, with a description of
    what they accept; leaves out ``__hash__ = None``, which every class with
    an equality declares and which says nothing to a reader."""
    module, _, short = name.rpartition(".")
    if short == "__hash__":
        return True
    if what in ("data", "type") and short.startswith("_") and module in ("unit", "vktsim"):
        described = alias_of(short)
        if described is not None and not obj.docstring:
            obj.docstring = described[1]
        return False
    return None


def _readable_aliases(doctree):
    """Shows a private alias in a signature by what it accepts ("int-like"
    for ``_Int``), still linking to its entry."""
    for node in doctree.findall(addnodes.pending_xref):
        if node.get("refdomain") != "py":
            continue
        described = alias_of(node.get("reftarget", "").rpartition(".")[2])
        if described is None or node.astext() != node.get("reftarget", "").rpartition(".")[2] \
                and node.astext() != node.get("reftarget", ""):
            continue
        node.children = [nodes.Text(described[0])]


def _module_context(app, doctree):
    """Gives the references on a generated page the module it documents.

    autoapi writes a class's own page with its full name and no current
    module, so a name in a signature (``_Int``) would be looked up in every
    module and be ambiguous between ``unit._Int`` and ``vktsim._Int``. The
    module is the longest module name the page's path spells
    (``reference/api/vkt/viewer/capture/Capture``: ``vkt.viewer.capture``)."""
    prefix = app.config.autoapi_root + "/"
    docname = app.env.docname
    if not docname.startswith(prefix):
        return
    objects = getattr(app.env, "autoapi_all_objects", {})
    parts = docname[len(prefix):].split("/")
    module = parts[0]
    for length in range(len(parts), 0, -1):
        name = ".".join(parts[:length])
        if getattr(objects.get(name), "type", None) in ("module", "package"):
            module = name
            break
    for node in doctree.findall(addnodes.pending_xref):
        if node.get("refdomain") == "py" and not node.get("py:module"):
            node["py:module"] = module
    _readable_aliases(doctree)


def _qualified_constructor_overloads(app, docname, source):
    """Gives every signature of a class with overloaded constructors its full
    name on the class's own page.

    autoapi writes the first signature with the full name (``unit.KTX21``) and
    the further overloads with the short one (``KTX21(other)``); Sphinx then
    files the class, and every member after it, a second time without the
    module (``KTX21.abort``), so neither links nor the index would find them
    under ``unit``."""
    prefix = app.config.autoapi_root + "/"
    if not docname.startswith(prefix):
        return
    lines = source[0].split("\n")
    for number, line in enumerate(lines):
        found = re.match(r"\.\. py:(class|exception):: (([\w.]+)\.(\w+))", line)
        if not found:
            continue
        short = re.compile(r"^(\s+)%s\(" % re.escape(found.group(4)))
        for following in range(number + 1, len(lines)):
            text = lines[following]
            if not text.strip():
                continue
            if not short.match(text):
                break
            lines[following] = short.sub(r"\g<1>%s(" % found.group(2), text, count=1)
    source[0] = "\n".join(lines)


def setup(app):
    app.connect("source-read", _qualified_constructor_overloads)
    app.connect("doctree-read", _module_context)
    app.connect("autoapi-skip-member", _keep_type_aliases)
    app.connect("builder-inited", _family_pages, priority=600)
    app.connect("missing-reference", _standard_name, priority=900)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
