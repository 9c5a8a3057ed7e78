"""Tools on top of `unit`: the `vkt` command line, the live viewer and the
recording format.

Everything here is a client of `unit` like a user's own program: it uses the
module's public surface and the image class (`vktsim.Image`) only, so it works
on the maker's library as on the simulated one. Nothing here needs numpy.
"""
__all__ = ["boards", "recording"]
