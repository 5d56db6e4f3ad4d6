#include "service/evaluation_window.h"

#include "platform/text.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace veltron::service {
namespace {

constexpr Rgb kNavy{0, 0, 128};
constexpr int kImageWidth = 2047;
constexpr int kInitialXScale = 3;
constexpr int kInitialYScale = 4;

int positiveOr(const QLineEdit* edit, int fallback) {
    const auto v = text::parseInt(text::trim(us(edit->text())));
    return v && *v > 0 ? *v : fallback;
}

} // namespace

EvaluationWindow::EvaluationWindow(math::FourCameraEvaluation& evaluation, const math::MathParams& params,
                                   QWidget* parent)
    : QDialog(parent), evaluation_(evaluation), params_(params) {
    setObjectName("TMForm6");
    setWindowTitle(QString::fromUtf8("Визуализатор математики версия 2021 года"));
    auto* root = new QHBoxLayout(this);

    // Left: the buttons and settings above the four camera images.
    auto* left = new QVBoxLayout;
    root->addLayout(left, 3);
    auto* buttons = new QHBoxLayout;
    left->addLayout(buttons);
    const auto add = [&](const char* caption, void (EvaluationWindow::*step)()) {
        buttons->addWidget(makeButton(this, QString::fromUtf8(caption), [this, step] { run(step); }));
    };
    add("Открыть", &EvaluationWindow::open);
    add("1", &EvaluationWindow::valueWindow);
    add("3", &EvaluationWindow::pointWindow);
    add("Med5", &EvaluationWindow::median);
    add("v", &EvaluationWindow::segment);
    add("МНК", &EvaluationWindow::smooth);
    add("Расчет", &EvaluationWindow::compute);
    add("Авторасчет", &EvaluationWindow::autoCompute);
    add("Освежить", &EvaluationWindow::drawAll);
    buttons->addStretch();
    buttons->addWidget(makeButton(this, QString::fromUtf8("Закрыть программу"), [this] {
        if (endProgram) {
            endProgram(0);
        }
    }));

    auto* settingsRow = new QHBoxLayout;
    left->addLayout(settingsRow);
    auto* scale = new QGroupBox(QString::fromUtf8(" Масштаб "), this);
    auto* scaleLayout = new QHBoxLayout(scale);
    scaleLayout->addWidget(new QLabel("X:", scale));
    xScale_ = new QLineEdit(QString::number(kInitialXScale), scale);
    xScale_->setObjectName("xScale");
    xScale_->setMaximumWidth(50);
    scaleLayout->addWidget(xScale_);
    scaleLayout->addWidget(new QLabel("Y:", scale));
    yScale_ = new QLineEdit(QString::number(kInitialYScale), scale);
    yScale_->setObjectName("yScale");
    yScale_->setMaximumWidth(50);
    scaleLayout->addWidget(yScale_);
    settingsRow->addWidget(scale);

    auto* format = new QGroupBox(QString::fromUtf8(" Формат данных "), this);
    auto* formatLayout = new QHBoxLayout(format);
    cmr_ = new QCheckBox(QString::fromUtf8("Дельтар-М"), format);
    cmr_->setChecked(evaluation_.cmrFormat);
    QObject::connect(cmr_, &QCheckBox::toggled, this, [this](bool on) { evaluation_.cmrFormat = on; });
    formatLayout->addWidget(cmr_);
    settingsRow->addWidget(format);

    auto* counts = new QGroupBox(QString::fromUtf8(" Число замеров с камер "), this);
    auto* countsLayout = new QHBoxLayout(counts);
    for (int c = 1; c <= math::kCameras; ++c) {
        countLabels_[c] = new QLabel(counts);
        countLabels_[c]->setMinimumWidth(60);
        countsLayout->addWidget(countLabels_[c]);
    }
    settingsRow->addWidget(counts);

    auto* coords = new QGroupBox(QString::fromUtf8(" Координаты (без масш.)"), this);
    auto* coordsLayout = new QHBoxLayout(coords);
    xLabel_ = new QLabel("x=", coords);
    yLabel_ = new QLabel("y=", coords);
    xLabel_->setMinimumWidth(60);
    yLabel_->setMinimumWidth(60);
    coordsLayout->addWidget(xLabel_);
    coordsLayout->addWidget(yLabel_);
    settingsRow->addWidget(coords);
    settingsRow->addStretch();

    // Camera 3 top left, camera 1 top right, camera 4 bottom left, camera 2 bottom right.
    auto* grid = new QGridLayout;
    left->addLayout(grid, 1);
    struct Place {
        int camera;
        const char* caption;
        int row, column;
    };
    const Place places[] = {
        {3, " Камера 3  ", 0, 0}, {1, " Камера 1 ", 0, 1}, {4, " Камера 4 ", 1, 0}, {2, " Камера 2 ", 1, 1}};
    for (const Place& p : places) {
        auto* group = new QGroupBox(QString::fromUtf8(p.caption), this);
        auto* groupLayout = new QVBoxLayout(group);
        auto* scroll = new QScrollArea(group);
        images_[p.camera].resize(kImageWidth, 1);
        images_[p.camera].fillRect(0, 0, kImageWidth, 1, colors::white);
        views_[p.camera] = new CanvasView(images_[p.camera]);
        views_[p.camera]->pointerMoved = [this](int x, int y) {
            xLabel_->setText("x=" + QString::number(x));
            yLabel_->setText("y=" + QString::number(y));
        };
        scroll->setWidget(views_[p.camera]);
        scroll->setMinimumSize(300, 220);
        groupLayout->addWidget(scroll);
        grid->addWidget(group, p.row, p.column);
    }

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName("memo");
    memo_->setReadOnly(true);
    memo_->setMinimumWidth(240);
    root->addWidget(memo_, 1);

    evaluation_.drawCamera = [this](int camera) { drawCamera(camera); };
    showState();
    resize(1240, 720);
}

