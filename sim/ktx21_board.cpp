// The simulated KTX21 board object and its capture-status record. Each
// operation journals the call and leaves the rest to the grabber board
// operations (grabber_board.h).
#include "grabber_board.h"

namespace vkt::Video {

namespace grabber = sim::grabber;

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

using Record = TxKTX21CaptureStatus;

const sim::grabber::Model& model() { return sim::grabber::ktx21_model(); }

}  // namespace

// ---- construction -------------------------------------------------------------------

CxKTX21::CxKTX21() : handle_(grabber::new_handle(this, model())) { sim::track(this); }

CxKTX21::CxKTX21(const CxKTX21& other) : handle_(grabber::new_handle(this, model(), other.handle_)) {
    sim::track(this);
}

// The moved-from object keeps no handle: it is unbound.
CxKTX21::CxKTX21(CxKTX21&& other) noexcept
    : handle_(grabber::take_handle(this, model(), &other, other.handle_)) {
    sim::track(this);
}

CxKTX21::~CxKTX21() {
    sim::untrack(this);
    grabber::delete_handle(this, handle_);
}

bool CxKTX21::operator==(const CxKTX21& other) const {
    return grabber::equal(sim::Call("CxKTX21::operator==", {sim::object(this), sim::object(&other)}),
                          handle_, other.handle_);
}

bool CxKTX21::operator!=(const CxKTX21& other) const {
    return grabber::unequal(sim::Call("CxKTX21::operator!=", {sim::object(this), sim::object(&other)}),
                            handle_, other.handle_);
}

// ---- factories ----------------------------------------------------------------------

