"""Recordings made by hand, member by member, as an attacker would make them:
compressed, encrypted, with impossible shapes or headers. Shared by the
tests, the fuzzing corpus and bench/hostile_recordings.py."""
import json
import struct
import zlib

import numpy as np

MEMBERS = ("format", "model", "settings", "frames", "frame_numbers", "encoder_counts",
           "timestamps_ms", "lost_frames", "ending")


def npy(array):
    """The .npy bytes numpy writes for `array`."""
    array = np.asarray(array)
    header = "{'descr': %r, 'fortran_order': False, 'shape': %r, }" % (
        np.lib.format.dtype_to_descr(array.dtype), array.shape)
    return npy_with_header(header) + array.tobytes()


def npy_with_header(header):
    used = 10 + len(header) + 1
    header += " " * (-used % 64) + "\n"
    return b"\x93NUMPY\x01\x00" + struct.pack("<H", len(header)) + header.encode("latin-1")


def members(frames=None, counts=None, settings=None, count=3, version=1):
    """The members of a small valid recording, as .npy bytes (version 1 by
    default: the first version any reader of recordings knows)."""
    frames = np.zeros((count, 4, 5), np.uint8) if frames is None else frames
    counts = list(range(count)) if counts is None else counts
    parts = {"format": npy(np.array("vkt-recording/%d" % version)),
             "model": npy(np.array("KTX21")),
             "settings": npy(np.array(json.dumps(settings or {"Width": 5}))),
             "frames": frames if isinstance(frames, bytes) else npy(frames),
             "frame_numbers": npy(np.arange(1, count + 1, dtype="<i8")),
             "encoder_counts": npy(np.array(counts, "<i8")),
             "timestamps_ms": npy(np.arange(count, dtype="<f8"))}
    if version == 2:
        parts.update(lost_frames=npy(np.array(0, "<i8")), ending=npy(np.array("complete")))
    return parts


class Member:
    """A member as it goes into the archive: its stored bytes and what the
    headers declare about it."""

    def __init__(self, data, method=0, flags=0, crc=None, size=None):
        self.data, self.method, self.flags = data, method, flags
        self.crc = zlib.crc32(data) if crc is None else crc
        self.size = len(data) if size is None else size


def archive(parts):
    """A zip archive of {name: bytes or Member}, written by hand so that any
    field can be what a test wants."""
    out, directory = b"", b""
    for name, part in parts.items():
        member = part if isinstance(part, Member) else Member(part)
        encoded = (name + ".npy").encode()
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, member.flags, member.method, 0,
                           0x21, member.crc, len(member.data), member.size, len(encoded), 0)
        out += encoded + member.data
        directory += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, member.flags,
                                 member.method, 0, 0x21, member.crc, len(member.data),
                                 member.size, len(encoded), 0, 0, 0, 0, 0, offset) + encoded
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(parts), len(parts), len(directory),
                      len(out), 0)
    return out + directory + end


def deflated(data_chunks):
    """A deflate-compressed member from chunks of bytes (never joined)."""
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed, crc, size = b"", 0, 0
    for chunk in data_chunks:
        packed += packer.compress(chunk)
        crc = zlib.crc32(chunk, crc)
        size += len(chunk)
    return Member(packed + packer.flush(), method=8, crc=crc, size=size)


def zip_bomb(frames=1000):
    """Frames of 1024 x 1024 zeros, deflated: about 1 KB per MB declared."""
    header = npy_with_header("{'descr': '|u1', 'fortran_order': False, 'shape': (%d, 1024, "
                             "1024), }" % frames)
    parts = members(count=frames)
    parts["frames"] = deflated([header] + [bytes(1 << 20)] * frames)
    return archive(parts)


def empty_frames():
    """10^9 frames of 0 x 1 pixels: no bytes at all."""
    parts = members()
    parts["frames"] = npy_with_header("{'descr': '|u1', 'fortran_order': False, "
                                      "'shape': (1000000000, 0, 1), }")
    return archive(parts)


def long_header():
    """A .npy header of 60,000 characters."""
    parts = members()
    parts["frames"] = npy_with_header("{'descr': '|u1', 'fortran_order': False, 'shape': "
                                      + "-" * 60000 + "1, }")
    return archive(parts)


def corrupt_deflate():
    parts = members()
    member = deflated([parts["frames"]])
    member.data = b"\xff" * len(member.data)
    parts["frames"] = member
    return archive(parts)


def method_98():
    parts = members()
    parts["frames"] = Member(parts["frames"], method=98)
    return archive(parts)


def nested_settings():
    parts = members()
    parts["settings"] = npy(np.array('{"Width": ' + "[" * 100000 + "]" * 100000 + "}"))
    return archive(parts)


def encrypted():
    parts = members()
    parts["frames"] = Member(parts["frames"], flags=1)
    return archive(parts)


def far_encoder():
    return archive(members(counts=[2 ** 62, 2 ** 62 + 1, 2 ** 62 + 2]))


# name: (builder, what the refusal names)
HOSTILE = {
    "zip bomb": (zip_bomb, "member frames.npy is compressed (method 8)"),
    "shape (10^9, 0, 1)": (empty_frames, "frames of 1x0 pixels"),
    "60,000-char header": (long_header, "member frames has a .npy header of 60"),
    "corrupt deflate": (corrupt_deflate, "member frames.npy is compressed (method 8)"),
    "method 98": (method_98, "member frames.npy is compressed (method 98)"),
    "nested JSON": (nested_settings, "member settings nests objects or lists"),
    "encrypted flag": (encrypted, "member frames.npy is encrypted"),
    "encoder count 2^62": (far_encoder, "encoder count 4611686018427387904 of frame 0 is "
                           "outside"),
}
