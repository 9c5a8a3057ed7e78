"""What the simulated boards do with each setting, for the settings page.

Everything else on that page (names, kinds, access, power-on values, ranges)
is read from the tools' tables and the simulated library when the site is
built; only these sentences are written by hand. A note for a name that a
model's table does not have fails the build, so a renamed or dropped setting
cannot leave a stale note behind. A setting without a note is one the
simulated board keeps and reads back but does not act on. The shared notes
(GRABBER, DIO) apply to whichever model of the group has the name; a note
that fits no model's table at all fails the build.
"""

# Notes shared by the grabbers (KTX21, KTX22, MR250) and by the digital-I/O
# boards (SNR11, SN2200, TK560); a model's own note for a name wins.
GRABBER = {
    "DeviceID": "The board's id, set when the board is opened.",
    "DeviceType": "The model's device type number.",
    "Channel": "The channel this board object drives.",
    "Width": "Pixels per line of every frame. A locked image must be exactly this "
             "wide; a change drops frames given with ``vktsim.set_frames`` that no "
             "longer fit.",
    "Height": "Lines per frame. A locked image must be exactly this high; "
              "``line_count`` grows by this much per frame.",
    "ImageWidth": "Follows ``Width``.",
    "ImageHeight": "Follows ``Height``.",
    "ImageDepth": "Bits per sample of the images a capture fills: 8, or 16 when "
                  "``BitWidth`` is above 8.",
    "BitWidth": "Bits per sample the camera sends; above 8 the locked images must be "
                "16-bit and the test pattern is masked to this many bits.",
    "Timeout": "Milliseconds a ``wait`` allows for each frame before it fails with "
               "status 7 (Timeout).",
    "ExposureTime": "Microseconds of exposure. A free-running frame takes the longer "
                    "of this and ``TriggerCycleTime``; a triggered frame arrives this "
                    "long after its trigger. The serial camera's ``EXP?`` and "
                    "``EXP=`` read and write it.",
    "TriggerCycleTime": "Microseconds from one frame to the next of a free-running "
                        "camera (the longer of this and ``ExposureTime``): 20000 is "
                        "50 frames/s. The simulated board paces whole frames, so for "
                        "a line camera this is the time of ``Height`` lines.",
    "TriggerMode": "0: free-running, frames at the camera's period. 1: software "
                   "trigger, one frame per ``force_trigger``. 2: external trigger, "
                   "which the simulated board also fires on ``force_trigger``.",
    "CameraName": "What the simulated serial camera answers to ``ID?``.",
    "CameraMode": "What ``set_camera_mode`` stores and the serial camera answers to "
                  "``MODE?``.",
    "SIOTimeout": "Milliseconds a serial read waits for bytes (the serial line's "
                  "``timeout``).",
    "SIOOpenFlag": "1 while the serial line is open.",
    "ENCSampling": "Every how many pulses count once (0 counts like 1).",
    "ENCDir": "1 reverses the counting direction.",
    "ENCSwapAB": "1 swaps the A and B inputs, which also reverses the count.",
    "ENCComp1": "The match interval: the match counter counts the multiples of it "
                "the relative counter passes.",
    "ENCComp2": "The counter wraps within 0 to this value (0: the whole 32-bit "
                "range), raising the overflow and underflow flags.",
    "DriverVersion": "The simulated driver's version.",
    "FpgaVersion": "The simulated board's FPGA version.",
}

