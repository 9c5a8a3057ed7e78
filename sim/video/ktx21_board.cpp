// The simulated KTX21 board object and its capture-status record. Each
// operation journals the call and leaves the rest to the grabber board
// operations (grabber_board.h), run with the KTX21 model.
#include "video/grabber_board.h"

namespace vkt::Video {

namespace grabber = sim::grabber;

VKT_SIM_SIX_FIELD_RECORD(TxKTX21CaptureStatus)

namespace {

const grabber::Model& model() { return grabber::ktx21_model(); }

}  // namespace

VKT_SIM_GRABBER_BOARD(CxKTX21, model())
VKT_SIM_SIX_FIELD_STATUS(CxKTX21, TxKTX21CaptureStatus)

// ---- factories: board 0, channel 0 unless named ------------------------------------------

CxKTX21 CxKTX21::FromFile(const char* camerafile, int option) {
    sim::Call call("CxKTX21::FromFile", sim::bytes(camerafile), sim::number(option));
    CxKTX21 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxKTX21 CxKTX21::FromFile(const wchar_t* camerafile, int option) {
    sim::Call call("CxKTX21::FromFile", sim::wide(camerafile), sim::number(option));
    CxKTX21 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxKTX21 CxKTX21::FromFile(const char* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX21::FromFile", sim::bytes(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option));
    CxKTX21 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

CxKTX21 CxKTX21::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX21::FromFile", sim::wide(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option));
    CxKTX21 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

// ---- camera files ------------------------------------------------------------------------

void CxKTX21::Setup(const char* camerafile, int option) {
    grabber::setup(sim::Call("CxKTX21::Setup", sim::object(this), sim::bytes(camerafile),
                                                sim::number(option)),
                   handle_, camerafile);
}

void CxKTX21::Setup(const wchar_t* camerafile, int option) {
    grabber::setup(sim::Call("CxKTX21::Setup", sim::object(this), sim::wide(camerafile),
                                                sim::number(option)),
                   handle_, camerafile);
}

namespace {

sim::Operations ktx21_operations{
    {"CxKTX21::operator==", sim::AcceptsInt},  {"CxKTX21::operator!=", sim::AcceptsInt},
    {"CxKTX21::FromFile", sim::AcceptsNone},   {"CxKTX21::Dispose", sim::AcceptsNone},
    {"CxKTX21::IsValid", sim::AcceptsInt},     {"CxKTX21::Open", sim::AcceptsNone},
    {"CxKTX21::Close", sim::AcceptsNone},      {"CxKTX21::IsOpened", sim::AcceptsInt},
    {"CxKTX21::Setup", sim::AcceptsNone},      {"CxKTX21::Save", sim::AcceptsNone},
    {"CxKTX21::SaveW", sim::AcceptsNone},      {"CxKTX21::Validate", sim::AcceptsNone},
    {"CxKTX21::Lock", sim::AcceptsNone},       {"CxKTX21::Unlock", sim::AcceptsNone},
    {"CxKTX21::Start", sim::AcceptsNone},      {"CxKTX21::Stop", sim::AcceptsNone},
    {"CxKTX21::Abort", sim::AcceptsNone},      {"CxKTX21::Wait", sim::AcceptsNone},
    {"CxKTX21::IsRunning", sim::AcceptsInt},   {"CxKTX21::Status", sim::AcceptsInt},
    {"CxKTX21::WaitStatus", sim::AcceptsTuple}, {"CxKTX21::QueryStatus", sim::AcceptsTuple},
    {"CxKTX21::ForceTrigger", sim::AcceptsNone}, {"CxKTX21::SetNum", sim::AcceptsNone},
    {"CxKTX21::GetNum", sim::AcceptsInt},      {"CxKTX21::SetLockId", sim::AcceptsNone},
    {"CxKTX21::GetLockId", sim::AcceptsInt},
};

}  // namespace
}  // namespace vkt::Video
