// The simulated KTX22 board object and its capture-status record. Each
// operation journals the call and leaves the rest to the grabber board
// operations (grabber_board.h); the KTX22's own ones (event waits, the
// channel units, the record-filling status forms) work on its device here.
#include "video/grabber_board.h"

namespace vkt::sim::grabber {

// The KTX22's record: five fields, the last where the capture stands.
template <>
struct StatusRecord<Video::TxKTX22CaptureStatus> {
    static Video::TxKTX22CaptureStatus of(const CaptureCounts& counts) {
        return Video::TxKTX22CaptureStatus(counts.total, counts.amount_in_frame,
                                           counts.last_frame_no, counts.line_count,
                                           static_cast<int>(counts.phase));
    }
    static Video::TxKTX22CaptureStatus scripted(const Call& call) {
        const auto& f = scripted_fields(call, 5);
        return Video::TxKTX22CaptureStatus(
            static_cast<unsigned>(f[0].integer), static_cast<unsigned>(f[1].integer),
            static_cast<unsigned>(f[2].integer), static_cast<int>(f[3].integer),
            static_cast<int>(f[4].integer));
    }
};

}  // namespace vkt::sim::grabber

namespace vkt::Video {

namespace grabber = sim::grabber;
using grabber::Device;
using grabber::Guard;

// ---- TxKTX22CaptureStatus ---------------------------------------------------------

TxKTX22CaptureStatus::TxKTX22CaptureStatus() : TxKTX22CaptureStatus(0, 0, 0, 0, 0) {}

TxKTX22CaptureStatus::TxKTX22CaptureStatus(unsigned int total_frame_count_,
                                           unsigned int amount_in_frame_,
                                           unsigned int last_frame_no_, int line_count_,
                                           int capture_state_)
    : total_frame_count(total_frame_count_),
      amount_in_frame(amount_in_frame_),
      last_frame_no(last_frame_no_),
      line_count(line_count_),
      capture_state(capture_state_) {}

bool TxKTX22CaptureStatus::operator==(const TxKTX22CaptureStatus& other) const {
    return total_frame_count == other.total_frame_count &&
           amount_in_frame == other.amount_in_frame && last_frame_no == other.last_frame_no &&
           line_count == other.line_count && capture_state == other.capture_state;
}

bool TxKTX22CaptureStatus::operator!=(const TxKTX22CaptureStatus& other) const {
    return !(*this == other);
}

namespace {

using grabber::on_open_board;
using grabber::result_of_open_board;
using Record = grabber::StatusRecord<TxKTX22CaptureStatus>;

const grabber::Model& model() { return grabber::ktx22_model(); }

// A record to be filled, as the journal records it: its fields on entry.
sim::Value fields_of(const TxKTX22CaptureStatus* record) {
    if (record == nullptr) return sim::none();
    return sim::list({sim::number(record->total_frame_count), sim::number(record->amount_in_frame),
                      sim::number(record->last_frame_no), sim::number(record->line_count),
                      sim::number(record->capture_state)});
}

void check_record(const TxKTX22CaptureStatus* record, const char* op) {
    if (record == nullptr) sim::fail(ExStatus::InvalidArgument, op, "no status record given");
}

// The library module forms of Validate and Lock: this board captures into
// images only, and no library module is one.
void refuse_module(const IxModule* image, const char* op) {
    if (image == nullptr) sim::fail(ExStatus::InvalidArgument, op, "the image module is missing");
    sim::fail(ExStatus::NotSupported, op, "a KTX22 board captures into images; that module is not one");
}

bool flag_of(const sim::Call& call) { return call.number() != 0; }

}  // namespace

VKT_SIM_GRABBER_BOARD(CxKTX22, model())

// ---- factories: board 0, channel 0 unless given ------------------------------------------

CxKTX22 CxKTX22::FromFile(const char* camerafile, int option) {
    sim::Call call("CxKTX22::FromFile", sim::bytes(camerafile), sim::number(option));
    CxKTX22 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxKTX22 CxKTX22::FromFile(const wchar_t* camerafile, int option) {
    sim::Call call("CxKTX22::FromFile", sim::wide(camerafile), sim::number(option));
    CxKTX22 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxKTX22 CxKTX22::FromFile(const char* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX22::FromFile", sim::bytes(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option));
    CxKTX22 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

CxKTX22 CxKTX22::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX22::FromFile", sim::wide(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option));
    CxKTX22 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

// ---- camera files ------------------------------------------------------------------------

void CxKTX22::Setup(const char* camerafile, int option) {
    grabber::setup(sim::Call("CxKTX22::Setup", sim::object(this), sim::bytes(camerafile),
                                                sim::number(option)),
                   handle_, camerafile);
}

void CxKTX22::Setup(const wchar_t* camerafile, int option) {
    grabber::setup(sim::Call("CxKTX22::Setup", sim::object(this), sim::wide(camerafile),
                                                sim::number(option)),
                   handle_, camerafile);
}

// ---- images: the library module forms ----------------------------------------------------

void CxKTX22::Validate(IxModule* image) {
    sim::Call call("CxKTX22::Validate", sim::object(this), sim::object(image));
    on_open_board(call, handle_, [&](Device&, Guard&) { refuse_module(image, call.operation()); });
}

void CxKTX22::Lock(IxModule* image, int option) {
    sim::Call call("CxKTX22::Lock", sim::object(this), sim::object(image), sim::number(option));
    on_open_board(call, handle_, [&](Device&, Guard&) { refuse_module(image, call.operation()); });
}

// Slots of operations this interface does not offer. They keep the class
// layout of the maker's library; no binding calls them, so nothing from
// Python reaches them. GCOVR_EXCL_START
namespace {
void reserved_slot() { sim::fail(ExStatus::NotSupported, "CxKTX22::Reserved", "not offered"); }
}  // namespace

void CxKTX22::Reserved1() { reserved_slot(); }
void CxKTX22::Reserved2() { reserved_slot(); }
void CxKTX22::Reserved3() { reserved_slot(); }
void CxKTX22::Reserved4() { reserved_slot(); }
void CxKTX22::Reserved5() { reserved_slot(); }
void CxKTX22::Reserved6() { reserved_slot(); }
void CxKTX22::Reserved7() { reserved_slot(); }
void CxKTX22::Reserved8() { reserved_slot(); }
void CxKTX22::Reserved9() { reserved_slot(); }
// GCOVR_EXCL_STOP

// ---- capture ------------------------------------------------------------------------------

bool CxKTX22::Wait(int milliseconds) {
    sim::Call call("CxKTX22::Wait", sim::object(this), sim::number(milliseconds));
    return result_of_open_board(call, handle_, flag_of, [&](Device& device, Guard& lock) {
        return device.wait_end_for(lock, milliseconds, call.operation());
    });
}

TxKTX22CaptureStatus CxKTX22::QueryStatus() {
    return grabber::query_status<TxKTX22CaptureStatus>(
        sim::Call("CxKTX22::QueryStatus", sim::object(this)), handle_);
}

TxKTX22CaptureStatus CxKTX22::WaitStatus() {
    return grabber::wait_status<TxKTX22CaptureStatus>(
        sim::Call("CxKTX22::WaitStatus", sim::object(this)), handle_);
}

// A scripted tuple fills the record; a scripted number is the result alone.
void CxKTX22::QueryStatus(TxKTX22CaptureStatus* result) {
    sim::Call call("CxKTX22::QueryStatus", sim::object(this), fields_of(result));
    check_record(result, call.operation());
    if (call.scripted()) {
        *result = Record::scripted(call);
        return;
    }
    grabber::Access board = grabber::open_board(handle_, call.operation());
    *result = Record::of(board.device->status());
}

bool CxKTX22::WaitStatus(TxKTX22CaptureStatus* result, int milliseconds) {
    sim::Call call("CxKTX22::WaitStatus",
                   sim::object(this), fields_of(result), sim::number(milliseconds));
    check_record(result, call.operation());
    if (call.scripted() && call.value().kind == sim::Value::Kind::List) {
        *result = Record::scripted(call);
        return true;
    }
    if (call.scripted()) return flag_of(call);
    grabber::Access board = grabber::open_board(handle_, call.operation());
    const bool ended = board.device->wait_end_for(board.lock, milliseconds, call.operation());
    *result = Record::of(board.device->status());
    return ended;
}

// ---- events and channel units ------------------------------------------------------------

bool CxKTX22::WaitEvent(int event, int milliseconds, int* count) {
    sim::Call call("CxKTX22::WaitEvent", sim::object(this), sim::number(event),
                                          sim::number(milliseconds), sim::out(count));
    return result_of_open_board(call, handle_, flag_of, [&](Device& device, Guard& lock) {
        return device.wait_event(lock, event, milliseconds, count, call.operation());
    });
}

void CxKTX22::CancelWaitEvent(int event) {
    sim::Call call("CxKTX22::CancelWaitEvent", sim::object(this), sim::number(event));
    on_open_board(call, handle_, [&](Device& device, Guard&) { device.cancel_event(event, call.operation()); });
}

void CxKTX22::ForceTrigger(int ch) {
    sim::Call call("CxKTX22::ForceTrigger", sim::object(this), sim::number(ch));
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_channel(ch, call.operation());
        device.force_trigger(call.operation());
    });
}

void CxKTX22::StopPg(int ch) {
    sim::Call call("CxKTX22::StopPg", sim::object(this), sim::number(ch));
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_channel(ch, call.operation());
        device.stop_pg();
    });
}

