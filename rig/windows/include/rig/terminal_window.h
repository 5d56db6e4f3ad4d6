// TForm4, "Terminal": the service terminal window. It shows the state the rig command layer
// keeps (check boxes, edit fields, labels, the log) and binds each ButtonNN to the command
// of the layer's button table; the sequences use the same state and commands without it.
// Showing the window runs the layer's show (log banner, Edit8, terminal shown flag) and
// hiding it clears the flag. The edit fields are checked by the commands that read them,
// which refuse a bad value with a log line before anything is sent.
#pragma once

#include "rig/terminal.h"

#include <QDialog>

#include <functional>
#include <map>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace veltron::rig {

class TerminalWindow : public QDialog {
public:
    explicit TerminalWindow(Terminal& terminal, QWidget* parent = nullptr);
    ~TerminalWindow() override;

    // Menu hooks.
    std::function<void()> showRangeFinder;           // "Дальномер"
    std::function<void()> showWorkbench;             // "Показ геометрии (старая)"
    std::function<void()> showEvaluation;            // "Показ геометрии (актуальная)"
    std::function<void(int status)> endProgram;      // "Выход из программы", and a fault exit
    std::function<void(const std::string&)> message; // a message box unless replaced
    std::function<void(const std::string&)> log;     // a command that failed, for the work log

    // Runs a button's command as a click does, then shows the state again.
    void click(const std::string& button);
    // Shows the layer's state again.
    void refresh();
    void saveReport(); // "Файл" -> " Сохранить отчет"

    QPushButton* button(const std::string& name) const;
    QLabel* label(const std::string& name) const;
    QLineEdit* edit(const std::string& name) const;
    QString memoText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    QPushButton* addButton(QWidget* parent, const std::string& name, const char* caption);
    QLabel* addLabel(QWidget* parent, const std::string& name, const char* caption);
    QLineEdit* addEdit(QWidget* parent, const std::string& name);
    std::string* editField(const std::string& name);

    Terminal& terminal_;
    std::map<std::string, QPushButton*> buttons_;
    std::map<std::string, QLabel*> labels_;
    std::map<std::string, QLineEdit*> edits_;
    QCheckBox* checkBox1_ = nullptr;
    QCheckBox* checkBox2_ = nullptr;
    QCheckBox* checkBox3_ = nullptr;
    QRadioButton* radio1_ = nullptr;
    QRadioButton* radio2_ = nullptr;
    QGroupBox* links_ = nullptr;
    QGroupBox* controls_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    std::size_t shownLogLines_ = 0;
};

} // namespace veltron::rig
