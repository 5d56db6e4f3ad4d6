#include "app/settings.h"
#include "math/calibration_file.h"
#include "math/evaluation.h"
#include "math/settings_bridge.h"
#include "platform/files.h"
#include "platform/text.h"
#include "service/evaluation_window.h"
#include "service/pitch_report.h"
#include "service/workbench_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace veltron::service {
namespace {

namespace fs = std::filesystem;

const fs::path kEval = fs::path(FIXTURE_DIR) / "math" / "eval";

// The expected memo files are UTF-8, one line each.
std::vector<std::string> fixtureLines(const std::string& name) {
    std::ifstream in(fs::path(FIXTURE_DIR) / "math" / name);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        out.push_back(line);
    }
    return out;
}

QStringList lines(const QString& memo) {
    return memo.split('\n');
}

QStringList qlines(const std::vector<std::string>& v) {
    QStringList out;
    for (const auto& s : v) {
        out << QString::fromStdString(s);
    }
    return out;
}

// A scratch copy of the evaluation fixture, so the windows' dump and fit files stay out of
// the source tree.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("veltron-service-" + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    void copyEvalFixture() const { fs::copy(kEval, path_, fs::copy_options::recursive); }
    void write(const std::string& name, const std::string& content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The profile store, calibration and parameters of one evaluation folder.
struct MathFolder {
    explicit MathFolder(const fs::path& dir)
        : params(math::mathParamsFrom(readSettingsFile((dir / "setup.ini").string()))) {
        math::readCalibrationTables(calibration, dir);
        store.setBaseDir(dir);
    }
    math::MathParams params;
    math::Calibration calibration;
    math::ProfileStore store;
};

bool hasColour(const Canvas& c, Rgb colour) {
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            if (c.pixel(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

TEST(EvaluationWindow, HasItsButtonsGroupsAndInitialFields) {
    math::MathParams params;
    math::Calibration calibration;
    math::ProfileStore store;
    math::FourCameraEvaluation evaluation(store, calibration, params);
    EvaluationWindow w(evaluation, params);
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Визуализатор математики версия 2021 года"));
    for (const char* caption :
         {"Открыть", "1", "3", "Med5", "v", "МНК", "Расчет", "Авторасчет", "Освежить", "Закрыть программу"}) {
        EXPECT_NE(findButton(&w, QString::fromUtf8(caption)), nullptr) << caption;
    }
    QStringList groups;
    for (auto* g : w.findChildren<QGroupBox*>()) {
        groups << g->title();
    }
    for (const char* title : {" Масштаб ", " Формат данных ", " Число замеров с камер ", " Координаты (без масш.)",
                              " Камера 1 ", " Камера 2 ", " Камера 3  ", " Камера 4 "}) {
        EXPECT_TRUE(groups.contains(QString::fromUtf8(title))) << title;
    }
    EXPECT_EQ(w.xScale(), 3);
    EXPECT_EQ(w.yScale(), 4);
    auto* cmr = w.findChild<QCheckBox*>();
    ASSERT_NE(cmr, nullptr);
    EXPECT_EQ(cmr->text(), QString::fromUtf8("Дельтар-М"));
    EXPECT_FALSE(cmr->isChecked());
}

TEST(EvaluationWindow, AutoComputeButtonShowsTheChainMemoAndDrawsTheCoils) {
    ScratchFolder dir;
    dir.copyEvalFixture();
    MathFolder m(dir.path());
    math::FourCameraEvaluation evaluation(m.store, m.calibration, m.params);
    EvaluationWindow w(evaluation, m.params);
    findButton(&w, QString::fromUtf8("Авторасчет"))->click();

    EXPECT_EQ(lines(w.memoText()), qlines(fixtureLines("expected-cam.txt")));
    // Profile lines in green, and the coil boundaries the listing draws.
    const Canvas& camera1 = w.cameraImage(1);
    EXPECT_EQ(camera1.height(), evaluation.counts()[1] / w.yScale() + 2);
    EXPECT_EQ(camera1.pixel(1, 25), colors::green);
    EXPECT_TRUE(hasColour(camera1, colors::green));
    EXPECT_TRUE(hasColour(camera1, Rgb{0, 0, 128}));
    EXPECT_TRUE(hasColour(camera1, colors::red));
    EXPECT_TRUE(hasColour(camera1, colors::yellow));

    // "Открыть" alone reloads, clears the memo and draws no coil boundaries.
    findButton(&w, QString::fromUtf8("Открыть"))->click();
    EXPECT_TRUE(w.memoText().isEmpty());
    EXPECT_FALSE(hasColour(w.cameraImage(1), colors::red));
}

TEST(EvaluationWindow, StepButtonsInTurnGiveTheSegmentListing) {
    ScratchFolder dir;
    dir.copyEvalFixture();
    MathFolder m(dir.path());
    math::FourCameraEvaluation evaluation(m.store, m.calibration, m.params);
    EvaluationWindow w(evaluation, m.params);
    for (const char* caption : {"1", "3", "Med5", "v", "Расчет"}) {
        findButton(&w, QString::fromUtf8(caption))->click();
    }
    EXPECT_EQ(lines(w.memoText()), qlines(fixtureLines("expected-cam.txt")));
    for (auto* label : w.findChildren<QLabel*>()) {
        if (label->text().startsWith("1:")) {
            EXPECT_EQ(label->text(), "1:" + QString::number(evaluation.counts()[1]));
        }
    }
}

TEST(EvaluationWindow, FailingStepShowsTheErrorAndLogsIt) {
    ScratchFolder dir; // no profile files at all
    math::MathParams params;
    math::Calibration calibration;
    math::ProfileStore store;
    store.setBaseDir(dir.path());
    math::FourCameraEvaluation evaluation(store, calibration, params);
    EvaluationWindow w(evaluation, params);
    std::vector<std::string> logged;
    w.log = [&logged](const std::string& line) { logged.push_back(line); };
    findButton(&w, QString::fromUtf8("Авторасчет"))->click();
    ASSERT_EQ(logged.size(), 1U);
    EXPECT_EQ(logged[0].rfind(">>>", 0), 0U);
    EXPECT_TRUE(w.memoText().contains(QString::fromStdString(logged[0])));
    // A public step leaves the failure to its caller.
    EXPECT_THROW(w.autoCompute(), std::runtime_error);
}

TEST(WorkbenchWindow, HasItsButtonsHintsAndInitialState) {
    math::MathParams params;
    math::Calibration calibration;
    math::ProfileStore store;
    WorkbenchWindow w(store, calibration, params, ".");
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Визуализатор математики"));
    const std::pair<const char*, const char*> buttons[] = {
        {"Открыть", ""},
        {"1", "фильтр к1<=x<k2"},
        {"2", "фильтр x>=k3(k4б)"},
        {"3", "фильтр к5<=y<k6"},
        {"4", "мин. толщина витка k7,k8"},
        {"5", "Склейка от провалов к9, к10б"},
        {"Медианный", ""},
        {"Dv", "выбор 2го витка"},
        {"Dvn", "поиск 2го снизу витка"},
        {"6", "отсечение \"бороды\""},
        {"6n", "отсечение \"бороды\""},
        {"m", "выбор максимума"},
        {"mn", "поиск максимума"},
        {"D=", "расчет диаметра"},
        {"nep=", "Вычисление неперпендикулярости"},
        {"?", "поиск пружины (не работает)"},
        {"Расчет Диаметра", "авторасчет диаметра"},
        {"Расчет неперп.", "авторасчет неперпендикулярности"},
        {"Фильтр Сорбекса", ""},
        {"Сохранить SC.bmp", ""},
        {"Закрыть", "вернуться в программу"},
        {"ВЫХОД", "закрыть программу"},
    };
    for (const auto& [caption, hint] : buttons) {
        QPushButton* b = findButton(&w, QString::fromUtf8(caption));
        ASSERT_NE(b, nullptr) << caption;
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(hint)) << caption;
    }
    EXPECT_TRUE(w.pathField()->text().isEmpty());
    EXPECT_EQ(w.pathField()->placeholderText(), QString::fromUtf8("В нормальном режиме держать ПУСТЫМ"));
    EXPECT_EQ(w.statusText(), "????");
    EXPECT_EQ(w.picture().width(), 1020);
    EXPECT_EQ(w.picture().height(), 602);
    for (auto* box : w.findChildren<QCheckBox*>()) {
        EXPECT_EQ(box->isChecked(), box->text() == QString::fromUtf8("Отчерк завершения")) << box->text().toStdString();
    }
    findButton(&w, "?")->click();
    EXPECT_EQ(w.statusText(), QString::fromUtf8("Нет пружины"));
}

TEST(WorkbenchWindow, PathFieldPrefixSteersTheEvaluationLoad) {
    ScratchFolder dir;
    dir.copyEvalFixture();
    MathFolder m(dir.path());
    math::FourCameraEvaluation evaluation(m.store, m.calibration, m.params);
    EvaluationWindow eval(evaluation, m.params);
    WorkbenchWindow bench(m.store, m.calibration, m.params, dir.path());

    bench.pathField()->setText("STORE\\z5");
    EXPECT_EQ(m.store.filePrefix(), "STORE\\z5");
    findButton(&eval, QString::fromUtf8("Авторасчет"))->click();
    EXPECT_EQ(lines(eval.memoText()), qlines(fixtureLines("expected-store-z5.txt")));

    // The workbench's own load reads the same prefixed files.
    findButton(&bench, QString::fromUtf8("Открыть"))->click();
    EXPECT_EQ(bench.counts()[1], 900);
    EXPECT_EQ(m.store.value(1, 450),
              std::stoi(text::cp1251Lines(files::readFile(dir.path() / "STORE" / "z5cam1.txt").value())[449]));

    // Emptied again, the loads go back to the camera files.
    bench.pathField()->clear();
    findButton(&eval, QString::fromUtf8("Авторасчет"))->click();
    EXPECT_EQ(lines(eval.memoText()), qlines(fixtureLines("expected-cam.txt")));
}

TEST(WorkbenchWindow, DiameterChainShowsTheDiameterInTheCaption) {
    ScratchFolder dir;
    dir.copyEvalFixture();
    MathFolder m(dir.path());
    WorkbenchWindow w(m.store, m.calibration, m.params, dir.path());
    findButton(&w, QString::fromUtf8("Открыть"))->click();
    findButton(&w, QString::fromUtf8("Расчет Диаметра"))->click();
    EXPECT_EQ(w.windowTitle(), QString::fromStdString(math::workbenchDiameterCaption(w.geometry().diameter)));
    EXPECT_EQ(w.statusText(), QString::fromUtf8("Нет пружины"));
    EXPECT_NE(w.selected()[1].start, 0);

    std::string shown;
    w.message = [&shown](const std::string& text) { shown = text; };
    findButton(&w, QString::fromUtf8("Сохранить SC.bmp"))->click();
    EXPECT_EQ(shown, "SC.bmp сохранет !");
    QImage saved(QString::fromStdString((dir.path() / "sc.bmp").string()));
    EXPECT_EQ(saved.size(), QSize(1020, 602));
}

// Camera 1 with four coils whose maxima lie 120 points apart; the other cameras see nothing.
std::string fourCoilProfile() {
    std::string out;
    const int peaks[] = {10, 130, 250, 370};
    for (int p = 1; p <= 420; ++p) {
        int v = 0;
        for (int m : peaks) {
            if (p >= m - 5 && p <= m + 5) {
                v = 1000 - 50 * std::abs(p - m);
            }
        }
        out += std::to_string(v) + "\r\n";
    }
    return out;
}

// Filters that keep every point: value window 0 < v <= 2047, no threshold, every point
// number, no short runs, no gap bridging, no tail cut.
math::MathParams passAllParams() {
    math::MathParams p;
    for (int c = 1; c <= 4; ++c) {
        p.k[c] = {0, 0, 2047, 0, 0, 0, 100000, 1, 0, 0, 0, 0, 0};
    }
    return p;
}

TEST(PitchReport, FourCoilsGiveThreePitchLinesFromTheLastCoilDown) {
    ScratchFolder dir;
    dir.write("cam1.txt", fourCoilProfile());
    for (const char* name : {"cam2.txt", "cam3.txt", "cam4.txt"}) {
        dir.write(name, "0\r\n0\r\n");
    }
    const math::MathParams params = passAllParams();
    math::Calibration calibration;
    math::ProfileStore store;
    store.setBaseDir(dir.path());
    WorkbenchWindow w(store, calibration, params, dir.path());
    int pauses = 0;
    w.pause = [&pauses](int) { ++pauses; };
    findButton(&w, QString::fromUtf8("Фильтр Сорбекса"))->click();

    const QStringList expected = {
        QString::fromUtf8("Отчет по камере №1"),       QString::fromUtf8("Всего витков 4"),
        QString::fromUtf8("№ 1 Н= 5 M= 10 K= 16"),     QString::fromUtf8("№ 2 Н= 125 M= 130 K= 136"),
        QString::fromUtf8("№ 3 Н= 245 M= 250 K= 256"), QString::fromUtf8("№ 4 Н= 365 M= 370 K= 376"),
        QString::fromUtf8("Виток43:  120ед  39.0мм"),  QString::fromUtf8("Виток32:  120ед  39.0мм"),
        QString::fromUtf8("Виток21:  120ед  39.0мм")};
    EXPECT_EQ(lines(w.memoText()), expected);
    EXPECT_EQ(pauses, 5); // once before the walk, once per coil
    EXPECT_EQ(w.selected()[1].start, 365);
}

TEST(PitchReport, CoilRunningIntoTheEndIsNotCountedAndOddDistancesRound) {
    math::ProfileStore store;
    math::PointCounts counts{0, 40, 0, 0, 0};
    math::SelectedCoils selected{};
    selected[2].start = 7; // another camera's selection stays as it was
    for (int p = 3; p <= 6; ++p) {
        store.setValue(1, p, 100 + p);
    }
    for (int p = 20; p <= 40; ++p) { // no zero before the end of the count
        store.setValue(1, p, 300);
    }
    const auto coils = findPitchCoils(store, counts, passAllParams(), selected);
    ASSERT_EQ(coils.size(), 1U);
    EXPECT_EQ(coils[0].start, 3);
    EXPECT_EQ(coils[0].end, 7);
    EXPECT_EQ(coils[0].maxPoint, 6);
    EXPECT_EQ(selected[2].start, 7);

    const std::vector<PitchCoil> two = {{1, 5, 10.0, 3}, {20, 30, 10.0, 10}};
    EXPECT_EQ(pitchReportLines(two).back(), "Виток21:  7ед   2.3мм");
}

} // namespace
} // namespace veltron::service
