#include "eval_chain.h"

#include "app/settings.h"
#include "math/calibration_file.h"
#include "math/evaluation.h"
#include "math/settings_bridge.h"
#include "platform/files.h"

#include <stdexcept>

namespace veltron::eval {

EvalReport evaluateFolder(const EvalRequest& request) {
    if (!std::filesystem::is_directory(request.dir)) {
        throw std::runtime_error("Нет папки: " + request.dir.string());
    }
    const std::filesystem::path ini = files::resolve(request.dir, "setup.ini");
    if (!std::filesystem::is_regular_file(ini)) {
        throw std::runtime_error("Нет файла настроек: " + ini.string());
    }
    math::MathParams params = math::mathParamsFrom(readSettingsFile(ini.string()));
    if (request.smoothing >= 0) {
        params.FMNKEnable = request.smoothing != 0;
    }

    math::Calibration calibration;
    math::readCalibrationTables(calibration, request.dir);

    EvalReport report;
    math::ProfileStore store;
    store.setBaseDir(request.dir);
    store.setFilePrefix(request.prefix);
    math::FourCameraEvaluation evaluation(store, calibration, params);
    evaluation.cmrFormat = request.cmr;
    evaluation.log = [&report](const std::string& line) { report.log.push_back(line); };
    evaluation.autoCompute();
    report.memo = evaluation.memo();
    return report;
}

} // namespace veltron::eval
