// The simulated KTX21 board object and its capture-status record. Each
// operation journals the call, honours a scripted answer, then works on the
// board's device (ktx21_device.h).
#include <climits>

#include "grabber_board.h"

namespace vkt::Video {

using sim::grabber::Device;
using sim::grabber::Handle;

// ---- TxKTX21CaptureStatus ---------------------------------------------------------

TxKTX21CaptureStatus::TxKTX21CaptureStatus()
    : TxKTX21CaptureStatus(0, 0, 0, 0, 0, 0) {}

TxKTX21CaptureStatus::TxKTX21CaptureStatus(unsigned int total_frame_count_,
                                           unsigned int amount_in_frame_,
                                           unsigned int last_frame_no_, int line_count_,
                                           int dma_schedule_peak_, unsigned int capture_event_)
    : total_frame_count(total_frame_count_),
      amount_in_frame(amount_in_frame_),
      last_frame_no(last_frame_no_),
      line_count(line_count_),
      dma_schedule_peak(dma_schedule_peak_),
      capture_event(capture_event_) {}

bool TxKTX21CaptureStatus::operator==(const TxKTX21CaptureStatus& other) const {
    return total_frame_count == other.total_frame_count &&
           amount_in_frame == other.amount_in_frame && last_frame_no == other.last_frame_no &&
           line_count == other.line_count && dma_schedule_peak == other.dma_schedule_peak &&
           capture_event == other.capture_event;
}

bool TxKTX21CaptureStatus::operator!=(const TxKTX21CaptureStatus& other) const {
    return !(*this == other);
}

namespace {

using sim::grabber::Access;
using BoardAccess = sim::grabber::Access;
using sim::grabber::bound_board;
using sim::grabber::narrow_path;
using sim::grabber::open_board;
using sim::grabber::wide_path;

const sim::grabber::Model& model() { return sim::grabber::ktx21_model(); }

// The record a test scripted: a tuple of its six fields.
TxKTX21CaptureStatus scripted_status(const sim::Call& call) {
    const auto& fields = sim::grabber::scripted_fields(call, 6);
    return TxKTX21CaptureStatus(static_cast<unsigned>(fields[0].integer),
                                static_cast<unsigned>(fields[1].integer),
                                static_cast<unsigned>(fields[2].integer),
                                static_cast<int>(fields[3].integer),
                                static_cast<int>(fields[4].integer),
                                static_cast<unsigned>(fields[5].integer));
}

TxKTX21CaptureStatus record_of(const sim::grabber::CaptureCounts& counts) {
    return TxKTX21CaptureStatus(counts.total, counts.amount_in_frame, counts.last_frame_no,
                                counts.line_count, counts.peak, counts.events);
}

}  // namespace

// ---- construction -------------------------------------------------------------------

CxKTX21::CxKTX21() : handle_(new Handle) {
    sim::grabber::register_board(this, static_cast<Handle*>(handle_), model());
    sim::track(this);
}

CxKTX21::CxKTX21(const CxKTX21& other) : handle_(new Handle) {
    if (other.handle_ != nullptr) *static_cast<Handle*>(handle_) = *static_cast<Handle*>(other.handle_);
    sim::grabber::register_board(this, static_cast<Handle*>(handle_), model());
    sim::track(this);
}

// The moved-from object keeps no handle: it is unbound.
CxKTX21::CxKTX21(CxKTX21&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
    sim::grabber::register_board(&other, nullptr, model());
    sim::grabber::register_board(this, static_cast<Handle*>(handle_), model());
    sim::track(this);
}

CxKTX21::~CxKTX21() {
    sim::untrack(this);
    sim::grabber::unregister_board(this);
    delete static_cast<Handle*>(handle_);
}

// Two board objects are equal when they refer to the same board.
bool CxKTX21::operator==(const CxKTX21& other) const {
    sim::Call call("CxKTX21::operator==", {sim::object(this), sim::object(&other)});
    if (call.scripted()) return call.number() != 0;
    return sim::grabber::same_board(handle_, other.handle_);
}

bool CxKTX21::operator!=(const CxKTX21& other) const {
    sim::Call call("CxKTX21::operator!=", {sim::object(this), sim::object(&other)});
    if (call.scripted()) return call.number() != 0;
    return !sim::grabber::same_board(handle_, other.handle_);
}

// ---- factories ----------------------------------------------------------------------

CxKTX21 CxKTX21::FromFile(const char* camerafile, int option) {
    sim::Call call("CxKTX21::FromFile", {sim::bytes(camerafile), sim::number(option)});
    CxKTX21 board;
    if (call.scripted()) return board;
    sim::grabber::open_from_file(board.handle_, model(), narrow_path(camerafile, call.operation()), 0, 0, call.operation());
    return board;
}

CxKTX21 CxKTX21::FromFile(const wchar_t* camerafile, int option) {
    sim::Call call("CxKTX21::FromFile", {sim::wide(camerafile), sim::number(option)});
    CxKTX21 board;
    if (call.scripted()) return board;
    sim::grabber::open_from_file(board.handle_, model(), wide_path(camerafile, call.operation()), 0, 0, call.operation());
    return board;
}

CxKTX21 CxKTX21::FromFile(const char* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX21::FromFile", {sim::bytes(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option)});
    CxKTX21 board;
    if (call.scripted()) return board;
    sim::grabber::open_from_file(board.handle_, model(), narrow_path(camerafile, call.operation()), id, ch,
                   call.operation());
    return board;
}

CxKTX21 CxKTX21::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX21::FromFile", {sim::wide(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option)});
    CxKTX21 board;
    if (call.scripted()) return board;
    sim::grabber::open_from_file(board.handle_, model(), wide_path(camerafile, call.operation()), id, ch,
                   call.operation());
    return board;
}

