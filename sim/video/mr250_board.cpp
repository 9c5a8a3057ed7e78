// The simulated MR250 board object and its capture-status record. Each
// operation journals the call and leaves the rest to the grabber board
// operations (grabber_board.h), run with the MR250 model.
#include "video/grabber_board.h"

namespace vkt::Video {

namespace grabber = sim::grabber;

VKT_SIM_SIX_FIELD_RECORD(TxMR250CaptureStatus)

namespace {

const grabber::Model& model() { return grabber::mr250_model(); }

}  // namespace

VKT_SIM_GRABBER_BOARD(CxMR250, model())
VKT_SIM_SIX_FIELD_STATUS(CxMR250, TxMR250CaptureStatus)

// ---- factories: board 0, channel 0 unless named ------------------------------------------

CxMR250 CxMR250::FromFile(const char* camerafile) {
    sim::Call call("CxMR250::FromFile", sim::bytes(camerafile));
    CxMR250 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxMR250 CxMR250::FromFile(const wchar_t* camerafile) {
    sim::Call call("CxMR250::FromFile", sim::wide(camerafile));
    CxMR250 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxMR250 CxMR250::FromFile(const char* camerafile, int id, int ch) {
    sim::Call call("CxMR250::FromFile", sim::bytes(camerafile), sim::number(id), sim::number(ch));
    CxMR250 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

CxMR250 CxMR250::FromFile(const wchar_t* camerafile, int id, int ch) {
    sim::Call call("CxMR250::FromFile", sim::wide(camerafile), sim::number(id), sim::number(ch));
    CxMR250 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

// ---- camera files ------------------------------------------------------------------------

void CxMR250::Setup(const char* camerafile) {
    grabber::setup(sim::Call("CxMR250::Setup", sim::object(this), sim::bytes(camerafile)), handle_,
                   camerafile);
}

void CxMR250::Setup(const wchar_t* camerafile) {
    grabber::setup(sim::Call("CxMR250::Setup", sim::object(this), sim::wide(camerafile)), handle_,
                   camerafile);
}

namespace {

sim::Operations mr250_operations{
    {"CxMR250::operator==", sim::AcceptsInt},  {"CxMR250::operator!=", sim::AcceptsInt},
    {"CxMR250::FromFile", sim::AcceptsNone},   {"CxMR250::Dispose", sim::AcceptsNone},
    {"CxMR250::IsValid", sim::AcceptsInt},     {"CxMR250::Open", sim::AcceptsNone},
    {"CxMR250::Close", sim::AcceptsNone},      {"CxMR250::IsOpened", sim::AcceptsInt},
    {"CxMR250::Setup", sim::AcceptsNone},      {"CxMR250::Save", sim::AcceptsNone},
    {"CxMR250::SaveW", sim::AcceptsNone},      {"CxMR250::Validate", sim::AcceptsNone},
    {"CxMR250::Lock", sim::AcceptsNone},       {"CxMR250::Unlock", sim::AcceptsNone},
    {"CxMR250::Start", sim::AcceptsNone},      {"CxMR250::Stop", sim::AcceptsNone},
    {"CxMR250::Abort", sim::AcceptsNone},      {"CxMR250::Wait", sim::AcceptsNone},
    {"CxMR250::IsRunning", sim::AcceptsInt},   {"CxMR250::Status", sim::AcceptsInt},
    {"CxMR250::WaitStatus", sim::AcceptsTuple}, {"CxMR250::QueryStatus", sim::AcceptsTuple},
    {"CxMR250::ForceTrigger", sim::AcceptsNone}, {"CxMR250::SetNum", sim::AcceptsNone},
    {"CxMR250::GetNum", sim::AcceptsInt},      {"CxMR250::SetLockId", sim::AcceptsNone},
    {"CxMR250::GetLockId", sim::AcceptsInt},
};

}  // namespace
}  // namespace vkt::Video