EvaluationWindow::~EvaluationWindow() {
    evaluation_.drawCamera = nullptr;
}

int EvaluationWindow::xScale() const {
    return positiveOr(xScale_, kInitialXScale);
}

int EvaluationWindow::yScale() const {
    return positiveOr(yScale_, kInitialYScale);
}

void EvaluationWindow::run(void (EvaluationWindow::*step)()) {
    try {
        (this->*step)();
    } catch (const std::exception& e) {
        // The chain ends at the failing step; the engineer sees why and may go on by hand.
        memo_->appendPlainText(qs(std::string(">>>") + e.what()));
        if (log) {
            log(std::string(">>>") + e.what());
        }
    }
}

void EvaluationWindow::drawCamera(int camera) {
    const math::PointCounts& n = evaluation_.counts();
    const math::ProfileStore& store = evaluation_.store();
    const int xs = xScale();
    const int ys = yScale();
    Canvas& image = images_[camera];
    // One image row per Y-scale points: a picture as tall as the point count would hold
    // mostly blank rows (and 80 MB per camera for a long scan).
    const int points = std::clamp(std::max(n[camera], n[1]), 0, math::kRowSlots);
    image.resize(kImageWidth, points / ys + 2);
    // Camera 1's count is the white area of every camera, as the window always drew it.
    image.fillRect(0, 0, kImageWidth, image.height(), colors::silver);
    image.fillRect(0, 0, kImageWidth, std::clamp(n[1], 0, math::kRowSlots) / ys + 1, colors::white);
    QApplication::processEvents();
    int row = 0;
    int inRow = 0;
    const int last = std::min(n[camera], math::kRowSlots);
    for (int p = 1; p <= last; ++p) {
        image.line(0, row, store.value(camera, p) / xs, row, colors::green);
        if (++inRow == ys) {
            inRow = 0;
            ++row;
        }
    }
    if (coilLines_) {
        const math::CoilTable& coils = evaluation_.coils();
        for (int k = 1; k <= coils.count[camera]; ++k) {
            const math::Coil& coil = coils.coil(camera, k);
            image.line(0, coil.start / ys - 1, kImageWidth, coil.start / ys - 1, kNavy, PenStyle::Dash);
            image.line(0, coil.end / ys, kImageWidth, coil.end / ys, colors::red, PenStyle::Dash);
            image.line(0, coil.peak / ys - 1, kImageWidth, coil.peak / ys - 1, colors::yellow, PenStyle::Dot);
        }
    }
    views_[camera]->refresh();
    QApplication::processEvents();
}

void EvaluationWindow::showState() {
    for (int c = 1; c <= math::kCameras; ++c) {
        countLabels_[c]->setText(qs(evaluation_.countLabel(c)));
    }
    QStringList lines;
    for (const std::string& line : evaluation_.memo()) {
        lines << qs(line);
    }
    memo_->setPlainText(lines.join('\n'));
    memo_->moveCursor(QTextCursor::End);
}

void EvaluationWindow::open() {
    coilLines_ = false;
    evaluation_.open();
    showState();
}

void EvaluationWindow::valueWindow() {
    coilLines_ = false;
    evaluation_.valueWindowStep();
    showState();
}

void EvaluationWindow::pointWindow() {
    coilLines_ = false;
    evaluation_.pointWindowStep();
    showState();
}

void EvaluationWindow::median() {
    coilLines_ = false;
    evaluation_.medianStep();
    showState();
}

void EvaluationWindow::segment() {
    coilLines_ = true;
    evaluation_.segmentStep();
    showState();
}

void EvaluationWindow::smooth() {
    coilLines_ = true;
    evaluation_.smoothStep();
    showState();
}

void EvaluationWindow::compute() {
    evaluation_.computeStep();
    showState();
}

void EvaluationWindow::autoCompute() {
    coilLines_ = false;
    try {
        evaluation_.autoCompute();
    } catch (...) {
        showState();
        throw;
    }
    coilLines_ = true;
    drawAll();
    showState();
}

void EvaluationWindow::drawAll() {
    for (int c = 1; c <= math::kCameras; ++c) {
        drawCamera(c);
    }
}

} // namespace veltron::service
