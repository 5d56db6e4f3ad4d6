#include "service/range_finder_window.h"

#include "service/widgets.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdio>

namespace veltron::service {
namespace {

QString fixed52(float v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%5.2f", static_cast<double>(v));
    return QString::fromLatin1(buf);
}

} // namespace

RangeReading rangeReading(std::int32_t firstPoint, int camera, const math::Calibration& calibration,
                          const math::MathParams& params) {
    RangeReading r;
    r.pixel = firstPoint > math::kMaxPixel ? math::kMaxPixel : firstPoint;
    r.mm = math::cameraDistance(calibration, params, camera, r.pixel);
    return r;
}

RangeFinderWindow::RangeFinderWindow(std::function<std::optional<std::int32_t>(int camera)> takeProfile,
                                     const math::Calibration& calibration, const math::MathParams& params,
                                     QWidget* parent)
    : QDialog(parent), takeProfile_(std::move(takeProfile)), calibration_(calibration), params_(params) {
    setObjectName("TForm40");
    setWindowTitle(QString::fromUtf8("Привязочный дальномер "));
    auto* root = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    root->addLayout(row);

    auto* choice = new QGroupBox(QString::fromUtf8("  Выбор камеры  "), this);
    auto* choiceLayout = new QVBoxLayout(choice);
    for (int c = 1; c <= 4; ++c) {
        radio_[c] = new QRadioButton(QString::number(c), choice);
        radio_[c]->setObjectName("RadioButton" + QString::number(c));
        choiceLayout->addWidget(radio_[c]);
    }
    radio_[1]->setChecked(true);
    row->addWidget(choice);

    auto* result = new QGroupBox(QString::fromUtf8("  Результат  "), this);
    auto* grid = new QGridLayout(result);
    auto* label1 = new QLabel(QString::fromUtf8("В ПЗС"), result);
    label1->setObjectName("Label1");
    label2_ = new QLabel("0", result);
    label2_->setObjectName("Label2");
    auto* label3 = new QLabel(QString::fromUtf8("в ММ"), result);
    label3->setObjectName("Label3");
    label4_ = new QLabel("0", result);
    label4_->setObjectName("Label4");
    label5_ = new QLabel(QString::fromUtf8("Поправка:"), result);
    label5_->setObjectName("Label5");
    QFont big = label4_->font();
    big.setPointSize(14);
    big.setBold(true);
    label2_->setFont(big);
    label4_->setFont(big);
    label2_->setMinimumWidth(120);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(label2_, 0, 1);
    grid->addWidget(label3, 1, 0);
    grid->addWidget(label4_, 1, 1);
    grid->addWidget(label5_, 2, 0, 1, 2);
    row->addWidget(result, 1);

    auto_ = new QCheckBox(QString::fromUtf8("Автоопрос"), this);
    auto_->setObjectName("CheckBox1");
    root->addWidget(auto_);
    auto* buttons = new QHBoxLayout;
    root->addLayout(buttons);
    buttons->addWidget(makeButton(
        this, QString::fromUtf8("Замер"), [this] { measure(); }, {}, "Button1"));
    buttons->addWidget(makeButton(
        this, QString::fromUtf8("Закрыть"), [this] { close(); }, {}, "Button2"));
    buttons->addWidget(makeButton(
        this, QString::fromUtf8("Выход"),
        [this] {
            stopPolling();
            if (endProgram) {
                endProgram(0);
            }
        },
        {}, "Button3"));

    // The next measurement starts 500 ms after the previous one has finished.
    timer_.setSingleShot(true);
    timer_.setInterval(500);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
        polling_ = true;
        measure();
        polling_ = false;
        if (auto_->isChecked()) {
            timer_.start();
        }
    });
    QObject::connect(auto_, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            timer_.start();
        } else {
            timer_.stop();
        }
    });
    resize(420, 230);
}

int RangeFinderWindow::chosenCamera() const {
    int camera = 1;
    for (int c = 2; c <= 4; ++c) {
        if (radio_[c]->isChecked()) {
            camera = c;
        }
    }
    return camera;
}

void RangeFinderWindow::measure() {
    const int camera = chosenCamera();
    const std::optional<std::int32_t> first = takeProfile_ ? takeProfile_(camera) : std::nullopt;
    label5_->setText(QString::fromUtf8("Поправка: ") + fixed52(params_.dmm[camera]));
    if (!first) {
        label2_->setText("?");
        label4_->setText("?");
        return;
    }
    const RangeReading r = rangeReading(*first, camera, calibration_, params_);
    label2_->setText(QString::number(r.pixel));
    label4_->setText(fixed52(r.mm));
}

QString RangeFinderWindow::pixelText() const {
    return label2_->text();
}
QString RangeFinderWindow::mmText() const {
    return label4_->text();
}
QString RangeFinderWindow::offsetText() const {
    return label5_->text();
}

void RangeFinderWindow::stopPolling() {
    timer_.stop();
    auto_->setChecked(false);
}

void RangeFinderWindow::closeEvent(QCloseEvent* event) {
    stopPolling();
    QDialog::closeEvent(event);
}

void RangeFinderWindow::hideEvent(QHideEvent* event) {
    stopPolling();
    QDialog::hideEvent(event);
}

} // namespace veltron::service
