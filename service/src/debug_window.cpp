#include "service/debug_window.h"

#include "service/widgets.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace veltron::service {

DebugWindow::DebugWindow(bool record, std::function<void()> endProgram, QWidget* parent)
    : QWidget(parent), record_(record) {
    setObjectName("TForma");
    setWindowTitle(QString::fromUtf8("Экран отладки"));
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    title_->setObjectName("title");
    layout->addWidget(title_);
    auto* group = new QGroupBox(QString::fromUtf8(" Отладочные сообщения  "), this);
    auto* groupLayout = new QVBoxLayout(group);
    memo_ = new QPlainTextEdit(group);
    memo_->setObjectName("memo");
    memo_->setReadOnly(true);
    groupLayout->addWidget(memo_);
    layout->addWidget(group, 1);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    buttons->addWidget(makeButton(this, QString::fromUtf8("Очистить"), [this] { memo_->clear(); }));
    buttons->addWidget(makeButton(this, QString::fromUtf8("Копировать"), [this] { copy(); }));
    buttons->addWidget(makeButton(this, QString::fromUtf8("Закрыть окно"), [this] { hide(); }));
    buttons->addWidget(makeButton(this, QString::fromUtf8("Закрыть программу"), [endProgram = std::move(endProgram)] {
        if (endProgram) {
            endProgram();
        }
    }));
    resize(560, 420);
}

void DebugWindow::message(const std::string& text) {
    if (record_) {
        memo_->appendPlainText(qs(text));
    }
}

void DebugWindow::copy() {
    memo_->selectAll();
    memo_->copy();
}

void DebugWindow::showEvent(QShowEvent* event) {
    title_->setText(QApplication::applicationDisplayName());
    QWidget::showEvent(event);
}

} // namespace veltron::service
