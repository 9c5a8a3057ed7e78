"""The Python surface of `unit` and `vktsim`, found by introspection, so that
members added later are exercised without anyone listing them here.

pybind11 writes every overload's signature into the docstring
("name(self: unit.KTX21, image: vktsim.Image, option: int = 0) -> None");
those signatures tell the fuzzer how many arguments each overload takes, of
which types, and which have defaults."""
import dataclasses
import re

import unit
import vktsim

MODULES = (unit, vktsim)

_SIGNATURE = re.compile(r"^(?:\d+\. )?(?P<name>\w*)\((?P<params>.*)\) -> (?P<result>.+)$")


@dataclasses.dataclass(frozen=True)
class Param:
    name: str
    type: str          # as pybind11 spells it: "int", "str", "unit.KTX21", ...
    has_default: bool


@dataclasses.dataclass(frozen=True)
class Member:
    owner: object      # the module or the class
    name: str
    kind: str          # "function", "method", "static", "property" or "class property"
    overloads: tuple   # each a tuple of Param, `self` excluded
    settable: bool = False
    setter_overloads: tuple = ()

    @property
    def label(self):
        return "%s.%s" % (getattr(self.owner, "__qualname__", self.owner.__name__), self.name)


def _split_params(text):
    """Splits a parameter list at the commas that are not inside brackets."""
    parts, depth, current = [], 0, []
    for char in text:
        if char in "([{<":
            depth += 1
        elif char in ")]}>":
            depth -= 1
        if char == "," and depth == 0:
            parts.append("".join(current).strip())
            current = []
        else:
            current.append(char)
    if "".join(current).strip():
        parts.append("".join(current).strip())
    return parts


def _parse_param(text):
    head, _, default = text.partition(" = ")
    name, _, type_name = head.partition(": ")
    return Param(name.strip(), type_name.strip() or "object", bool(default))


def signatures(function, drop_first=False):
    """The overloads of a pybind11 function, from its docstring; the object
    parameter (`self`, or the first one of a property's accessor) is left out."""
    overloads = []
    for line in (getattr(function, "__doc__", None) or "").splitlines():
        match = _SIGNATURE.match(line.strip())
        if match is None or match.group("params") == "*args, **kwargs":
            continue
        params = [_parse_param(p) for p in _split_params(match.group("params"))]
        if params and (params[0].name == "self" or drop_first):
            params = params[1:]
        overloads.append(tuple(params))
    return tuple(overloads) or ((),)


def _is_function(obj):
    return type(obj).__name__ in ("builtin_function_or_method", "instancemethod")


def _class_members(cls):
    members = []
    for name, attr in sorted(vars(cls).items()):
        if type(attr).__name__ == "pybind11_static_property":
            # Python hands these the class (`EventStatus.__members__`); pybind11's
            # own enum `__doc__` reads its argument as a type unchecked.
            members.append(Member(cls, name, "class property", ((),)))
        elif isinstance(attr, property):
            members.append(Member(cls, name, "property", ((),), settable=attr.fset is not None,
                                   setter_overloads=signatures(attr.fset, drop_first=True)
                                   if attr.fset else ()))
        elif isinstance(attr, staticmethod):
            members.append(Member(cls, name, "static", signatures(attr.__func__)))
        elif _is_function(attr):
            members.append(Member(cls, name, "method", signatures(attr)))
    return members


def classes(module):
    """The module's classes; its exception type is raised, never called on."""
    return [obj for _, obj in sorted(vars(module).items())
            if isinstance(obj, type) and obj.__module__ == module.__name__
            and not issubclass(obj, BaseException)]


def module_functions(module):
    return [Member(module, name, "function", signatures(obj))
            for name, obj in sorted(vars(module).items())
            if type(obj).__name__ == "builtin_function_or_method"]


def python_class(type_name):
    """The class a signature's type names: "unit.KTX21", or a library type as
    pybind11 spells it when its Python class came from the other module
    ("vkt::CxImage" is vktsim.Image, "vkt::Video::TxKTX22CaptureStatus" is
    unit.TxKTX22CaptureStatus). None for built-in types."""
    module_name, _, name = type_name.rpartition(".")
    if module_name in ("unit", "vktsim"):
        return getattr(globals()[module_name], name, None)
    name = type_name.rpartition("::")[2]
    for candidate in (name, name[2:] if name.startswith("Cx") else name):
        for module in MODULES:
            found = getattr(module, candidate, None)
            if isinstance(found, type):
                return found
    return None


def all_classes():
    return [cls for module in MODULES for cls in classes(module)]


def all_members():
    """Every module function and every member of every class of both modules."""
    members = []
    for module in MODULES:
        members.extend(module_functions(module))
        for cls in classes(module):
            members.extend(_class_members(cls))
    return members