CxKTX21 CxKTX21::FromFile(const char* camerafile, int option) {
    sim::Call call("CxKTX21::FromFile", {sim::bytes(camerafile), sim::number(option)});
    CxKTX21 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxKTX21 CxKTX21::FromFile(const wchar_t* camerafile, int option) {
    sim::Call call("CxKTX21::FromFile", {sim::wide(camerafile), sim::number(option)});
    CxKTX21 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxKTX21 CxKTX21::FromFile(const char* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX21::FromFile", {sim::bytes(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option)});
    CxKTX21 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

CxKTX21 CxKTX21::FromFile(const wchar_t* camerafile, int id, int ch, int option) {
    sim::Call call("CxKTX21::FromFile", {sim::wide(camerafile), sim::number(id), sim::number(ch),
                                         sim::number(option)});
    CxKTX21 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

// ---- board lifetime ------------------------------------------------------------------

void CxKTX21::Dispose() { grabber::dispose(sim::Call("CxKTX21::Dispose", {sim::object(this)}), handle_); }

bool CxKTX21::IsValid() const {
    return grabber::is_valid(sim::Call("CxKTX21::IsValid", {sim::object(this)}), handle_);
}

void CxKTX21::Open(int id, int ch) {
    grabber::open(sim::Call("CxKTX21::Open", {sim::object(this), sim::number(id), sim::number(ch)}),
                  handle_, model(), id, ch);
}

void CxKTX21::Close() { grabber::close(sim::Call("CxKTX21::Close", {sim::object(this)}), handle_); }

bool CxKTX21::IsOpened() const {
    return grabber::is_opened(sim::Call("CxKTX21::IsOpened", {sim::object(this)}), handle_);
}

// ---- camera files ------------------------------------------------------------------------

void CxKTX21::Setup(const char* camerafile, int option) {
    grabber::setup(sim::Call("CxKTX21::Setup", {sim::object(this), sim::bytes(camerafile),
                                                sim::number(option)}),
                   handle_, camerafile);
}

void CxKTX21::Setup(const wchar_t* camerafile, int option) {
    grabber::setup(sim::Call("CxKTX21::Setup", {sim::object(this), sim::wide(camerafile),
                                                sim::number(option)}),
                   handle_, camerafile);
}

void CxKTX21::Save(const char* camerafile) const {
    grabber::save(sim::Call("CxKTX21::Save", {sim::object(this), sim::bytes(camerafile)}), handle_,
                  camerafile);
}

void CxKTX21::SaveW(const wchar_t* camerafile) const {
    grabber::save(sim::Call("CxKTX21::SaveW", {sim::object(this), sim::wide(camerafile)}), handle_,
                  camerafile);
}

// ---- images ------------------------------------------------------------------------------

void CxKTX21::Validate(CxImage& image) {
    grabber::validate(sim::Call("CxKTX21::Validate", {sim::object(this), sim::object(&image)}),
                      handle_, image);
}

void CxKTX21::Validate(CxImage** images, int count) {
    grabber::validate(sim::Call("CxKTX21::Validate", {sim::object(this),
                                                      grabber::image_list(images, count),
                                                      sim::number(count)}),
                      handle_, images, count);
}

void CxKTX21::Lock(const CxImage& image, int option) {
    // The board writes into locked images; the image stays its owner's.
    CxImage* one = const_cast<CxImage*>(&image);
    grabber::lock(sim::Call("CxKTX21::Lock", {sim::object(this), sim::object(&image),
                                              sim::number(option)}),
                  handle_, &one, 1);
}

void CxKTX21::Lock(CxImage** images, int count, int option) {
    grabber::lock(sim::Call("CxKTX21::Lock", {sim::object(this), grabber::image_list(images, count),
                                              sim::number(count), sim::number(option)}),
                  handle_, images, count);
}

void CxKTX21::Unlock() { grabber::unlock(sim::Call("CxKTX21::Unlock", {sim::object(this)}), handle_); }

// ---- capture ------------------------------------------------------------------------------

void CxKTX21::Start() { grabber::start(sim::Call("CxKTX21::Start", {sim::object(this)}), handle_); }
void CxKTX21::Stop() { grabber::stop(sim::Call("CxKTX21::Stop", {sim::object(this)}), handle_); }
void CxKTX21::Abort() { grabber::abort_after(sim::Call("CxKTX21::Abort", {sim::object(this)}), handle_, 0); }
void CxKTX21::Wait() { grabber::wait(sim::Call("CxKTX21::Wait", {sim::object(this)}), handle_); }

void CxKTX21::Abort(unsigned int frames) {
    grabber::abort_after(sim::Call("CxKTX21::Abort", {sim::object(this), sim::number(frames)}),
                         handle_, frames);
}

bool CxKTX21::IsRunning() const {
    return grabber::is_running(sim::Call("CxKTX21::IsRunning", {sim::object(this)}), handle_);
}

int CxKTX21::Status() { return grabber::status(sim::Call("CxKTX21::Status", {sim::object(this)}), handle_); }

TxKTX21CaptureStatus CxKTX21::WaitStatus() {
    return grabber::wait_status<Record>(sim::Call("CxKTX21::WaitStatus", {sim::object(this)}), handle_);
}

TxKTX21CaptureStatus CxKTX21::WaitStatus(unsigned int frame) {
    return grabber::wait_status<Record>(sim::Call("CxKTX21::WaitStatus", {sim::object(this), sim::number(frame)}),
                                handle_, frame);
}

TxKTX21CaptureStatus CxKTX21::QueryStatus() {
    return grabber::query_status<Record>(sim::Call("CxKTX21::QueryStatus", {sim::object(this)}), handle_);
}

TxKTX21CaptureStatus CxKTX21::QueryStatus(unsigned int index) {
    return grabber::query_status<Record>(
        sim::Call("CxKTX21::QueryStatus", {sim::object(this), sim::number(index)}), handle_, index);
}

void CxKTX21::ForceTrigger() {
    grabber::force_trigger(sim::Call("CxKTX21::ForceTrigger", {sim::object(this)}), handle_);
}

void CxKTX21::SetNum(int frames) {
    grabber::set_num(sim::Call("CxKTX21::SetNum", {sim::object(this), sim::number(frames)}), handle_,
                     frames);
}

int CxKTX21::GetNum() const {
    return grabber::get_num(sim::Call("CxKTX21::GetNum", {sim::object(this)}), handle_);
}

void CxKTX21::SetLockId(int index) {
    grabber::set_lock_id(sim::Call("CxKTX21::SetLockId", {sim::object(this), sim::number(index)}),
                         handle_, index);
}

int CxKTX21::GetLockId() const {
    return grabber::get_lock_id(sim::Call("CxKTX21::GetLockId", {sim::object(this)}), handle_);
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
