#include "app/ui/service_windows.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltron {
namespace {
QPlainTextEdit* makeMemo(QWidget* parent) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    return memo;
}
} // namespace

ConsoleWindow::ConsoleWindow(std::function<void()> closeProgram) {
    setObjectName("TForm2");
    setWindowTitle("Consol");
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QString::fromUtf8(" Вывод "), this);
    auto* groupLayout = new QVBoxLayout(group);
    memo_ = makeMemo(group);
    groupLayout->addWidget(memo_);
    layout->addWidget(group);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    auto* close = new QPushButton(QString::fromUtf8("Закрыть программу"), this);
    buttons->addWidget(close);
    QObject::connect(close, &QPushButton::clicked, this, [closeProgram] { closeProgram(); });
    buttons->addStretch();
    const auto test = [this, buttons](const char* caption,
                                      std::function<std::vector<std::string>()> ConsoleWindow::*hook) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(caption));
        buttons->addWidget(b);
        QObject::connect(b, &QPushButton::clicked, this, [this, hook] {
            if (this->*hook) {
                for (const std::string& line : (this->*hook)()) {
                    append(line);
                }
            }
        });
    };
    test("Button1", &ConsoleWindow::databaseTest);
    test("Button4", &ConsoleWindow::databaseList);
    resize(520, 420);
}

void ConsoleWindow::append(const std::string& line) {
    memo_->appendPlainText(QString::fromStdString(line));
}

void ConsoleWindow::clear() {
    memo_->clear();
}

QString ConsoleWindow::text() const {
    return memo_->toPlainText();
}

LoadingLogWindow::LoadingLogWindow() {
    setWindowTitle(QString::fromUtf8("Протокол загрузки данных"));
    setWindowFlag(Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    memo_ = makeMemo(this);
    QPalette pal = memo_->palette();
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Text, QColor(0, 255, 0));
    memo_->setPalette(pal);
    QFont f("Liberation Mono");
    f.setPointSize(10);
    memo_->setFont(f);
    layout->addWidget(memo_);
    resize(760, 520);
}

void LoadingLogWindow::append(const std::string& line) {
    memo_->appendPlainText(QString::fromStdString(line));
}

QString LoadingLogWindow::text() const {
    return memo_->toPlainText();
}

void LoadingLogWindow::centreOn(const QWidget& other) {
    const QRect g = other.geometry();
    move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
}

} // namespace veltron
