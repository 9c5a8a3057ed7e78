// The simulated KTX22 board object and its capture-status record. Each
// operation journals the call, honours a scripted answer, then works on the
// board's device (grabber_device.h), which the KTX21 shares.
#include "grabber_board.h"

namespace vkt::Video {

using sim::grabber::Device;
using sim::grabber::Handle;
using Guard = std::unique_lock<std::mutex>;

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

using sim::grabber::narrow_path;
using sim::grabber::on_open_board;
using sim::grabber::result_of_open_board;
using sim::grabber::wide_path;

const sim::grabber::Model& model() { return sim::grabber::ktx22_model(); }

TxKTX22CaptureStatus scripted_status(const sim::Call& call) {
    const auto& fields = sim::grabber::scripted_fields(call, 5);
    return TxKTX22CaptureStatus(
        static_cast<unsigned>(fields[0].integer), static_cast<unsigned>(fields[1].integer),
        static_cast<unsigned>(fields[2].integer), static_cast<int>(fields[3].integer),
        static_cast<int>(fields[4].integer));
}

TxKTX22CaptureStatus record_of(const sim::grabber::CaptureCounts& counts) {
    return TxKTX22CaptureStatus(counts.total, counts.amount_in_frame, counts.last_frame_no,
                                counts.line_count, static_cast<int>(counts.phase));
}

// A record to be filled, as the journal records it: its fields on entry.
sim::Value fields_of(const TxKTX22CaptureStatus* record) {
    if (record == nullptr) return sim::none();
    return sim::list({sim::number(record->total_frame_count), sim::number(record->amount_in_frame),
                      sim::number(record->last_frame_no), sim::number(record->line_count),
                      sim::number(record->capture_state)});
}

void check_record(const TxKTX22CaptureStatus* record, const char* op) {
    if (record == nullptr) sim::fail(ExStatus::MissingObject, op, "no status record given");
}

// The library module forms of Validate and Lock: this board captures into
// images only, and no library module is one.
void refuse_module(const IxModule* image, const char* op) {
    if (image == nullptr) sim::fail(ExStatus::MissingObject, op, "the image module is missing");
    sim::fail(ExStatus::NotSupported, op, "a KTX22 board captures into images; that module is not one");
}

bool flag_of(const sim::Call& call) { return call.number() != 0; }

}  // namespace

// ---- construction -------------------------------------------------------------------

CxKTX22::CxKTX22() : handle_(new Handle) {
    sim::grabber::register_board(this, static_cast<Handle*>(handle_), model());
    sim::track(this);
}

CxKTX22::CxKTX22(const CxKTX22& other) : handle_(new Handle) {
    if (other.handle_ != nullptr) *static_cast<Handle*>(handle_) = *static_cast<Handle*>(other.handle_);
    sim::grabber::register_board(this, static_cast<Handle*>(handle_), model());
    sim::track(this);
}

// The moved-from object keeps no handle: it is unbound.
CxKTX22::CxKTX22(CxKTX22&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
    sim::grabber::register_board(&other, nullptr, model());
    sim::grabber::register_board(this, static_cast<Handle*>(handle_), model());
    sim::track(this);
}

CxKTX22::~CxKTX22() {
    sim::untrack(this);
    sim::grabber::unregister_board(this);
    delete static_cast<Handle*>(handle_);
}

// Two board objects are equal when they refer to the same board.
bool CxKTX22::operator==(const CxKTX22& other) const {
    sim::Call call("CxKTX22::operator==", {sim::object(this), sim::object(&other)});
    return call.scripted() ? flag_of(call) : sim::grabber::same_board(handle_, other.handle_);
}

bool CxKTX22::operator!=(const CxKTX22& other) const {
    sim::Call call("CxKTX22::operator!=", {sim::object(this), sim::object(&other)});
    return call.scripted() ? flag_of(call) : !sim::grabber::same_board(handle_, other.handle_);
}

// ---- factories: board 0, channel 0 unless given -- ----------------------------------------

CxKTX22 CxKTX22::FromFile(const char* camerafile, int option) {
    sim::Call call("CxKTX22::FromFile", {sim::bytes(camerafile), sim::number(option)});
    CxKTX22 board;
    if (call.scripted()) return board;
    const std::string path = narrow_path(camerafile, call.operation());
    sim::grabber::open_from_file(board.handle_, model(), path, 0, 0, call.operation());
    return board;
}

