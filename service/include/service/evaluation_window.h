// TMForm6, "Визуализатор математики версия 2021 года": the four-camera evaluation step by
// step. Every button runs one step of the evaluation object (which the automatic spring
// measurement shares), the four camera profiles are drawn with their coil boundaries, and
// the memo shows the evaluation's lines.
//
// The steps are also public: autoCompute() is the chain as the measurement runs it, with the
// pictures drawn. A public step throws when it fails (a missing profile file ends the chain
// there); a click on a button instead puts the error into the memo and the log line sink.
#pragma once

#include "math/evaluation.h"
#include "platform/canvas.h"
#include "service/widgets.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <array>
#include <functional>
#include <string>

namespace veltron::service {

class EvaluationWindow : public QDialog {
public:
    EvaluationWindow(math::FourCameraEvaluation& evaluation, const math::MathParams& params, QWidget* parent = nullptr);
    ~EvaluationWindow() override;

    std::function<void(int status)> endProgram;  // "Закрыть программу"
    std::function<void(const std::string&)> log; // a failed step, for the work log

    void open();        // "Открыть"
    void valueWindow(); // "1"
    void pointWindow(); // "3"
    void median();      // "Med5"
    void segment();     // "v"
    void smooth();      // "МНК"
    void compute();     // "Расчет"
    void autoCompute(); // "Авторасчет"
    void drawAll();     // "Освежить"

    QString memoText() const { return memo_->toPlainText(); }
    const Canvas& cameraImage(int camera) const { return images_[camera]; }
    // The integer scales of the " Масштаб " fields; a field that does not hold a positive
    // integer counts as its initial value.
    int xScale() const;
    int yScale() const;

private:
    void run(void (EvaluationWindow::*step)());
    void drawCamera(int camera);
    void showState();

    math::FourCameraEvaluation& evaluation_;
    const math::MathParams& params_;
    std::array<Canvas, 5> images_;
    std::array<CanvasView*, 5> views_{};
    std::array<QLabel*, 5> countLabels_{};
    QLabel* xLabel_ = nullptr;
    QLabel* yLabel_ = nullptr;
    QLineEdit* xScale_ = nullptr;
    QLineEdit* yScale_ = nullptr;
    QCheckBox* cmr_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    // Coil boundaries are drawn by the steps that list the coils ("v", "МНК"), and by
    // autoCompute, whose last picture is that of its listing.
    bool coilLines_ = false;
};

} // namespace veltron::service
