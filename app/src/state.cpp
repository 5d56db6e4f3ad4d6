#include "app/state.h"

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

#include <exception>

namespace veltron {
namespace {

void readInt(const IniFile& ini, const char* section, const char* key, std::int32_t& out) {
    if (const auto v = ini.get(section, key)) {
        if (const auto n = text::parseInt(*v)) {
            out = *n;
        }
    }
}

} // namespace

OperatorState readState(const IniFile& ini) {
    OperatorState s;
    readInt(ini, "NOWDATE", "YEAR", s.YEAR);
    readInt(ini, "NOWDATE", "MONTH", s.MONTH);
    readInt(ini, "NOWDATE", "DAY", s.DAY);
    readInt(ini, "NOWReplacement", "NOWSPRING", s.NOWSPRING);
    readInt(ini, "NOWReplacement", "NOWKOMPL", s.NOWKOMPL);
    readInt(ini, "NOWReplacement", "RepairTYPE", s.RepairTYPE);
    readInt(ini, "NOWChassie", "CHASSIE", s.CHASSIE);
    std::int32_t sound = 0;
    readInt(ini, "NOWSOUND", "Soundenable", sound);
    s.Soundenable = sound != 0;
    if (const auto v = ini.get("INFO", "TRAIN"); v && !v->empty()) {
        s.TRAIN = *v;
    }
    readInt(ini, "INFO", "SERIA", s.SERIA);
    return s;
}

void writeState(IniFile& ini, const OperatorState& s) {
    ini.set("NOWDATE", "YEAR", std::to_string(s.YEAR));
    ini.set("NOWDATE", "MONTH", std::to_string(s.MONTH));
    ini.set("NOWDATE", "DAY", std::to_string(s.DAY));
    ini.set("NOWReplacement", "NOWSPRING", std::to_string(s.NOWSPRING));
    ini.set("NOWReplacement", "NOWKOMPL", std::to_string(s.NOWKOMPL));
    ini.set("NOWReplacement", "RepairTYPE", std::to_string(s.RepairTYPE));
    ini.set("NOWChassie", "CHASSIE", std::to_string(s.CHASSIE));
    ini.set("NOWSOUND", "Soundenable", s.Soundenable ? "1" : "0");
    ini.set("INFO", "TRAIN", s.TRAIN);
    ini.set("INFO", "SERIA", std::to_string(s.SERIA));
}

StateStore::StateStore(std::filesystem::path file, ConsoleLog& console) : file_(std::move(file)), console_(console) {}

void StateStore::read() {
    files::removeStaleTemporaries(file_);
    ini_ = IniFile::load(file_);
    state_ = readState(ini_);
}

bool StateStore::write() {
    try {
        writeState(ini_, state_);
        ini_.save(file_);
        return true;
    } catch (const std::exception& e) {
        console_.problem(std::string("Ошибка записи state.ini: ") + e.what());
        return false;
    }
}

bool StateStore::newShiftCheck(const text::DateTime& today, WorkLog& log) {
    if (today.day == state_.DAY && today.month == state_.MONTH) {
        return false;
    }
    log.write("Начата новая смена.");
    state_.NOWSPRING = 0;
    state_.NOWKOMPL = 0;
    state_.DAY = today.day;
    state_.MONTH = today.month;
    state_.YEAR = today.year;
    write();
    return true;
}

} // namespace veltron