CxKTX22 CxKTX22::FromFile(const wchar_t* camerafile, int option) {
    sim::Call call("CxKTX22::FromFile", {sim::wide(camerafile), sim::number(option)});
    CxKTX22 board;
    if (call.scripted()) return board;
    const std::string path = wide_path(camerafile, call.operation());
    sim::grabber::open_from_file(board.handle_, model(), path, 0, 0, call.operation());
    return board;
}

CxKTX22 CxKTX22::FromFile(const char* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX22::FromFile", {sim::bytes(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option)});
    CxKTX22 board;
    if (call.scripted()) return board;
    const std::string path = narrow_path(camerafile, call.operation());
    sim::grabber::open_from_file(board.handle_, model(), path, id, ch, call.operation());
    return board;
}

CxKTX22 CxKTX22::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX22::FromFile", {sim::wide(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option)});
    CxKTX22 board;
    if (call.scripted()) return board;
    const std::string path = wide_path(camerafile, call.operation());
    sim::grabber::open_from_file(board.handle_, model(), path, id, ch, call.operation());
    return board;
}

// ---- board lifetime ------------------------------------------------------------------

void CxKTX22::Dispose() {
    sim::Call call("CxKTX22::Dispose", {sim::object(this)});
    if (!call.scripted()) sim::grabber::dispose_handle(handle_);
}

bool CxKTX22::IsValid() const {
    sim::Call call("CxKTX22::IsValid", {sim::object(this)});
    return call.scripted() ? flag_of(call) : sim::grabber::handle_valid(handle_);
}

void CxKTX22::Open(int id, int ch) {
    sim::Call call("CxKTX22::Open", {sim::object(this), sim::number(id), sim::number(ch)});
    if (call.scripted()) return;
    auto* h = static_cast<Handle*>(handle_);
    if (h == nullptr) sim::fail(ExStatus::MissingObject, call.operation(), "the board object is empty");
    sim::grabber::open_handle(*h, model(), id, ch, call.operation());
}

void CxKTX22::Close() {
    sim::Call call("CxKTX22::Close", {sim::object(this)});
    on_open_board(call, handle_, [](Device& device, Guard& lock) {
        device.end_capture(lock, sim::grabber::Phase::Aborted, sim::grabber::kAborted);
        device.close_locked();
    });
}

bool CxKTX22::IsOpened() const {
    sim::Call call("CxKTX22::IsOpened", {sim::object(this)});
    return call.scripted() ? flag_of(call) : sim::grabber::handle_opened(handle_);
}

// ---- camera files ------------------------------------------------------------------------

void CxKTX22::Setup(const char* camerafile, int option) {
    sim::Call call("CxKTX22::Setup", {sim::object(this), sim::bytes(camerafile), sim::number(option)});
    if (call.scripted()) return;
    const std::string path = narrow_path(camerafile, call.operation());
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        sim::grabber::apply_camera_file(device, path, call.operation());
    });
}

void CxKTX22::Setup(const wchar_t* camerafile, int option) {
    sim::Call call("CxKTX22::Setup", {sim::object(this), sim::wide(camerafile), sim::number(option)});
    if (call.scripted()) return;
    const std::string path = wide_path(camerafile, call.operation());
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        sim::grabber::apply_camera_file(device, path, call.operation());
    });
}

void CxKTX22::Save(const char* camerafile) const {
    sim::Call call("CxKTX22::Save", {sim::object(this), sim::bytes(camerafile)});
    if (call.scripted()) return;
    sim::grabber::save_camera_file(handle_, narrow_path(camerafile, call.operation()),
                                   call.operation());
}

void CxKTX22::SaveW(const wchar_t* camerafile) const {
    sim::Call call("CxKTX22::SaveW", {sim::object(this), sim::wide(camerafile)});
    if (call.scripted()) return;
    sim::grabber::save_camera_file(handle_, wide_path(camerafile, call.operation()),
                                   call.operation());
}

// ---- images ------------------------------------------------------------------------------

void CxKTX22::Validate(CxImage& image) {
    sim::Call call("CxKTX22::Validate", {sim::object(this), sim::object(&image)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_image(&image, -1, call.operation());
    });
}