DIO = {
    "DeviceID": "The board's id, set when the board is opened.",
    "DeviceType": "The model's device type number.",
    "DriverVersion": "The simulated driver's version (0x010200 is 1.2.0).",
    "FpgaVersion": "The simulated board's FPGA version (0x0203 is 2.3).",
    "Timeout": "Milliseconds a ``wait`` lasts before it ends with ``TIMEOUT``.",
    "DIEnable": "Bit mask of the input lines the board watches.",
    "DIWaitEnable": "Bit mask of the watched lines whose edge ends a ``wait`` with "
                    "``DI``; 0 at power-on, so a wait ends only by its time-out "
                    "until lines are enabled.",
    "DIEdge": "Per line, the edge that counts: bit set rising, clear falling.",
    "INTEnable": "1: an edge of the interrupt line ends a ``wait`` with ``INT`` "
                 "(with ``INTWaitEnable``).",
    "INTEdge": "The interrupt edge that counts: 1 rising, 0 falling.",
    "INTWaitEnable": "With ``INTEnable``, lets the interrupt line end a ``wait``.",
    "INTStatus": "The interrupt line's level now.",
}

NOTES = {
    "SNR11": dict(DIO),
    "SN2200": dict(DIO, **{
        "DriverVersionName": "The simulated driver's version as text.",
        "FpgaVersionName": "The simulated board's FPGA version as text.",
    }),
    "TK560": dict(DIO, **{
        "DIWaitMode": "0: a ``wait`` ends at an edge of any enabled line; 1: only "
                      "once every enabled line has had its edge.",
    }),
    "KTX21": dict(GRABBER, **{
        "ENCInit": "Where ``start_abs(True)`` puts the absolute counter.",
        "SIORxBufSize": "Bytes the serial line keeps unread; what the camera sends "
                        "beyond that is lost, and ``vktsim.feed_serial`` refuses more than "
                        "fits (the KTX22 keeps 4096).",
    }),
    "KTX22": dict(GRABBER, **{
        "PGStatus": "1 while the PG unit paces a free-running camera; 0 after "
                    "``stop_pg`` until ``reset_pg``.",
        "TriggerMaskMode": "1: each accepted trigger masks the following ones until "
                           "``clear_trigger_mask``.",
        "PLLReconfig": "The camera clock in MHz (20 to 85) that ``pll_reconfig`` "
                       "locks to.",
        "CameraClock": "The camera clock in MHz; follows ``PLLReconfig`` after a "
                       "successful ``pll_reconfig``.",
        "PLLReconfigStatus": "0 never reconfigured (or reset by the command "
                             "\"ResetPLLReconfig\"), 1 locked, 2 the last clock "
                             "asked for was impossible.",
        "ENCComp2": "The encoder counter wraps within 0 to this value (0: the whole "
                    "32-bit range), raising the overflow and underflow flags.",
    }),
    "MR250": dict(GRABBER, **{
        "Width": "Pixels per line of every frame (at most 768). A locked image must "
                 "be exactly this wide.",
        "Height": "Lines per frame (at most 576). A locked image must be exactly "
                  "this high.",
        "ImageSize": "``Width`` x ``Height`` as text, e.g. \"640x480\".",
        "ImageDepth": "Always 8: the analog signal is digitised to 8 bits.",
        "HCycle": "Nanoseconds per line of the analog signal; a frame takes "
                  "``VCycle`` lines of it (525 x 63556 ns, about 30 frames/s, at "
                  "power-on).",
        "VCycle": "Lines per frame of the analog signal (see ``HCycle``).",
        "VideoOffset": "Added to every sample, clipped to 0..255.",
        "FieldDetection": "0: both fields woven into a frame; 1: the odd fields "
                          "only; 2: the even fields only. The first sample of each "
                          "row tells its field (1 odd, 2 even).",
        "TriggerMode": "0: free-running, one frame every ``VCycle`` lines. 1 or 2: "
                       "one frame per ``force_trigger``, ``ExposureTime`` later.",
        "ExposureTime": "Microseconds from a trigger to its frame in the triggered "
                        "modes.",
        "CameraMode": "The camera's video standard as text (\"EIA\" at power-on).",
        "CameraName": "The camera's name, kept for the program to read.",
    }),
}

def note(model, name):
    """The note on a setting of a model, or None."""
    return NOTES.get(model, {}).get(name)
