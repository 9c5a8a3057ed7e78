// Digital-I/O boards SNR11, SN2200 and TK560 with their Param companions and
// wait records.
#include "by_name.h"

namespace vkt_unit {
namespace {

using namespace vkt::DIO;

// ---- name tables --------------------------------------------------------------------

constexpr ValueKind I = ValueKind::Int32;
constexpr ValueKind U = ValueKind::UInt32;
constexpr ValueKind S = ValueKind::Text;
constexpr ValueKind No = ValueKind::None;

constexpr ParamRow kSNR11Params[] = {
    {"INTEnable", I, I},     {"INTEdge", I, I},       {"INTStatus", I, No},
    {"DeviceID", I, No},     {"DeviceType", I, No},   {"DriverVersion", I, No},
    {"Timeout", I, I},       {"DIWaitMode", No, I},   {"INTWaitEnable", No, I},
    {"Version", I, I},       {"DIEnable", U, U},      {"DIEdge", U, U},
    {"DIWaitEnable", U, U},
};

constexpr ParamRow kSN2200Params[] = {
    {"DINoiseFilterTime", I, I}, {"DeviceID", I, No},    {"DeviceType", I, No},
    {"DriverVersion", I, No},    {"FpgaVersion", I, No}, {"Timeout", I, I},
    {"Version", No, I},          {"DIEnable", U, U},     {"DIEdge", U, U},
    {"DIWaitEnable", U, U},      {"DriverVersionName", S, No},
    {"FpgaVersionName", S, No},
};

constexpr ParamRow kTK560Params[] = {
    {"INTEnable", I, I},          {"INTEdge", I, I},
    {"DINoiseFilterWidth", I, I}, {"DINoiseFilterScale", I, I},
    {"INTNoiseFilterWidth", I, I}, {"INTNoiseFilterScale", I, I},
    {"INTStatus", I, No},         {"DeviceID", I, No},
    {"DeviceType", I, No},        {"DriverVersion", I, No},
    {"FpgaVersion", I, No},       {"Timeout", I, I},
    {"DIWaitMode", I, I},         {"INTWaitEnable", I, I},
    {"Version", I, I},            {"DIEnable", U, U},
    {"DIEdge", U, U},             {"DIWaitEnable", U, U},
};

constexpr auto kSNR11Table = indexed(kSNR11Params);
constexpr auto kSN2200Table = indexed(kSN2200Params);
constexpr auto kTK560Table = indexed(kTK560Params);

// ---- boards ------------------------------------------------------------------------

// The line operations the three boards share: the word forms return what the
// library stores through their out-parameter, the line forms likewise.
template <class Board, class... Options>
void def_lines(py::class_<Board, Options...>& cls) {
    cls.def("close", checked(&Board::Close));
    cls.def_property_readonly("is_opened", checked(&Board::IsOpened));
    cls.def("read", checked([](Board& self) {
        unsigned int value = 0;
        self.Read(&value);
        return value;
    }));
    cls.def("read", checked([](Board& self, int index) {
        bool value = false;
        self.Read(index, &value);
        return value;
    }));
    cls.def("write", checked(static_cast<void (Board::*)(unsigned int)>(&Board::Write)));
    cls.def("write", checked(static_cast<void (Board::*)(int, bool)>(&Board::Write)));
    cls.def("write_status", checked([](Board& self) {
        unsigned int value = 0;
        self.WriteStatus(&value);
        return value;
    }));
    cls.def("write_status", checked([](Board& self, int index) {
        bool value = false;
        self.WriteStatus(index, &value);
        return value;
    }));
}

// __init__, equality, dispose and is_valid.
template <class Board, class... Options>
void def_board_basics(py::class_<Board, Options...>& cls) {
    cls.def(py::init<>());
    def_equality(cls);
    def_dispose_and_validity(cls);
}

// ---- Param companions ------------------------------------------------------------

// get_param, set_param, send_command and the registers, with the class's table.
// Each wrapper throws from its own statement. The table is a constant of
// the program, so the wrappers keep a reference to it.
template <class Param, class... Options, std::size_t N>
void def_by_name(py::class_<Param, Options...>& cls, const ParamTable<N>& table) {
    cls.def("get_param", checked([&table](Param& self, std::string_view name) -> py::object {
        const ParamRow* row = table.find(name, Direction::Get);
        if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
        return read_param(self, *row);
    }));
    cls.def("set_param",
            checked([&table](Param& self, std::string_view name, py::object value) {
                const ParamRow* row = table.find(name, Direction::Set);
                if (row == nullptr) VKT_UNIT_FAIL(kUnsupported);
                write_param(self, *row, value);
            }));
    cls.def("send_command", checked([](Param&, const std::string&) {
        VKT_UNIT_FAIL(kUnsupported);  // these boards take no commands
    }));
    cls.def("set_register", checked(&Param::SetRegister));
    cls.def("get_register", checked([](Param& self, unsigned int address) {
        unsigned int value = 0;
        self.GetRegister(address, &value);
        return value;
    }));
}

template <class Param, class Value, class... Options>
void def_setting(py::class_<Param, Options...>& cls, const char* name,
                 Value (Param::*getter)() const, void (Param::*setter)(Value)) {
    cls.def_property(name, checked(getter), checked(setter));
}

// ---- wait records -------------------------------------------------------------------

template <class Record>
void def_wait_record(py::module_& m, const char* name) {
    py::class_<Record> cls(m, name);
    cls.def_readonly("event_status", &Record::event_status);
    cls.def_readonly("di_event_status", &Record::di_event_status);
    cls.def_readonly("di", &Record::di);
    cls.def(py::init<>());
    cls.def(py::init<unsigned int, unsigned int, unsigned int>());
    def_equality(cls);
}

}  // namespace

void init_snr11(py::module_& m) {
    py::class_<CxSNR11> board(m, "SNR11");
    def_board_basics(board);
    board.def("open", checked(&CxSNR11::Open));
    def_lines(board);
    board.def("wait", checked([](CxSNR11& self) {
        unsigned int event = 0;
        self.Wait(&event);
        return event;
    }));
    board.def("abort", checked(&CxSNR11::Abort));

    py::class_<CxSNR11Param> param(m, "SNR11Param");
    def_companion_basics<CxSNR11>(param, Copyable::No);
    def_setting(param, "timeout", &CxSNR11Param::GetTimeout, &CxSNR11Param::SetTimeout);
    def_setting(param, "int_edge", &CxSNR11Param::GetIntEdge, &CxSNR11Param::SetIntEdge);
    def_by_name(param, kSNR11Table);
}

void init_sn2200(py::module_& m) {
    py::class_<CxSN2200> board(m, "SN2200");
    def_board_basics(board);
    board.def("open", checked(&CxSN2200::Open), py::arg("id") = 0);
    def_lines(board);
    board.def("wait", checked(&CxSN2200::Wait));
    board.def("abort", checked(&CxSN2200::Abort));

    py::class_<CxSN2200Param> param(m, "SN2200Param");
    def_companion_basics<CxSN2200>(param, Copyable::No);
    def_setting(param, "timeout", &CxSN2200Param::GetTimeout, &CxSN2200Param::SetTimeout);
    def_setting(param, "di_enable", &CxSN2200Param::GetDiEnable, &CxSN2200Param::SetDiEnable);
    def_setting(param, "di_edge", &CxSN2200Param::GetDiEdge, &CxSN2200Param::SetDiEdge);
    def_setting(param, "di_wait_enable", &CxSN2200Param::GetDiWaitEnable,
                &CxSN2200Param::SetDiWaitEnable);
    def_by_name(param, kSN2200Table);
}

void init_tk560(py::module_& m) {
    py::class_<CxTK560> board(m, "TK560");
    def_board_basics(board);
    board.def("open", checked(&CxTK560::Open));
    def_lines(board);
    board.def("load", checked(&CxTK560::Load));
    board.def("load_w", checked(&CxTK560::LoadW));
    board.def("save", checked(&CxTK560::Save));
    board.def("save_w", checked(&CxTK560::SaveW));
    board.def("wait", checked(&CxTK560::Wait));
    board.def("abort", checked(&CxTK560::Abort));

    py::class_<CxTK560Param> param(m, "TK560Param");
    def_companion_basics<CxTK560>(param, Copyable::No);
    def_setting(param, "timeout", &CxTK560Param::GetTimeout, &CxTK560Param::SetTimeout);
    def_setting(param, "int_enable", &CxTK560Param::GetIntEnable, &CxTK560Param::SetIntEnable);
    def_setting(param, "int_edge", &CxTK560Param::GetIntEdge, &CxTK560Param::SetIntEdge);
    def_setting(param, "int_wait_enable", &CxTK560Param::GetIntWaitEnable,
                &CxTK560Param::SetIntWaitEnable);
    def_setting(param, "di_enable", &CxTK560Param::GetDiEnable, &CxTK560Param::SetDiEnable);
    def_setting(param, "di_edge", &CxTK560Param::GetDiEdge, &CxTK560Param::SetDiEdge);
    def_setting(param, "di_wait_enable", &CxTK560Param::GetDiWaitEnable,
                &CxTK560Param::SetDiWaitEnable);
    def_setting(param, "di_wait_mode", &CxTK560Param::GetDiWaitMode,
                &CxTK560Param::SetDiWaitMode);
    def_by_name(param, kTK560Table);
}

void init_dio_wait_records(py::module_& m) {
    def_wait_record<TxSN2200WaitStatus>(m, "SN2200WaitStatus");
    def_wait_record<TxTK560WaitStatus>(m, "TK560WaitStatus");
}

}  // namespace vkt_unit
