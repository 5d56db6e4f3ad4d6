// TForma, "Экран отладки": the debug-message window. Messages are recorded only when
// WritetoDS is on; the window lives for the whole run and is shown when DSShow asks for it.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

#include <functional>
#include <string>

namespace veltron::service {

class DebugWindow : public QWidget {
public:
    // record: WritetoDS. endProgram: "Закрыть программу" (switches the display back and ends).
    DebugWindow(bool record, std::function<void()> endProgram, QWidget* parent = nullptr);

    // Appends the text to the memo when messages are recorded.
    void message(const std::string& text);
    QString text() const { return memo_->toPlainText(); }
    void clear() { memo_->clear(); }
    // Selects the whole memo and copies it to the clipboard ("Копировать").
    void copy();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool record_;
    QPlainTextEdit* memo_;
    QLabel* title_;
};

} // namespace veltron::service
