// The small ordinary windows the start-up uses: the console (TForm2, "Consol") with the
// console memo and two database test buttons, and the loading log (TForm3, "Протокол загрузки данных"), green on black.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace veltron {

class ConsoleWindow : public QWidget {
public:
    explicit ConsoleWindow(std::function<void()> closeProgram);
    // The two database test buttons ("Button1": connect and open Series; "Button4": list its
    // records); each gives the lines the button writes to the memo.
    std::function<std::vector<std::string>()> databaseTest;
    std::function<std::vector<std::string>()> databaseList;
    void append(const std::string& line);
    void clear();
    QString text() const;

private:
    QPlainTextEdit* memo_;
};

class LoadingLogWindow : public QWidget {
public:
    LoadingLogWindow();
    void append(const std::string& line);
    QString text() const;
    // Centres the window on the given one.
    void centreOn(const QWidget& other);

private:
    QPlainTextEdit* memo_;
};

} // namespace veltron
