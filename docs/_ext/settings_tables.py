"""The settings page's tables, made at every build so they cannot drift.

``.. settings-table:: KTX22`` shows every setting of a model, in the order of
the table the command line and the viewer use (``vkt.boards.settings_table``):
its kind and access from that table; its power-on value read from a freshly
opened simulated board; for a writable number, the range the simulated board
accepts, found by asking it (the lowest and highest values ``set_param``
takes, each checked against its neighbour that is refused); and what the
simulated board does with it (``setting_notes.py``, the one hand-written
part). The simulator is reset around every probe, so the build's other
samples start from power-on as before.
"""
import pathlib

from docutils import nodes
from docutils.parsers.rst import Directive
from sphinx.util import logging

import setting_notes

LOG = logging.getLogger(__name__)

DIO_MODELS = ("SNR11", "SN2200", "TK560")
GRABBER_MODELS = ("KTX21", "KTX22", "MR250")
INT32 = (-2 ** 31, 2 ** 31 - 1)
UINT32 = (0, 2 ** 32 - 1)
ACCESS = {(True, True): "read/write", (True, False): "read-only", (False, True): "write-only"}


def _open(model):
    """A simulated board of `model` at power-on: (board, its settings object)."""
    import unit
    board = getattr(unit, model)()
    if model in DIO_MODELS:
        board.open(0)
    else:
        board.open(0, 0)
    return board, getattr(unit, model + "Param").from_(board)


def _accepts(param, name, value):
    try:
        param.set_param(name, value)
    except Exception:   # a library refusal or a value the binding cannot pass
        return False
    return True


def _edge(param, name, good, bad):
    """The accepted value nearest to `bad` between `good` (accepted) and `bad`
    (refused): the ranges are contiguous, so a bisection finds it."""
    while abs(bad - good) > 1:
        middle = (good + bad) // 2
        if _accepts(param, name, middle):
            good = middle
        else:
            bad = middle
    return good


def _range(param, name, start):
    """(lowest, highest) value the board takes for a number setting, or None
    when it refuses even `start`."""
    if not _accepts(param, name, start):
        return None
    low = INT32[0] if _accepts(param, name, INT32[0]) else _edge(param, name, start, INT32[0])
    high = UINT32[1] if _accepts(param, name, UINT32[1]) else _edge(param, name, start, UINT32[1])
    return low, high


def probe(model):
    """One row per setting of `model`: (Setting, power-on value or None,
    accepted range or None)."""
    import vktsim
    from vkt import boards
    rows = []
    try:
        for setting in boards.settings_table(model):
            vktsim.reset()
            board, param = _open(model)
            try:
                value = param.get_param(setting.name) if setting.readable else None
                accepted = None
                if setting.writable and setting.kind == "int":
                    accepted = _range(param, setting.name, value if value is not None else 0)
            finally:
                board.close()
            rows.append((setting, value, accepted))
    finally:
        vktsim.reset()
    return rows


def describe_range(accepted, kind, writable):
    if not writable:
        return ""
    if kind == "text":
        return "any text"
    if accepted is None:
        return "(refuses its own value)"
    low, high = accepted
    if accepted == INT32:
        return "any 32-bit signed number"
    if accepted == UINT32:
        return "0 to 4294967295 (32 bits, unsigned)"
    if high - low == 1:
        return "%d or %d" % (low, high)
    return "%d to %d" % (low, high)


def describe_value(value, kind):
    if value is None:
        return "(write-only)"
    if kind == "text":
        return '"%s"' % value.encode("unicode_escape").decode("ascii").replace('"', '\\"')
    return str(value)


def _cell(text, literal=False):
    entry = nodes.entry()
    paragraph = nodes.paragraph()
    if literal and text:
        paragraph += nodes.literal(text=text)
    else:
        paragraph += _inline_literals(text)
    entry += paragraph
    return entry


def _inline_literals(text):
    """Text with ``double-backquoted`` parts as literals (the notes' markup)."""
    parts = text.split("``")
    result = []
    for number, part in enumerate(parts):
        if part:
            result.append(nodes.literal(text=part) if number % 2 else nodes.Text(part))
    return result


HEADER = ["setting", "kind", "access", "power-on", "accepts", "what the simulated board does"]
WIDTHS = [14, 5, 8, 10, 12, 40]


def table(model, rows):
    table = nodes.table(classes=["settings-table"])
    group = nodes.tgroup(cols=len(HEADER))
    table += group
    for width in WIDTHS:
        group += nodes.colspec(colwidth=width)
    head = nodes.thead()
    group += head
    row = nodes.row()
    for title in HEADER:
        row += _cell(title)
    head += row
    body = nodes.tbody()
    group += body
    for setting, value, accepted in rows:
        row = nodes.row(ids=["%s-%s" % (model.lower(), setting.name.lower())])
        row += _cell(setting.name, literal=True)
        row += _cell(setting.kind)
        row += _cell(ACCESS[(setting.readable, setting.writable)])
        row += _cell(describe_value(value, setting.kind), literal=True)
        row += _cell(describe_range(accepted, setting.kind, setting.writable))
        row += _cell(setting_notes.note(model, setting.name)
                     or "Kept and read back; the simulated board does not act on it.")
        body += row
    return table


def check_notes(names_by_model):
    """The notes' names that no table has: each one a build warning."""
    stale = []
    for group, models in ((setting_notes.GRABBER, GRABBER_MODELS), (setting_notes.DIO, DIO_MODELS)):
        known = set().union(*(names_by_model[model] for model in models))
        stale += ["shared: %s" % name for name in group if name not in known]
    for model, notes in setting_notes.NOTES.items():
        shared = setting_notes.GRABBER if model in GRABBER_MODELS else setting_notes.DIO
        stale += ["%s: %s" % (model, name) for name, text in notes.items()
                  if name not in names_by_model[model] and shared.get(name) != text]
    return stale


class SettingsTable(Directive):
    required_arguments = 1

    def run(self):
        env = self.state.document.settings.env
        env.note_dependency(str(pathlib.Path(setting_notes.__file__)))
        model = self.arguments[0]
        rows = probe(model)
        return [table(model, rows)]


def _check(app):
    from vkt import boards
    names = {model: {setting.name for setting in boards.settings_table(model)}
             for model in DIO_MODELS + GRABBER_MODELS}
    for stale in check_notes(names):
        LOG.warning("a settings note names no setting of the tables: %s "
                    "(docs/_ext/setting_notes.py)", stale)


def setup(app):
    app.add_directive("settings-table", SettingsTable)
    app.connect("builder-inited", _check)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
