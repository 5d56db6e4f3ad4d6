// The engineering windows of the program and what they share: one profile store (whose
// file-name prefix the workbench's path field sets for every load, the automatic
// measurement's included), the calibration tables as the mathematics reads them, the
// mathematics' parameters, and the four-camera evaluation that the spring measurement runs.
//
// Lifecycle: created once the main window exists and hidden; startup() runs after the ports
// are opened (the evaluation window and the terminal, modally, when the settings ask for
// them); systemStarted() once the system is ready (the debug message and window). A window
// button that ends the program hands the end to whoever showed the window modally.
#pragma once

#include "app/loader.h"
#include "app/settings.h"
#include "math/evaluation.h"
#include "service/debug_window.h"
#include "service/evaluation_window.h"
#include "service/widgets.h"
#include "service/workbench_window.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace veltron::service {

struct EngineeringSetup {
    const Settings* settings = nullptr;
    const CalibrationTables* calibration = nullptr; // filled by the start-up loader
    std::filesystem::path workDir;
    std::function<void(const std::string&)> log; // the work log
    // Ends the program from the main flow (after a modal window returned).
    std::function<void(int status)> endAtOnce;
    // Ends the program from a window shown without a nested loop (the debug window).
    std::function<void()> endFromWindow;
};

class EngineeringWindows {
public:
    explicit EngineeringWindows(EngineeringSetup setup);
    ~EngineeringWindows();

    math::FourCameraEvaluation& evaluation() { return *evaluation_; }
    math::ProfileStore& store() { return store_; }
    const math::Calibration& calibration() const { return calibration_; }
    const math::MathParams& params() const { return params_; }
    EvaluationWindow& evaluationWindow() { return *evaluationWindow_; }
    WorkbenchWindow& workbench() { return *workbench_; }
    DebugWindow& debug() { return *debug_; }
    EndRequest& endRequest() { return end_; }

    // Copies the loader's calibration tables into the mathematics' own.
    void refreshCalibration();
    // Shows a window modally; ends the program afterwards when one of its buttons asked to.
    void showModal(QDialog& dialog);
    // Shows the evaluation window modally when MathVisStart and MathVisEnable are both on;
    // the spring measurement calls it after each evaluation.
    void showEvaluationWhenAsked();

    // After the ports: the evaluation window when asked, then the terminal when TerminalStart.
    void startup();
    // Once the system is ready: the debug message "Система запущена", the window when DSShow.
    void systemStarted();

    // Shows the service terminal modally (set by the rig layer's wiring).
    std::function<void()> showTerminal;

private:
    EngineeringSetup setup_;
    math::ProfileStore store_;
    math::Calibration calibration_;
    math::MathParams params_;
    std::unique_ptr<math::FourCameraEvaluation> evaluation_;
    std::unique_ptr<EvaluationWindow> evaluationWindow_;
    std::unique_ptr<WorkbenchWindow> workbench_;
    std::unique_ptr<DebugWindow> debug_;
    EndRequest end_;
};

} // namespace veltron::service
