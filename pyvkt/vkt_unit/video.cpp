// The board-independent Video class. Parameters by name go to the table of
// the model the object is, through a companion made for the one call.
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

#include "by_name.h"
#include "unowned_wrappers.h"

namespace vkt_unit {
namespace {

using vkt::ExDevice;
using vkt::Video::CxVideo;

// ---- the boards Videos free ------------------------------------------------------------
//
// `controller` presents the board a Video drives without owning it. The
// library frees the board a Video's factory opened when the Video (or any
// copy of it: copies drive the same board) disposes of it or is given
// another controller, and when the last copy is destroyed. The module keeps,
// per family of copies, the boards it has presented, and forgets every
// non-owning wrapper inside them whenever the library may have freed them,
// so that a wrapper left behind is a missing object, never freed memory.

struct VideoFamily {
    int members = 1;
    std::vector<ObjectExtent> boards;   // presented as `controller`
};

class VideoFamilies {
public:
    // `copy` was made from `original`.
    void copied(const CxVideo& original, const CxVideo& copy) {
        auto family = family_of(original);
        ++family->members;
        families_[&copy] = std::move(family);
    }

    void presented(const CxVideo& video, const ObjectExtent& board) {
        auto& boards = family_of(video)->boards;
        if (std::find(boards.begin(), boards.end(), board) == boards.end()) boards.push_back(board);
    }

    // The library may have freed every board of the family but `kept`.
    void released(const CxVideo& video, const void* kept) {
        const auto found = families_.find(&video);
        if (found == families_.end()) return;   // nothing presented
        auto& boards = found->second->boards;
        const auto freed = std::stable_partition(
            boards.begin(), boards.end(), [kept](const ObjectExtent& b) { return b.begin == kept; });
        std::for_each(freed, boards.end(), forget_unowned_within);
        boards.erase(freed, boards.end());
    }

    void destroyed(const CxVideo& video) {
        const auto found = families_.find(&video);
        if (found == families_.end()) return;
        const auto family = std::move(found->second);
        families_.erase(found);
        if (--family->members == 0) {
            std::for_each(family->boards.begin(), family->boards.end(), forget_unowned_within);
        }
    }

private:
    // A Video the module has not met yet is a family of its own.
    std::shared_ptr<VideoFamily> family_of(const CxVideo& video) {
        auto& family = families_[&video];
        if (!family) family = std::make_shared<VideoFamily>();
        return family;
    }

    std::unordered_map<const CxVideo*, std::shared_ptr<VideoFamily>> families_;
};

// Used with the interpreter lock held, like everything in the module.
VideoFamilies& families() {
    static VideoFamilies all;
    return all;
}

// The sole-owner holder of a Video, which tells the families its end.
struct VideoDeleter {
    void operator()(CxVideo* video) const {
        families().destroyed(*video);
        delete video;
    }
};
using VideoHolder = std::unique_ptr<CxVideo, VideoDeleter>;

// Runs a call after which the library may have freed the Video's boards
// (all but `kept`), whether it returns or throws.
template <class Call>
void releasing(const CxVideo& video, const void* kept, Call&& call) {
    try {
        call();
    } catch (...) {
        families().released(video, kept);
        throw;
    }
    families().released(video, kept);
}

// The board a Video drives, presented as its controller.
struct DrivenBoard {
    const CxVideo* video;
    vkt::IxModule* board;
};

}  // namespace
}  // namespace vkt_unit

namespace pybind11::detail {

// Presents the board as the Python object of its most-derived registered
// class (the existing one where it is wrapped), keeping the Video alive, and
// records the board for the Video's family when the wrapper does not own it.
template <>
class type_caster<vkt_unit::DrivenBoard> {
public:
    static constexpr auto name = make_caster<vkt::IxModule*>::name;

    static handle cast(const vkt_unit::DrivenBoard& driven, return_value_policy, handle parent) {
        const handle board = make_caster<vkt::IxModule*>::cast(
            driven.board, return_value_policy::reference_internal, parent);
        const vkt_unit::ObjectExtent extent = vkt_unit::unowned_extent(board);
        if (extent.begin != nullptr) vkt_unit::families().presented(*driven.video, extent);
        return board;
    }
};

}  // namespace pybind11::detail