void CxKTX22::ResetPg(int ch) {
    sim::Call call("CxKTX22::ResetPg", sim::object(this), sim::number(ch));
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_channel(ch, call.operation());
        device.reset_pg();
    });
}

void CxKTX22::ClearTriggerMask(int ch) {
    sim::Call call("CxKTX22::ClearTriggerMask", sim::object(this), sim::number(ch));
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_channel(ch, call.operation());
        device.clear_trigger_mask();
    });
}

void CxKTX22::PllReconfig() {
    sim::Call call("CxKTX22::PllReconfig", sim::object(this));
    on_open_board(call, handle_, [&](Device& device, Guard&) { device.pll_reconfig(call.operation()); });
}

namespace {

sim::Operations ktx22_operations{
    {"CxKTX22::operator==", sim::AcceptsInt},  {"CxKTX22::operator!=", sim::AcceptsInt},
    {"CxKTX22::FromFile", sim::AcceptsNone},   {"CxKTX22::Dispose", sim::AcceptsNone},
    {"CxKTX22::IsValid", sim::AcceptsInt},     {"CxKTX22::Open", sim::AcceptsNone},
    {"CxKTX22::Close", sim::AcceptsNone},      {"CxKTX22::IsOpened", sim::AcceptsInt},
    {"CxKTX22::Setup", sim::AcceptsNone},      {"CxKTX22::Save", sim::AcceptsNone},
    {"CxKTX22::SaveW", sim::AcceptsNone},      {"CxKTX22::Validate", sim::AcceptsNone},
    {"CxKTX22::Lock", sim::AcceptsNone},       {"CxKTX22::Unlock", sim::AcceptsNone},
    {"CxKTX22::Start", sim::AcceptsNone},      {"CxKTX22::Stop", sim::AcceptsNone},
    {"CxKTX22::Abort", sim::AcceptsNone},      {"CxKTX22::Wait", sim::AcceptsNone | sim::AcceptsInt},
    {"CxKTX22::IsRunning", sim::AcceptsInt},   {"CxKTX22::Status", sim::AcceptsInt},
    {"CxKTX22::QueryStatus", sim::AcceptsTuple},
    {"CxKTX22::WaitStatus", sim::AcceptsTuple | sim::AcceptsInt},
    {"CxKTX22::WaitEvent", sim::AcceptsInt},   {"CxKTX22::CancelWaitEvent", sim::AcceptsNone},
    {"CxKTX22::ForceTrigger", sim::AcceptsNone}, {"CxKTX22::StopPg", sim::AcceptsNone},
    {"CxKTX22::ResetPg", sim::AcceptsNone},    {"CxKTX22::ClearTriggerMask", sim::AcceptsNone},
    {"CxKTX22::PllReconfig", sim::AcceptsNone}, {"CxKTX22::SetNum", sim::AcceptsNone},
    {"CxKTX22::GetNum", sim::AcceptsInt},      {"CxKTX22::SetLockId", sim::AcceptsNone},
    {"CxKTX22::GetLockId", sim::AcceptsInt},
};

}  // namespace
}  // namespace vkt::Video
