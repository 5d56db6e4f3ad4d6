#include "sequences/debug_input.h"

#include "platform/text.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace veltron {
namespace {

std::optional<double> finiteNumber(const std::string& s) {
    const std::optional<double> v = text::parseDouble(text::trim(s));
    if (!v || !std::isfinite(*v)) {
        return std::nullopt;
    }
    return v;
}

void mark(QLineEdit* field, bool bad) {
    field->setStyleSheet(bad ? "background-color: #ffb0b0;" : "");
}

} // namespace

DebugInputValues checkDebugInput(const std::string& height, const std::string& diameter) {
    return DebugInputValues{finiteNumber(height), finiteNumber(diameter)};
}

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Отладочный ввод"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QString::fromUtf8("Высота"), this), 0, 0);
    heightEdit_ = new QLineEdit(QStringLiteral("300"), this);
    grid->addWidget(heightEdit_, 0, 1);
    grid->addWidget(new QLabel(QString::fromUtf8("Наружный диаметр"), this), 1, 0);
    diameterEdit_ = new QLineEdit(QStringLiteral("120"), this);
    grid->addWidget(diameterEdit_, 1, 1);
    // The caption of the original: "Принять", a line feed and a carriage return, "и простить".
    button_ = new QPushButton(QString::fromUtf8("Принять\n\rи простить"), this);
    grid->addWidget(button_, 2, 0, 1, 2);
    connect(button_, &QPushButton::clicked, this, [this] { tryAccept(); });
}

void TForm5::setValues(double height, double diameter) {
    heightEdit_->setText(QString::fromStdString(text::formatGeneral(height)));
    diameterEdit_->setText(QString::fromStdString(text::formatGeneral(diameter)));
    mark(heightEdit_, false);
    mark(diameterEdit_, false);
}

bool TForm5::tryAccept() {
    const DebugInputValues v = checkDebugInput(heightEdit_->text().toStdString(), diameterEdit_->text().toStdString());
    mark(heightEdit_, !v.height);
    mark(diameterEdit_, !v.diameter);
    if (!v.valid()) {
        (!v.height ? heightEdit_ : diameterEdit_)->setFocus();
        return false;
    }
    height_ = *v.height;
    diameter_ = *v.diameter;
    QDialog::accept();
    return true;
}

void TForm5::reject() {
    // Closing the window is taken as "Принять": the run needs two numbers to go on.
    tryAccept();
}

std::pair<double, double> TForm5::ask(double height, double diameter) {
    setValues(height, diameter);
    exec();
    return values();
}

} // namespace veltron
