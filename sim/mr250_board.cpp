// The simulated MR250 board object and its capture-status record. Each
// operation journals the call and leaves the rest to the grabber board
// operations (grabber_board.h), run with the MR250 model.
#include "grabber_board.h"

namespace vkt::Video {

namespace grabber = sim::grabber;

// ---- TxMR250CaptureStatus -------------------------------------------------------------

TxMR250CaptureStatus::TxMR250CaptureStatus() : TxMR250CaptureStatus(0, 0, 0, 0, 0, 0) {}

TxMR250CaptureStatus::TxMR250CaptureStatus(unsigned int total_frame_count_,
                                           unsigned int amount_in_frame_,
                                           unsigned int last_frame_no_, int line_count_,
                                           int dma_schedule_peak_, unsigned int capture_event_)
    : total_frame_count(total_frame_count_),
      amount_in_frame(amount_in_frame_),
      last_frame_no(last_frame_no_),
      line_count(line_count_),
      dma_schedule_peak(dma_schedule_peak_),
      capture_event(capture_event_) {}

bool TxMR250CaptureStatus::operator==(const TxMR250CaptureStatus& other) const {
    return total_frame_count == other.total_frame_count &&
           amount_in_frame == other.amount_in_frame && last_frame_no == other.last_frame_no &&
           line_count == other.line_count && dma_schedule_peak == other.dma_schedule_peak &&
           capture_event == other.capture_event;
}

bool TxMR250CaptureStatus::operator!=(const TxMR250CaptureStatus& other) const {
    return !(*this == other);
}

namespace {

using Record = TxMR250CaptureStatus;

const sim::grabber::Model& model() { return sim::grabber::mr250_model(); }

}  // namespace

// ---- construction -------------------------------------------------------------------

CxMR250::CxMR250() : handle_(grabber::new_handle(this, model())) { sim::track(this); }

CxMR250::CxMR250(const CxMR250& other) : handle_(grabber::new_handle(this, model(), other.handle_)) {
    sim::track(this);
}

// The moved-from object keeps no handle: it is unbound.
CxMR250::CxMR250(CxMR250&& other) noexcept
    : handle_(grabber::take_handle(this, model(), &other, other.handle_)) {
    sim::track(this);
}

CxMR250::~CxMR250() {
    sim::untrack(this);
    grabber::delete_handle(this, handle_);
}

bool CxMR250::operator==(const CxMR250& other) const {
    return grabber::equal(sim::Call("CxMR250::operator==", {sim::object(this), sim::object(&other)}),
                          handle_, other.handle_);
}

bool CxMR250::operator!=(const CxMR250& other) const {
    return grabber::unequal(sim::Call("CxMR250::operator!=", {sim::object(this), sim::object(&other)}),
                            handle_, other.handle_);
}

// ---- factories: board 0, channel 0 unless named ------------------------------------------

CxMR250 CxMR250::FromFile(const char* camerafile) {
    sim::Call call("CxMR250::FromFile", {sim::bytes(camerafile)});
    CxMR250 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxMR250 CxMR250::FromFile(const wchar_t* camerafile) {
    sim::Call call("CxMR250::FromFile", {sim::wide(camerafile)});
    CxMR250 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, 0, 0);
    return board;
}

CxMR250 CxMR250::FromFile(const char* camerafile, int id, int ch) {
    sim::Call call("CxMR250::FromFile", {sim::bytes(camerafile), sim::number(id), sim::number(ch)});
    CxMR250 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

CxMR250 CxMR250::FromFile(const wchar_t* camerafile, int id, int ch) {
    sim::Call call("CxMR250::FromFile", {sim::wide(camerafile), sim::number(id), sim::number(ch)});
    CxMR250 board;
    grabber::open_from_file(call, board.handle_, model(), camerafile, id, ch);
    return board;
}

// ---- board lifetime ------------------------------------------------------------------

void CxMR250::Dispose() { grabber::dispose(sim::Call("CxMR250::Dispose", {sim::object(this)}), handle_); }

bool CxMR250::IsValid() const {
    return grabber::is_valid(sim::Call("CxMR250::IsValid", {sim::object(this)}), handle_);
}

void CxMR250::Open(int id, int ch) {
    grabber::open(sim::Call("CxMR250::Open", {sim::object(this), sim::number(id), sim::number(ch)}),
                  handle_, model(), id, ch);
}

void CxMR250::Close() { grabber::close(sim::Call("CxMR250::Close", {sim::object(this)}), handle_); }

bool CxMR250::IsOpened() const {
    return grabber::is_opened(sim::Call("CxMR250::IsOpened", {sim::object(this)}), handle_);
}

// ---- camera files ------------------------------------------------------------------------

void CxMR250::Setup(const char* camerafile) {
    grabber::setup(sim::Call("CxMR250::Setup", {sim::object(this), sim::bytes(camerafile)}), handle_,
                   camerafile);
}

void CxMR250::Setup(const wchar_t* camerafile) {
    grabber::setup(sim::Call("CxMR250::Setup", {sim::object(this), sim::wide(camerafile)}), handle_,
                   camerafile);
}

void CxMR250::Save(const char* camerafile) const {
    grabber::save(sim::Call("CxMR250::Save", {sim::object(this), sim::bytes(camerafile)}), handle_,
                  camerafile);
}

void CxMR250::SaveW(const wchar_t* camerafile) const {
    grabber::save(sim::Call("CxMR250::SaveW", {sim::object(this), sim::wide(camerafile)}), handle_,
                  camerafile);
}

// ---- images ------------------------------------------------------------------------------

void CxMR250::Validate(CxImage& image) {
    grabber::validate(sim::Call("CxMR250::Validate", {sim::object(this), sim::object(&image)}),
                      handle_, image);
}

void CxMR250::Validate(CxImage** images, int count) {
    grabber::validate(sim::Call("CxMR250::Validate", {sim::object(this),
                                                      grabber::image_list(images, count),
                                                      sim::number(count)}),
                      handle_, images, count);
}

void CxMR250::Lock(const CxImage& image, int option) {
    // The board writes into locked images; the image stays its owner's.
    CxImage* one = const_cast<CxImage*>(&image);
    grabber::lock(sim::Call("CxMR250::Lock", {sim::object(this), sim::object(&image),
                                              sim::number(option)}),
                  handle_, &one, 1);
}

void CxMR250::Lock(CxImage** images, int count, int option) {
    grabber::lock(sim::Call("CxMR250::Lock", {sim::object(this), grabber::image_list(images, count),
                                              sim::number(count), sim::number(option)}),
                  handle_, images, count);
}

void CxMR250::Unlock() { grabber::unlock(sim::Call("CxMR250::Unlock", {sim::object(this)}), handle_); }

// ---- capture ------------------------------------------------------------------------------

void CxMR250::Start() { grabber::start(sim::Call("CxMR250::Start", {sim::object(this)}), handle_); }
void CxMR250::Stop() { grabber::stop(sim::Call("CxMR250::Stop", {sim::object(this)}), handle_); }
void CxMR250::Abort() { grabber::abort_after(sim::Call("CxMR250::Abort", {sim::object(this)}), handle_, 0); }
void CxMR250::Wait() { grabber::wait(sim::Call("CxMR250::Wait", {sim::object(this)}), handle_); }

void CxMR250::Abort(unsigned int frames) {
    grabber::abort_after(sim::Call("CxMR250::Abort", {sim::object(this), sim::number(frames)}),
                         handle_, frames);
}

bool CxMR250::IsRunning() const {
    return grabber::is_running(sim::Call("CxMR250::IsRunning", {sim::object(this)}), handle_);
}

int CxMR250::Status() { return grabber::status(sim::Call("CxMR250::Status", {sim::object(this)}), handle_); }

TxMR250CaptureStatus CxMR250::WaitStatus() {
    return grabber::wait_status<Record>(sim::Call("CxMR250::WaitStatus", {sim::object(this)}), handle_);
}

TxMR250CaptureStatus CxMR250::WaitStatus(unsigned int frame) {
    return grabber::wait_status<Record>(
        sim::Call("CxMR250::WaitStatus", {sim::object(this), sim::number(frame)}), handle_, frame);
}

TxMR250CaptureStatus CxMR250::QueryStatus() {
    return grabber::query_status<Record>(sim::Call("CxMR250::QueryStatus", {sim::object(this)}), handle_);
}

TxMR250CaptureStatus CxMR250::QueryStatus(unsigned int index) {
    return grabber::query_status<Record>(
        sim::Call("CxMR250::QueryStatus", {sim::object(this), sim::number(index)}), handle_, index);
}

void CxMR250::ForceTrigger() {
    grabber::force_trigger(sim::Call("CxMR250::ForceTrigger", {sim::object(this)}), handle_);
}

void CxMR250::SetNum(int frames) {
    grabber::set_num(sim::Call("CxMR250::SetNum", {sim::object(this), sim::number(frames)}), handle_,
                     frames);
}

int CxMR250::GetNum() const {
    return grabber::get_num(sim::Call("CxMR250::GetNum", {sim::object(this)}), handle_);
}

void CxMR250::SetLockId(int index) {
    grabber::set_lock_id(sim::Call("CxMR250::SetLockId", {sim::object(this), sim::number(index)}),
                         handle_, index);
}

int CxMR250::GetLockId() const {
    return grabber::get_lock_id(sim::Call("CxMR250::GetLockId", {sim::object(this)}), handle_);
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