void CxKTX22::Validate(IxModule* image) {
    sim::Call call("CxKTX22::Validate", {sim::object(this), sim::object(image)});
    on_open_board(call, handle_, [&](Device&, Guard&) { refuse_module(image, call.operation()); });
}

void CxKTX22::Validate(CxImage** images, int count) {
    sim::Call call("CxKTX22::Validate", {sim::object(this), sim::grabber::image_list(images, count),
                                         sim::number(count)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        sim::grabber::validate_images(device, images, count, call.operation());
    });
}

void CxKTX22::Lock(const CxImage& image, int option) {
    sim::Call call("CxKTX22::Lock", {sim::object(this), sim::object(&image), sim::number(option)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        // The board writes into locked images; the image stays its owner's.
        CxImage* one = const_cast<CxImage*>(&image);
        device.lock_images(&one, 1, call.operation());
    });
}

void CxKTX22::Lock(IxModule* image, int option) {
    sim::Call call("CxKTX22::Lock", {sim::object(this), sim::object(image), sim::number(option)});
    on_open_board(call, handle_, [&](Device&, Guard&) { refuse_module(image, call.operation()); });
}

void CxKTX22::Lock(CxImage** images, int count, int option) {
    sim::Call call("CxKTX22::Lock", {sim::object(this), sim::grabber::image_list(images, count),
                                     sim::number(count), sim::number(option)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.lock_images(images, count, call.operation());
    });
}

void CxKTX22::Unlock() {
    sim::Call call("CxKTX22::Unlock", {sim::object(this)});
    on_open_board(call, handle_, [&](Device& device, Guard&) { device.unlock_images(call.operation()); });
}

// Slots of operations this interface does not offer.
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

// ---- capture ------------------------------------------------------------------------------

void CxKTX22::Start() {
    sim::Call call("CxKTX22::Start", {sim::object(this)});
    on_open_board(call, handle_, [&](Device& device, Guard& lock) { device.start(lock, call.operation()); });
}

void CxKTX22::Stop() {
    sim::Call call("CxKTX22::Stop", {sim::object(this)});
    on_open_board(call, handle_, [](Device& device, Guard& lock) {
        device.end_capture(lock, sim::grabber::Phase::Stopped, sim::grabber::kStopped);
    });
}

void CxKTX22::Abort() {
    sim::Call call("CxKTX22::Abort", {sim::object(this)});
    on_open_board(call, handle_, [](Device& device, Guard& lock) { device.abort_after(lock, 0); });
}

void CxKTX22::Wait() {
    sim::Call call("CxKTX22::Wait", {sim::object(this)});
    on_open_board(call, handle_, [&](Device& device, Guard& lock) { device.wait_end(lock, call.operation()); });
}

bool CxKTX22::Wait(int milliseconds) {
    sim::Call call("CxKTX22::Wait", {sim::object(this), sim::number(milliseconds)});
    return result_of_open_board(call, handle_, flag_of, [&](Device& device, Guard& lock) {
        return device.wait_end_for(lock, milliseconds, call.operation());
    });
}

bool CxKTX22::IsRunning() const {
    sim::Call call("CxKTX22::IsRunning", {sim::object(this)});
    return call.scripted() ? flag_of(call) : sim::grabber::handle_running(handle_);
}

int CxKTX22::Status() {
    sim::Call call("CxKTX22::Status", {sim::object(this)});
    return result_of_open_board(
        call, handle_, [](const sim::Call& c) { return static_cast<int>(c.number()); },
        [](Device& device, Guard&) { return static_cast<int>(device.phase()); });
}

TxKTX22CaptureStatus CxKTX22::QueryStatus() {
    sim::Call call("CxKTX22::QueryStatus", {sim::object(this)});
    return result_of_open_board(call, handle_, scripted_status,
                                [](Device& device, Guard&) { return record_of(device.status()); });
}

TxKTX22CaptureStatus CxKTX22::WaitStatus() {
    sim::Call call("CxKTX22::WaitStatus", {sim::object(this)});
    return result_of_open_board(call, handle_, scripted_status, [&](Device& device, Guard& lock) {
        device.wait_end(lock, call.operation());
        return record_of(device.status());
    });
}