// ---- board lifetime ------------------------------------------------------------------

void CxKTX21::Dispose() {
    sim::Call call("CxKTX21::Dispose", {sim::object(this)});
    if (!call.scripted()) sim::grabber::dispose_handle(handle_);
}

bool CxKTX21::IsValid() const {
    sim::Call call("CxKTX21::IsValid", {sim::object(this)});
    return call.scripted() ? call.number() != 0 : sim::grabber::handle_valid(handle_);
}

void CxKTX21::Open(int id, int ch) {
    sim::Call call("CxKTX21::Open", {sim::object(this), sim::number(id), sim::number(ch)});
    if (call.scripted()) return;
    auto* h = static_cast<Handle*>(handle_);
    if (h == nullptr) sim::fail(ExStatus::MissingObject, call.operation(), "the board object is empty");
    sim::grabber::open_handle(*h, model(), id, ch, call.operation());
}

void CxKTX21::Close() {
    sim::Call call("CxKTX21::Close", {sim::object(this)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->end_capture(board.lock, sim::grabber::Phase::Aborted, sim::grabber::kAborted);
    board.device->close_locked();
}

bool CxKTX21::IsOpened() const {
    sim::Call call("CxKTX21::IsOpened", {sim::object(this)});
    return call.scripted() ? call.number() != 0 : sim::grabber::handle_opened(handle_);
}

// ---- camera files ------------------------------------------------------------------------

void CxKTX21::Setup(const char* camerafile, int option) {
    sim::Call call("CxKTX21::Setup", {sim::object(this), sim::bytes(camerafile), sim::number(option)});
    if (call.scripted()) return;
    const std::string path = narrow_path(camerafile, call.operation());
    BoardAccess board = open_board(handle_, call.operation());
    sim::grabber::apply_camera_file(*board.device, path, call.operation());
}

void CxKTX21::Setup(const wchar_t* camerafile, int option) {
    sim::Call call("CxKTX21::Setup", {sim::object(this), sim::wide(camerafile), sim::number(option)});
    if (call.scripted()) return;
    const std::string path = wide_path(camerafile, call.operation());
    BoardAccess board = open_board(handle_, call.operation());
    sim::grabber::apply_camera_file(*board.device, path, call.operation());
}

void CxKTX21::Save(const char* camerafile) const {
    sim::Call call("CxKTX21::Save", {sim::object(this), sim::bytes(camerafile)});
    if (call.scripted()) return;
    sim::grabber::save_camera_file(handle_, narrow_path(camerafile, call.operation()), call.operation());
}

void CxKTX21::SaveW(const wchar_t* camerafile) const {
    sim::Call call("CxKTX21::SaveW", {sim::object(this), sim::wide(camerafile)});
    if (call.scripted()) return;
    sim::grabber::save_camera_file(handle_, wide_path(camerafile, call.operation()), call.operation());
}

// ---- images ------------------------------------------------------------------------------

void CxKTX21::Validate(CxImage& image) {
    sim::Call call("CxKTX21::Validate", {sim::object(this), sim::object(&image)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->check_image(&image, -1, call.operation());
}

void CxKTX21::Validate(CxImage** images, int count) {
    sim::Call call("CxKTX21::Validate",
                   {sim::object(this), sim::grabber::image_list(images, count), sim::number(count)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    sim::grabber::validate_images(*board.device, images, count, call.operation());
}

void CxKTX21::Lock(const CxImage& image, int option) {
    sim::Call call("CxKTX21::Lock", {sim::object(this), sim::object(&image), sim::number(option)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    // The board writes into locked images; the image stays its owner's.
    CxImage* one = const_cast<CxImage*>(&image);
    board.device->lock_images(&one, 1, call.operation());
}

void CxKTX21::Lock(CxImage** images, int count, int option) {
    sim::Call call("CxKTX21::Lock", {sim::object(this), sim::grabber::image_list(images, count),
                                     sim::number(count), sim::number(option)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->lock_images(images, count, call.operation());
}

void CxKTX21::Unlock() {
    sim::Call call("CxKTX21::Unlock", {sim::object(this)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->unlock_images(call.operation());
}

// ---- capture ------------------------------------------------------------------------------

void CxKTX21::Start() {
    sim::Call call("CxKTX21::Start", {sim::object(this)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->start(board.lock, call.operation());
}

void CxKTX21::Stop() {
    sim::Call call("CxKTX21::Stop", {sim::object(this)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->end_capture(board.lock, sim::grabber::Phase::Stopped, sim::grabber::kStopped);
}

void CxKTX21::Abort() {
    sim::Call call("CxKTX21::Abort", {sim::object(this)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->abort_after(board.lock, 0);
}

void CxKTX21::Abort(unsigned int frames) {
    sim::Call call("CxKTX21::Abort", {sim::object(this), sim::number(frames)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->abort_after(board.lock, frames);
}

void CxKTX21::Wait() {
    sim::Call call("CxKTX21::Wait", {sim::object(this)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->wait_end(board.lock, call.operation());
}

bool CxKTX21::IsRunning() const {
    sim::Call call("CxKTX21::IsRunning", {sim::object(this)});
    return call.scripted() ? call.number() != 0 : sim::grabber::handle_running(handle_);
}

int CxKTX21::Status() {
    sim::Call call("CxKTX21::Status", {sim::object(this)});
    if (call.scripted()) return static_cast<int>(call.number());
    BoardAccess board = open_board(handle_, call.operation());
    return static_cast<int>(board.device->phase());
}

TxKTX21CaptureStatus CxKTX21::WaitStatus() {
    sim::Call call("CxKTX21::WaitStatus", {sim::object(this)});
    if (call.scripted()) return scripted_status(call);
    BoardAccess board = open_board(handle_, call.operation());
    board.device->wait_end(board.lock, call.operation());
    return record_of(board.device->status());
}

TxKTX21CaptureStatus CxKTX21::WaitStatus(unsigned int frame) {
    sim::Call call("CxKTX21::WaitStatus", {sim::object(this), sim::number(frame)});
    if (call.scripted()) return scripted_status(call);
    BoardAccess board = open_board(handle_, call.operation());
    board.device->wait_frame(board.lock, frame, call.operation());
    return record_of(board.device->status());
}

TxKTX21CaptureStatus CxKTX21::QueryStatus() {
    sim::Call call("CxKTX21::QueryStatus", {sim::object(this)});
    if (call.scripted()) return scripted_status(call);
    BoardAccess board = open_board(handle_, call.operation());
    return record_of(board.device->status());
}

TxKTX21CaptureStatus CxKTX21::QueryStatus(unsigned int index) {
    sim::Call call("CxKTX21::QueryStatus", {sim::object(this), sim::number(index)});
    if (call.scripted()) return scripted_status(call);
    BoardAccess board = open_board(handle_, call.operation());
    return record_of(board.device->status_of(index, call.operation()));
}

void CxKTX21::ForceTrigger() {
    sim::Call call("CxKTX21::ForceTrigger", {sim::object(this)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    board.device->force_trigger(call.operation());
}

void CxKTX21::SetNum(int frames) {
    sim::Call call("CxKTX21::SetNum", {sim::object(this), sim::number(frames)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    if (frames < 0) sim::fail(ExStatus::InvalidArgument, call.operation(), "negative frame count");
    board.device->num = frames;
}

int CxKTX21::GetNum() const {
    sim::Call call("CxKTX21::GetNum", {sim::object(this)});
    if (call.scripted()) return static_cast<int>(call.number());
    BoardAccess board = open_board(handle_, call.operation());
    return board.device->num;
}

void CxKTX21::SetLockId(int index) {
    sim::Call call("CxKTX21::SetLockId", {sim::object(this), sim::number(index)});
    if (call.scripted()) return;
    BoardAccess board = open_board(handle_, call.operation());
    if (index < 0) sim::fail(ExStatus::InvalidArgument, call.operation(), "negative lock id");
    board.device->lock_id = index;
}

int CxKTX21::GetLockId() const {
    sim::Call call("CxKTX21::GetLockId", {sim::object(this)});
    if (call.scripted()) return static_cast<int>(call.number());
    BoardAccess board = open_board(handle_, call.operation());
    return board.device->lock_id;
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
