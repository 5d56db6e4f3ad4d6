// TForm30, "Визуализатор математики": the older single-coil geometry workbench. It keeps its
// own point counts and selected coils over the shared profile store; its path field is the
// file-name prefix of every profile load of the program (the store holds it).
//
// Public steps throw when they fail (a missing profile file); a click on a button instead
// shows the error in the status label and the memo and sends it to the log line sink.
#pragma once

#include "math/filters.h"
#include "math/geometry.h"
#include "math/params.h"
#include "math/profile.h"
#include "platform/canvas.h"
#include "service/widgets.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <filesystem>
#include <functional>
#include <string>

namespace veltron::service {

class WorkbenchWindow : public QDialog {
public:
    // workDir: where "Сохранить SC.bmp" writes sc.bmp.
    WorkbenchWindow(math::ProfileStore& store, const math::Calibration& calibration, const math::MathParams& params,
                    std::filesystem::path workDir, QWidget* parent = nullptr);

    std::function<void(int status)> endProgram;      // "ВЫХОД"
    std::function<void(const std::string&)> log;     // a failed step, for the work log
    std::function<void(const std::string&)> message; // a message box unless replaced
    std::function<void(int ms)> pause;               // the pitch report's pauses; pumps messages

    void open();                // "Открыть"
    void valueWindow();         // "1"
    void threshold();           // "2"
    void pointWindow();         // "3"
    void shortRuns();           // "4"
    void bridge();              // "5"
    void median();              // "Медианный"
    void secondFromStart();     // "Dv"
    void secondFromEnd();       // "Dvn"
    void tailCut();             // "6", "6n"
    void maximum();             // "m", "mn"
    void diameter();            // "D="
    void nonPerpendicularity(); // "nep="
    void searchSpring();        // "?"
    void diameterChain();       // "Расчет Диаметра"
    void nonPerpChain();        // "Расчет неперп."
    void pitchReport();         // "Фильтр Сорбекса"
    void saveSc();              // "Сохранить SC.bmp"
    void draw();

    const math::WorkbenchGeometry& geometry() const { return geometry_; }
    const math::PointCounts& counts() const { return counts_; }
    const math::SelectedCoils& selected() const { return selected_; }
    const Canvas& picture() const { return picture_; }
    QString memoText() const { return memo_->toPlainText(); }
    QString statusText() const { return status_->text(); }
    QLineEdit* pathField() const { return path_; }

private:
    void run(void (WorkbenchWindow::*step)());
    void refresh();

    math::ProfileStore& store_;
    const math::Calibration& calibration_;
    const math::MathParams& params_;
    std::filesystem::path workDir_;
    math::PointCounts counts_{};
    math::SelectedCoils selected_{};
    math::WorkbenchGeometry geometry_{};
    Canvas picture_;
    CanvasView* view_ = nullptr;
    QLineEdit* path_ = nullptr;
    QCheckBox* cmr_ = nullptr;
    QCheckBox* finish_ = nullptr;
    QLabel* status_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
};

} // namespace veltron::service