namespace vkt_unit {
namespace {

// The seven commands, in the order they are compared.
constexpr const char* kVideoCommands[] = {
    "SelfCalibration", "ClearTriggerMask", "ResetPG",           "StopPG",
    "ResetPLLReconfig", "ExecutePLLReconfig", "PLLReconfig",
};

bool is_video_command(const std::string& name) {
    for (const char* command : kVideoCommands) {
        if (name == command) return true;
    }
    return false;
}

// Runs `use` on a companion of `Param` attached to `video`; the companion is
// destroyed when the call ends, whether `use` returns or raises.
template <class Param, class Use>
auto with_companion(CxVideo& video, Use&& use) {
    Param param = Param::From(&video);
    return use(param);
}

template <class... Options>
void def_from_file(py::class_<CxVideo, Options...>& cls) {
    using py::arg;
    const auto made = [](CxVideo&& video) { return VideoHolder(new CxVideo(std::move(video))); };
    cls.def_static("from_file", [made](const char* camerafile, int option) {
        return made(CxVideo::FromFile(camerafile, option));
    }, arg("camerafile"), arg("option") = -1);
    // A Python str (or bytes) always takes the narrow overload registered
    // before this one, so nothing from Python reaches the wide one; it is
    // registered because the library offers both. GCOVR_EXCL_START
    cls.def_static("from_file", [made](const wchar_t* camerafile, int option) {
        return made(CxVideo::FromFile(camerafile, option));
    }, arg("camerafile"), arg("option") = -1);
    // GCOVR_EXCL_STOP
    cls.def_static("from_file", [made](const char* camerafile, int id, int ch, int option) {
        return made(CxVideo::FromFile(camerafile, id, ch, option));
    }, arg("camerafile"), arg("id"), arg("ch"), arg("option") = -1);
    // Wide, not reached from Python (see above). GCOVR_EXCL_START
    cls.def_static("from_file", [made](const wchar_t* camerafile, int id, int ch, int option) {
        return made(CxVideo::FromFile(camerafile, id, ch, option));
    }, arg("camerafile"), arg("id"), arg("ch"), arg("option") = -1);
    // GCOVR_EXCL_STOP
}

template <class... Options>
void def_board_properties(py::class_<CxVideo, Options...>& cls) {
    // The board comes back as the Python object that already wraps it, or as
    // a new wrapper of its own class that keeps this Video alive.
    cls.def_property("controller", checked([](const CxVideo& self) {
                         return DrivenBoard{&self, self.Controller()};
                     }),
                     checked([](CxVideo& self, vkt::IxModule* board) {
                         const void* kept = board != nullptr ? dynamic_cast<const void*>(board)
                                                             : nullptr;
                         releasing(self, kept, [&] { self.Controller(board); });
                     }));
    cls.def_property("device_type", checked([](const CxVideo& self) { return self.DeviceType(); }),
                     checked([](CxVideo& self, ExDevice device) { self.DeviceType(device); }));
}

template <class... Options>
void def_capture(py::class_<CxVideo, Options...>& cls) {
    using Image = void (CxVideo::*)(vkt::CxImage&);
    using Module = void (CxVideo::*)(vkt::IxModule*);
    cls.def("close", checked(&CxVideo::Close));
    cls.def("save", checked(&CxVideo::Save));
    cls.def("save_w", checked(&CxVideo::SaveW));
    cls.def("validate", checked(static_cast<Image>(&CxVideo::Validate)));
    cls.def("validate", checked(static_cast<Module>(&CxVideo::Validate)));
    cls.def("grab", checked(static_cast<Image>(&CxVideo::Grab)));
    cls.def("grab", checked(static_cast<Module>(&CxVideo::Grab)));
    cls.def("start", checked(static_cast<Image>(&CxVideo::Start)));
    cls.def("start", checked(static_cast<Module>(&CxVideo::Start)));
    cls.def("wait", checked(&CxVideo::Wait));
    cls.def("abort", checked(&CxVideo::Abort));
    cls.def_property_readonly("is_running", checked(&CxVideo::IsRunning));
    cls.def("status", checked(&CxVideo::Status));
    cls.def("force_trigger", checked(&CxVideo::ForceTrigger));
    cls.def_property("trigger_mode", checked(&CxVideo::GetTriggerMode),
                     checked(&CxVideo::SetTriggerMode));
    cls.def_property("exposure_time", checked(&CxVideo::GetExposureTime),
                     checked(&CxVideo::SetExposureTime));
    cls.def_property("trigger_cycle_time", checked(&CxVideo::GetTriggerCycleTime),
                     checked(&CxVideo::SetTriggerCycleTime));
}

template <class... Options>
void def_by_name(py::class_<CxVideo, Options...>& cls) {
    using namespace vkt::Video;
    // Device types are checked in this order: MR250, KTX22, KTX21.
    cls.def("get_param", checked([](CxVideo& self, std::string_view name) -> py::object {
        switch (self.DeviceType()) {
            case ExDevice::MR250:
                return with_companion<CxMR250Param>(
                    self, [&](CxMR250Param& param) { return mr250_get_param(param, name); });
            case ExDevice::KTX22:
                return with_companion<CxKTX22Param>(
                    self, [&](CxKTX22Param& param) { return ktx22_get_param(param, name); });
            case ExDevice::KTX21:
                return with_companion<CxKTX21Param>(
                    self, [&](CxKTX21Param& param) { return ktx21_get_param(param, name); });
            default: break;
        }
        VKT_UNIT_FAIL(kUnsupported);  // no parameter table for this device type
    }));
    cls.def("set_param", checked([](CxVideo& self, std::string_view name, py::object value) {
        switch (self.DeviceType()) {
            case ExDevice::MR250:
                return with_companion<CxMR250Param>(
                    self, [&](CxMR250Param& param) { mr250_set_param(param, name, value); });
            case ExDevice::KTX22:
                return with_companion<CxKTX22Param>(
                    self, [&](CxKTX22Param& param) { ktx22_set_param(param, name, value); });
            case ExDevice::KTX21:
                return with_companion<CxKTX21Param>(
                    self, [&](CxKTX21Param& param) { ktx21_set_param(param, name, value); });
            default: break;
        }
        VKT_UNIT_FAIL(kUnsupported);  // no parameter table for this device type
    }));
    cls.def("send_command", checked([](CxVideo& self, const std::string& name) {
        if (!is_video_command(name)) VKT_UNIT_FAIL(kUnsupported);
        unsigned char scratch;  // the command kind carries no value
        self.SendCommand(name.c_str(), &scratch, command_model());
    }));
}

}  // namespace

void init_video(py::module_& m) {
    py::class_<CxVideo, VideoHolder> cls(m, "Video");
    def_from_file(cls);
    cls.def(py::init<>());
    cls.def(py::init([](const CxVideo& other) {
        VideoHolder copy(new CxVideo(other));
        families().copied(other, *copy);
        return copy;
    }));
    def_equality(cls);
    def_board_properties(cls);
    cls.def("dispose", checked([](CxVideo& self) {
        releasing(self, nullptr, [&] { self.Dispose(); });
    }));
    cls.def_property_readonly("is_valid", checked(&CxVideo::IsValid));
    def_capture(cls);
    def_by_name(cls);
}

}  // namespace vkt_unit