// A scripted tuple fills the record; a scripted number is the result alone.
void CxKTX22::QueryStatus(TxKTX22CaptureStatus* result) {
    sim::Call call("CxKTX22::QueryStatus", {sim::object(this), fields_of(result)});
    check_record(result, call.operation());
    if (call.scripted()) {
        *result = scripted_status(call);
        return;
    }
    sim::grabber::Access board = sim::grabber::open_board(handle_, call.operation());
    *result = record_of(board.device->status());
}

bool CxKTX22::WaitStatus(TxKTX22CaptureStatus* result, int milliseconds) {
    sim::Call call("CxKTX22::WaitStatus",
                   {sim::object(this), fields_of(result), sim::number(milliseconds)});
    check_record(result, call.operation());
    if (call.scripted() && call.value().kind == sim::Value::Kind::List) {
        *result = scripted_status(call);
        return true;
    }
    if (call.scripted()) return flag_of(call);
    sim::grabber::Access board = sim::grabber::open_board(handle_, call.operation());
    const bool ended = board.device->wait_end_for(board.lock, milliseconds, call.operation());
    *result = record_of(board.device->status());
    return ended;
}

// ---- events and channel units ------------------------------------------------------------

bool CxKTX22::WaitEvent(int event, int milliseconds, int* count) {
    sim::Call call("CxKTX22::WaitEvent", {sim::object(this), sim::number(event),
                                          sim::number(milliseconds), sim::out(count)});
    return result_of_open_board(call, handle_, flag_of, [&](Device& device, Guard& lock) {
        return device.wait_event(lock, event, milliseconds, count, call.operation());
    });
}

void CxKTX22::CancelWaitEvent(int event) {
    sim::Call call("CxKTX22::CancelWaitEvent", {sim::object(this), sim::number(event)});
    on_open_board(call, handle_, [&](Device& device, Guard&) { device.cancel_event(event, call.operation()); });
}

void CxKTX22::ForceTrigger(int ch) {
    sim::Call call("CxKTX22::ForceTrigger", {sim::object(this), sim::number(ch)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_channel(ch, call.operation());
        device.force_trigger(call.operation());
    });
}

void CxKTX22::StopPg(int ch) {
    sim::Call call("CxKTX22::StopPg", {sim::object(this), sim::number(ch)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_channel(ch, call.operation());
        device.stop_pg();
    });
}

void CxKTX22::ResetPg(int ch) {
    sim::Call call("CxKTX22::ResetPg", {sim::object(this), sim::number(ch)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_channel(ch, call.operation());
        device.reset_pg();
    });
}

void CxKTX22::ClearTriggerMask(int ch) {
    sim::Call call("CxKTX22::ClearTriggerMask", {sim::object(this), sim::number(ch)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        device.check_channel(ch, call.operation());
        device.clear_trigger_mask();
    });
}

void CxKTX22::PllReconfig() {
    sim::Call call("CxKTX22::PllReconfig", {sim::object(this)});
    on_open_board(call, handle_, [&](Device& device, Guard&) { device.pll_reconfig(call.operation()); });
}

// ---- frames per capture and the first image ----------------------------------------------

void CxKTX22::SetNum(int frames) {
    sim::Call call("CxKTX22::SetNum", {sim::object(this), sim::number(frames)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        if (frames < 0) sim::fail(ExStatus::InvalidArgument, call.operation(), "negative frame count");
        device.num = frames;
    });
}

int CxKTX22::GetNum() const {
    sim::Call call("CxKTX22::GetNum", {sim::object(this)});
    return result_of_open_board(
        call, handle_, [](const sim::Call& c) { return static_cast<int>(c.number()); },
        [](Device& device, Guard&) { return device.num; });
}

void CxKTX22::SetLockId(int index) {
    sim::Call call("CxKTX22::SetLockId", {sim::object(this), sim::number(index)});
    on_open_board(call, handle_, [&](Device& device, Guard&) {
        if (index < 0) sim::fail(ExStatus::InvalidArgument, call.operation(), "negative lock id");
        device.lock_id = index;
    });
}

int CxKTX22::GetLockId() const {
    sim::Call call("CxKTX22::GetLockId", {sim::object(this)});
    return result_of_open_board(
        call, handle_, [](const sim::Call& c) { return static_cast<int>(c.number()); },
        [](Device& device, Guard&) { return device.lock_id; });
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
