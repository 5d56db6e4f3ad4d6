#include "service/workbench_window.h"

#include "platform/files.h"
#include "service/pitch_report.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include <exception>

namespace veltron::service {
namespace {

constexpr int kWidth = 1020;
constexpr int kHeight = 602;
constexpr int kLowerHalf = 308; // first row of cameras 2 and 4
constexpr Rgb kMarkColor{128, 0, 128};

bool lowerHalf(int camera) {
    return camera == 2 || camera == 4;
}
bool rightHalf(int camera) {
    return camera == 1 || camera == 2;
}
int axis(int camera) {
    return rightHalf(camera) ? 495 : 485;
}
// x of a value drawn from the camera's axis: halves truncated toward zero.
int reach(int camera, double value) {
    const int half = static_cast<int>(value / 2.0);
    return rightHalf(camera) ? 495 + half : 485 - half;
}

} // namespace

WorkbenchWindow::WorkbenchWindow(math::ProfileStore& store, const math::Calibration& calibration,
                                 const math::MathParams& params, std::filesystem::path workDir, QWidget* parent)
    : QDialog(parent), store_(store), calibration_(calibration), params_(params), workDir_(std::move(workDir)),
      picture_(kWidth, kHeight) {
    setObjectName("TForm30");
    setWindowTitle(QString::fromUtf8("Визуализатор математики"));
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(6);

    auto* left = new QVBoxLayout;
    root->addLayout(left);
    auto* top = new QHBoxLayout;
    left->addLayout(top);
    path_ = new QLineEdit(this);
    path_->setObjectName("path");
    path_->setPlaceholderText(QString::fromUtf8("В нормальном режиме держать ПУСТЫМ"));
    path_->setToolTip(QString::fromUtf8("В нормальном режиме держать ПУСТЫМ"));
    path_->setText(qs(store_.filePrefix()));
    QObject::connect(path_, &QLineEdit::textChanged, this, [this](const QString& t) { store_.setFilePrefix(us(t)); });
    top->addWidget(path_, 1);
    cmr_ = new QCheckBox(QString::fromUtf8("Данные от Дельтара М (cmr)"), this);
    top->addWidget(cmr_);
    finish_ = new QCheckBox(QString::fromUtf8("Отчерк завершения"), this);
    finish_->setToolTip(QString::fromUtf8("Отчерк завершения по камере"));
    finish_->setChecked(true);
    top->addWidget(finish_);
    status_ = new QLabel("????", this);
    status_->setObjectName("status");
    status_->setMinimumWidth(110);
    top->addWidget(status_);

    picture_.fillRect(0, 0, kWidth, kHeight, colors::white);
    view_ = new CanvasView(picture_, this);
    left->addWidget(view_);
    left->addStretch();

    auto* right = new QVBoxLayout;
    root->addLayout(right);
    auto* grid = new QGridLayout;
    grid->setSpacing(3);
    right->addLayout(grid);
    int index = 0;
    const auto add = [&](const char* caption, const char* hint, std::function<void()> action) {
        auto* b = makeButton(this, QString::fromUtf8(caption), std::move(action), QString::fromUtf8(hint));
        grid->addWidget(b, index / 2, index % 2);
        ++index;
    };
    const auto step = [this](void (WorkbenchWindow::*s)()) { return [this, s] { run(s); }; };
    const char* cutHint = "отсечение \"бороды\"";
    add("Открыть", "", step(&WorkbenchWindow::open));
    add("1", "фильтр к1<=x<k2", step(&WorkbenchWindow::valueWindow));
    add("2", "фильтр x>=k3(k4б)", step(&WorkbenchWindow::threshold));
    add("3", "фильтр к5<=y<k6", step(&WorkbenchWindow::pointWindow));
    add("4", "мин. толщина витка k7,k8", step(&WorkbenchWindow::shortRuns));
    add("5", "Склейка от провалов к9, к10б", step(&WorkbenchWindow::bridge));
    add("Медианный", "", step(&WorkbenchWindow::median));
    add("Dv", "выбор 2го витка", step(&WorkbenchWindow::secondFromStart));
    add("Dvn", "поиск 2го снизу витка", step(&WorkbenchWindow::secondFromEnd));
    add("6", cutHint, step(&WorkbenchWindow::tailCut));
    add("6n", cutHint, step(&WorkbenchWindow::tailCut));
    add("m", "выбор максимума", step(&WorkbenchWindow::maximum));
    add("mn", "поиск максимума", step(&WorkbenchWindow::maximum));
    add("D=", "расчет диаметра", step(&WorkbenchWindow::diameter));
    add("nep=", "Вычисление неперпендикулярости", step(&WorkbenchWindow::nonPerpendicularity));
    add("?", "поиск пружины (не работает)", step(&WorkbenchWindow::searchSpring));
    add("Расчет Диаметра", "авторасчет диаметра", step(&WorkbenchWindow::diameterChain));
    add("Расчет неперп.", "авторасчет неперпендикулярности", step(&WorkbenchWindow::nonPerpChain));
    add("Фильтр Сорбекса", "", step(&WorkbenchWindow::pitchReport));
    add("Сохранить SC.bmp", "", step(&WorkbenchWindow::saveSc));
    add("Закрыть", "вернуться в программу", [this] { accept(); });
    add("ВЫХОД", "закрыть программу", [this] {
        if (endProgram) {
            endProgram(0);
        }
    });
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName("memo");
    memo_->setReadOnly(true);
    memo_->setFixedWidth(300);
    right->addWidget(memo_, 1);

    message = [this](const std::string& text) { QMessageBox::information(this, windowTitle(), qs(text)); };
    pause = [](int ms) { pumpFor(ms); };
    draw();
    resize(1340, 660);
}

void WorkbenchWindow::run(void (WorkbenchWindow::*step)()) {
    try {
        (this->*step)();
    } catch (const std::exception& e) {
        status_->setText(QString::fromUtf8("Ошибка"));
        memo_->appendPlainText(qs(std::string(">>>") + e.what()));
        if (log) {
            log(std::string(">>>") + e.what());
        }
    }
}

void WorkbenchWindow::refresh() {
    view_->refresh();
    QApplication::processEvents();
}

void WorkbenchWindow::draw() {
    Canvas& c = picture_;
    c.fillRect(0, 0, 1024, 768, colors::white);
    c.line(0, 307, 980, 307, colors::black);
    c.line(490, 0, 490, 617, colors::black);
    for (int camera = 1; camera <= math::kCameras; ++camera) {
        int row = lowerHalf(camera) ? kLowerHalf : 0;
        int lastRow = row;
        const int n = std::min(counts_[camera], math::kRowSlots);
        for (int p = 1; p <= n; ++p) {
            c.line(axis(camera), row, reach(camera, store_.value(camera, p)), row, colors::green);
            lastRow = row;
            if (p % 4 == 1) {
                ++row;
            }
        }
        if (finish_->isChecked()) {
            c.line(axis(camera), lastRow + 1, rightHalf(camera) ? 795 : 185, lastRow + 1, colors::red);
        }
    }
    for (int offset : {0, kLowerHalf}) {
        for (int k = 0; k <= 11; ++k) {
            c.line(495 + 50 * k, offset + 1, 495 + 50 * k, offset + 300, colors::grey, PenStyle::Dot);
            c.line(50 * k - 65, offset + 1, 50 * k - 65, offset + 300, colors::grey, PenStyle::Dot);
            c.line(-65, offset + 25 * k, 485, offset + 25 * k, colors::grey, PenStyle::Dot);
        }
        for (int k = 0; k <= 12; ++k) {
            c.line(495, offset + 25 * k, 1018, offset + 25 * k, colors::grey, PenStyle::Dot);
        }
    }
    c.setFont("Courier", 12, colors::black);
    const auto label = [&c](int x, int y, const std::string& t) { c.text(x, y, t); };
    label(790, 10, "Камера 1");
    label(520, 10, "ПЗС>");
    label(790, 34, "Число замеров:" + std::to_string(counts_[1]));
    label(790, 317, "Камера 2");
    label(520, 317, "ПЗС>");
    label(790, 341, "Число замеров:" + std::to_string(counts_[2]));
    label(30, 10, "Камера 3");
    label(424, 10, "<ПЗС");
    label(30, 34, "Число замеров:" + std::to_string(counts_[3]));
    label(30, 318, "Камера 4");
    label(424, 317, "<ПЗС");
    label(30, 342, "Число замеров:" + std::to_string(counts_[4]));
    c.line(0, 0, 0, 617, colors::white);
    c.line(0, 601, 1020, 601, colors::white);
    c.line(1019, 601, 1019, 0, colors::white);
    c.line(1019, 0, 0, 0, colors::white);
    refresh();
}

void WorkbenchWindow::open() {
    math::LoadOptions options;
    options.format = cmr_->isChecked() ? math::ProfileFormat::Cmr : math::ProfileFormat::Cam;
    options.writeDumpLines = params_.DebugMMsaveMessages;
    options.log = log;
    math::loadProfiles(store_, counts_, calibration_, params_, options);
    draw();
}

void WorkbenchWindow::valueWindow() {
    math::valueWindowFilter(store_, counts_, params_);
    draw();
}

void WorkbenchWindow::threshold() {
    math::thresholdFilter(store_, counts_, params_);
    draw();
}

void WorkbenchWindow::pointWindow() {
    math::pointWindowFilter(store_, counts_, params_);
    draw();
}

void WorkbenchWindow::shortRuns() {
    math::shortRunFilter(store_, counts_, params_);
    draw();
}

void WorkbenchWindow::bridge() {
    math::bridgeGaps(store_, counts_, params_);
    math::bridgeGaps(store_, counts_, params_);
    draw();
}

void WorkbenchWindow::median() {
    if (!params_.FMedEnable) {
        return;
    }
    math::workbenchMedian(store_, counts_, params_);
    draw();
}

void WorkbenchWindow::secondFromStart() {
    math::selectSecondCoilFromStart(store_, counts_, selected_);
    draw();
}

void WorkbenchWindow::secondFromEnd() {
    math::selectSecondCoilFromEnd(store_, counts_, selected_);
    draw();
}

void WorkbenchWindow::tailCut() {
    math::selectedCoilTailCut(store_, params_, selected_);
    draw();
}

void WorkbenchWindow::maximum() {
    math::selectedCoilMaximum(store_, selected_);
    for (int camera = 1; camera <= math::kCameras; ++camera) {
        const math::SelectedCoil& s = selected_[camera];
        if (s.start == 0) {
            continue;
        }
        const int row = s.maxPoint / 4 + (lowerHalf(camera) ? kLowerHalf : 0);
        picture_.line(axis(camera), row, reach(camera, s.maxValue), row, colors::blue);
    }
    refresh();
}

void WorkbenchWindow::diameter() {
    math::workbenchDiameter(geometry_, selected_, calibration_, params_);
    setWindowTitle(qs(math::workbenchDiameterCaption(geometry_.diameter)));
}

void WorkbenchWindow::nonPerpendicularity() {
    math::workbenchNonPerpendicularity(geometry_, selected_, calibration_, params_);
    memo_->appendPlainText("nep=" + QString::number(static_cast<double>(geometry_.nonPerp), 'f', 2));
}

void WorkbenchWindow::searchSpring() {
    status_->setText(QString::fromUtf8("Нет пружины"));
}

void WorkbenchWindow::diameterChain() {
    valueWindow();
    threshold();
    pointWindow();
    bridge();
    shortRuns();
    median();
    secondFromStart();
    tailCut();
    maximum();
    diameter();
    searchSpring();
}

void WorkbenchWindow::nonPerpChain() {
    open();
    diameterChain();
    refresh();
    open();
    refresh();
    valueWindow();
    threshold();
    pointWindow();
    bridge();
    shortRuns();
    median();
    secondFromEnd();
    tailCut();
    maximum();
    nonPerpendicularity();
}

void WorkbenchWindow::pitchReport() {
    memo_->clear();
    open();
    valueWindow();
    threshold();
    pointWindow();
    bridge();
    shortRuns();
    draw();
    pause(500);
    const std::vector<PitchCoil> coils = findPitchCoils(store_, counts_, params_, selected_, [this] {
        draw();
        pause(100);
    });
    for (const std::string& line : pitchReportLines(coils)) {
        memo_->appendPlainText(qs(line));
    }
    for (const PitchCoil& coil : coils) {
        picture_.line(495, coil.start / 4, 1000, coil.start / 4, kMarkColor, PenStyle::Dot);
        picture_.line(495, coil.end / 4, 1000, coil.end / 4, kMarkColor, PenStyle::Dot);
        picture_.line(495, coil.maxPoint / 4, 495 + static_cast<int>(coil.maxValue / 2.0), coil.maxPoint / 4,
                      colors::blue);
    }
    refresh();
}

void WorkbenchWindow::saveSc() {
    picture_.save(files::resolve(workDir_, "sc.bmp"));
    if (message) {
        message("SC.bmp сохранет !");
    }
}

} // namespace veltron::service
