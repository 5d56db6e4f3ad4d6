#include "app/logs.h"

#include "platform/files.h"

#include <cstdio>
#include <exception>

namespace veltron {

ConsoleLog::ConsoleLog(bool enabled, Clock clock) : enabled_(enabled), clock_(std::move(clock)) {}

std::string ConsoleLog::stampedText(const text::DateTime& t, const std::string& text) {
    return "[" + text::shortDate(t) + "/" + text::longTime(t) + "]" + text + ".";
}

void ConsoleLog::add(const std::string& text) {
    memo_.push_back(text);
    if (sink_) {
        sink_(text);
    }
}

void ConsoleLog::line(const std::string& text) {
    if (enabled_) {
        add(text);
    }
}

void ConsoleLog::stamped(const std::string& text) {
    if (enabled_) {
        add(stampedText(clock_(), text));
    }
}

void ConsoleLog::problem(const std::string& text) {
    line(text);
    std::fprintf(stderr, "veltron: %s\n", text.c_str());
}

WorkLog::WorkLog(std::filesystem::path file, bool enabled, Clock clock, ConsoleLog& console)
    : file_(std::move(file)), enabled_(enabled), clock_(std::move(clock)), console_(console) {}

std::string WorkLog::lineText(const text::DateTime& t, const std::string& text) {
    return "[" + text::shortDate(t) + " " + text::longTime(t) + "] " + text;
}

void WorkLog::write(const std::string& text) {
    if (!enabled_) {
        return;
    }
    try {
        files::appendToFile(file_, text::utf8ToCp1251(lineText(clock_(), text)) + "\r\n");
        failureReported_ = false;
    } catch (const std::exception& e) {
        // Reported once per run of failures, so a full disk does not flood the console.
        if (!failureReported_) {
            console_.problem(std::string("Ошибка записи в журнал: ") + e.what());
            failureReported_ = true;
        }
    }
}

} // namespace veltron
