// The settings table of the simulated KTX22 board.
#include "video/grabber_model.h"

namespace vkt::sim::grabber {
namespace {

using namespace rows;

// Every setting of the board, with its power-on value and the range the
// board accepts. Times are in microseconds except the time-outs (ms); the
// frame period of a free-running camera is TriggerCycleTime, paced by the
// channel's PG unit. "PLLReconfig" is the camera clock (MHz) the next PLL
// reconfiguration locks to; "CameraClock" the one it runs at.
SettingTable make_table() {
    return SettingTable({
        ro("DeviceID", 0), ro("DeviceType", 4), ro("CameraConnect", 1), ro("PGStatus", 1),
        ro("Channel", 0),
        rw("Width", 640, 1, 16384), rw("Height", 480, 1, 16384),
        rw("OffsetW", 0, 0, 16383), rw("OffsetH", 0, 0, 16383), flag("OffsetMode"),
        rw("OffsetTrgW", 0, 0, 16383), rw("OffsetTrgH", 0, 0, 16383),
        rw("Timeout", 3000, 1, 60000), rw("Version", 1),
        flag("SendCommandEnable"), rw("SendCommandWaitTime", 0, 0, 60000),
        rw("Configuration", 0, 0, 2), rw("BitWidth", 8, 8, 16), flag("RBReverse"),
        rw("TapCount", 1, 1, 10), flag("Force8"), flag("LineSensorEnable"),
        rw("ScanMode", 0, 0, 3), flag("DvalEnable", 1), rw("PackingMode", 0, 0, 3),
        flag("Alignment16"), ro("TapSwap", 0), rw("FormatType", 0, 0, 15),
        flag("XReverse"), flag("YReverse"), rw("YStep", 1, 1, 16384), rw("Arrangement", 0, 0, 15),
        ro("BlankingTime", 0),
        flag("CC1Enable"), rw("CC1Mode", 0, 0, 7), flag("CC1Positive", 1),
        flag("CC2Enable"), rw("CC2Mode", 0, 0, 7), flag("CC2Positive", 1),
        flag("CC3Enable"), rw("CC3Mode", 0, 0, 7), flag("CC3Positive", 1),
        flag("CC4Enable"), rw("CC4Mode", 0, 0, 7), flag("CC4Positive", 1),
        flag("EXPEnable"), rw("EXPMode", 0, 0, 7), flag("EXPPositive", 1),
        flag("ExternalTrigger"), rw("IntTriggerChSel", 0, 0, 3), rw("ExtTriggerChSel", 0, 0, 3),
        rw("ExtTriggerSrc", 0, 0, 7), rw("ExtInControlMode", 0, 0, 3), rw("Assert", 0),
        rw("Negate", 0), rw("EncoderMode", 0, 0, 3),
        rw("ExposureTime", 1000, 1, 10000000), rw("TriggerBetaTime", 0, 0, 10000000),
        rw("TriggerDelayTime", 0, 0, 10000000), rw("TriggerCycleTime", 20000, 1, 10000000),
        rw("TriggerRetry", 0, 0, 255), rw("TriggerMaskTime", 0, 0, 10000000),
        rw("TriggerRetryMode", 0, 0, 3), flag("TriggerMaskMode"), rw("TriggerMode", 0, 0, 2),
        ro("BayerMode", 0), ro("CameraClock", 40), rw("PLLReconfig", 0, 0, 1000),
        rw("ENCSampling", 1, 0, 65535), flag("ENCStart"), rw("ENCComp1", 0),
        rw("ENCResetSource", 0, 0, 3), flag("ENCDir"), flag("ENCSwapAB"),
        rw("ENCSignalSource", 0, 0, 3),
        rw("SIOBaudRate", 9600, 300, 921600), rw("SIOOption", 0, 0, 255),
        rw("SIOSendMode", 0, 0, 3), ro("SIOOpenFlag", 0), rw("SIOTimeout", 100, 0, 60000),
        flag("PoCLControl"), flag("ENCIn0Termination"), flag("ENCIn1Termination"),
        rw("EncoderActMode", 0, 0, 3), flag("ClearTriggerMaskMode"),
        rw("GrabEnableSelector", 0, 0, 3), ro("PLLReconfigStatus", 0),
        ro("ImageWidth", 640), ro("ImageHeight", 480), ro("ImageChannels", 1),
        ro("ImageDepth", 8), ro("ImageType", 0), ro("ImagePack", 0),
        unsigned_setting("ENCComp2"),
        text("DriverVersion", false, "2.0.1"), text("FpgaVersion", false, "0x0203"),
        text("CameraName", true, "Simulated line camera"), text("CameraMaker", true, "Simulation"),
        text("CameraMode", true, ""), text("SIOSTX", true, ""), text("SIOETX", true, "\r"),
        text("SIORETX", true, ""),
    });
}

}  // namespace

// The KTX22 encoder counts only between StartEncoder and StopEncoder.
const Model& ktx22_model() {
    static const SettingTable& table = *new SettingTable(make_table());
    static const Model& model = *new Model{"KTX22", 4, 2, table,
                                           &camera_link::derive, &camera_link::sample_bits,
                                           &camera_link::frame_period, &camera_link::draw,
                                           true, true, true, true};
    return model;
}

}  // namespace vkt::sim::grabber
