// The two logs every subsystem writes.
//
// Work log: Log.txt in the working directory, one line per event,
//   "[" + short date + " " + long time + "] " + text, CP1251, CR LF.
// The file is opened for appending (created when missing) and closed for every line, and is
// never truncated. A line that cannot be written is reported once on the console and the
// program carries on: a log line must never abort a running procedure.
//
// Console log: the lines of the console window, either plain (the text itself) or stamped,
//   "[" + date + "/" + time + "]" + text + ".", kept only when the console is enabled
//   (VconEmable).
#pragma once

#include "platform/text.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace veltron {

using Clock = std::function<text::DateTime()>;

class ConsoleLog {
public:
    ConsoleLog(bool enabled, Clock clock);

    void line(const std::string& text);
    void stamped(const std::string& text);
    // A problem the operator's engineer must see: a console line when the console is
    // enabled, and always a line on the standard error stream.
    void problem(const std::string& text);
    void clear() { memo_.clear(); }

    bool enabled() const { return enabled_; }
    // The console is enabled once the settings are read (VconEmable).
    void setEnabled(bool enabled) { enabled_ = enabled; }
    const std::vector<std::string>& memo() const { return memo_; }
    // Called with every line added, so a window can show it.
    void setSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

    static std::string stampedText(const text::DateTime& t, const std::string& text);

private:
    void add(const std::string& text);

    bool enabled_;
    Clock clock_;
    std::vector<std::string> memo_;
    std::function<void(const std::string&)> sink_;
};

class WorkLog {
public:
    // enabled is !NoLOG.
    WorkLog(std::filesystem::path file, bool enabled, Clock clock, ConsoleLog& console);

    void write(const std::string& text);

    static std::string lineText(const text::DateTime& t, const std::string& text);

private:
    std::filesystem::path file_;
    bool enabled_;
    Clock clock_;
    ConsoleLog& console_;
    bool failureReported_ = false;
};

} // namespace veltron
