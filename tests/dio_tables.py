"""The parameter names each digital-I/O Param class accepts, as data.

Each row: name, kind read by get_param, kind written by set_param (None where
the direction is refused). Kinds: "i" signed 32-bit, "u" unsigned 32-bit,
"s" text.
"""

SNR11 = [
    ("INTEnable", "i", "i"), ("INTEdge", "i", "i"), ("INTStatus", "i", None),
    ("DeviceID", "i", None), ("DeviceType", "i", None), ("DriverVersion", "i", None),
    ("Timeout", "i", "i"), ("DIWaitMode", None, "i"), ("INTWaitEnable", None, "i"),
    ("Version", "i", "i"), ("DIEnable", "u", "u"), ("DIEdge", "u", "u"),
    ("DIWaitEnable", "u", "u"),
]

SN2200 = [
    ("DINoiseFilterTime", "i", "i"), ("DeviceID", "i", None), ("DeviceType", "i", None),
    ("DriverVersion", "i", None), ("FpgaVersion", "i", None), ("Timeout", "i", "i"),
    ("Version", None, "i"), ("DIEnable", "u", "u"), ("DIEdge", "u", "u"),
    ("DIWaitEnable", "u", "u"), ("DriverVersionName", "s", None), ("FpgaVersionName", "s", None),
]

TK560 = [
    ("INTEnable", "i", "i"), ("INTEdge", "i", "i"), ("DINoiseFilterWidth", "i", "i"),
    ("DINoiseFilterScale", "i", "i"), ("INTNoiseFilterWidth", "i", "i"),
    ("INTNoiseFilterScale", "i", "i"), ("INTStatus", "i", None), ("DeviceID", "i", None),
    ("DeviceType", "i", None), ("DriverVersion", "i", None), ("FpgaVersion", "i", None),
    ("Timeout", "i", "i"), ("DIWaitMode", "i", "i"), ("INTWaitEnable", "i", "i"),
    ("Version", "i", "i"), ("DIEnable", "u", "u"), ("DIEdge", "u", "u"),
    ("DIWaitEnable", "u", "u"),
]

TABLES = {"SNR11": SNR11, "SN2200": SN2200, "TK560": TK560}

# The 64-bit value-kind records the library receives.
MODEL_VALUE = {"i": 0x100000008, "u": 0x100000004, "s": 0}

# The buffer content the library finds on entry of a read.
EMPTY_BUFFER = {"i": 0, "u": 0, "s": b""}


def names(model, direction):
    column = 1 if direction == "get" else 2
    return [(row[0], row[column]) for row in TABLES[model] if row[column] is not None]


def refused(model, direction):
    """Names a direction must refuse: the other direction's only names, names of
    other boards, and near misses of accepted names."""
    accepted = {name for name, _ in names(model, direction)}
    every = {row[0] for table in TABLES.values() for row in table}
    near = set()
    for name in accepted:
        near |= {name.lower(), name.upper(), name + " ", " " + name, name + "\0", name[:-1]}
    near |= {"", "Speed", "ÄÖÜ"}
    return sorted((every | near) - accepted)
