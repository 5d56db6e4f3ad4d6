#include "service/engineering.h"

#include "math/settings_bridge.h"

namespace veltron::service {

EngineeringWindows::EngineeringWindows(EngineeringSetup setup)
    : setup_(std::move(setup)), params_(math::mathParamsFrom(*setup_.settings)) {
    store_.setBaseDir(setup_.workDir);
    evaluation_ = std::make_unique<math::FourCameraEvaluation>(store_, calibration_, params_);
    evaluation_->log = setup_.log;
    const auto end = [this](int status) { end_.request(status); };
    evaluationWindow_ = std::make_unique<EvaluationWindow>(*evaluation_, params_);
    evaluationWindow_->endProgram = end;
    evaluationWindow_->log = setup_.log;
    workbench_ = std::make_unique<WorkbenchWindow>(store_, calibration_, params_, setup_.workDir);
    workbench_->endProgram = end;
    workbench_->log = setup_.log;
    debug_ = std::make_unique<DebugWindow>(setup_.settings->WritetoDS, [this] {
        if (setup_.endFromWindow) {
            setup_.endFromWindow();
        }
    });
    refreshCalibration();
}

EngineeringWindows::~EngineeringWindows() = default;

void EngineeringWindows::refreshCalibration() {
    if (setup_.calibration == nullptr) {
        return;
    }
    for (int c = 1; c <= math::kCameras; ++c) {
        calibration_.table(c) = setup_.calibration->table[static_cast<std::size_t>(c)];
    }
}

void EngineeringWindows::showModal(QDialog& dialog) {
    end_.showModal(dialog, setup_.endAtOnce);
}

void EngineeringWindows::showEvaluationWhenAsked() {
    if (setup_.settings->MathVisStart && setup_.settings->MathVisEnable) {
        showModal(*evaluationWindow_);
    }
}

void EngineeringWindows::startup() {
    refreshCalibration(); // the loader has run by now
    showEvaluationWhenAsked();
    if (end_.requested()) {
        return; // the end-at-once did not leave; nothing more is shown
    }
    if (setup_.settings->TerminalStart) {
        if (showTerminal) {
            showTerminal();
        } else if (setup_.log) {
            setup_.log("Окно терминала не подключено");
        }
    }
}

void EngineeringWindows::systemStarted() {
    debug_->message("Система запущена");
    if (setup_.settings->DSShow) {
        debug_->show();
    }
}

} // namespace veltron::service
