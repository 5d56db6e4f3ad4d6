#include "math/evaluation.h"

#include "platform/files.h"
#include "platform/text.h"

#include <algorithm>
#include <stdexcept>

namespace veltron::math {

FourCameraEvaluation::FourCameraEvaluation(ProfileStore& store, const Calibration& calibration,
                                           const MathParams& params)
    : store_(store), calibration_(calibration), params_(params) {}

std::string FourCameraEvaluation::countLabel(int camera) const {
    return std::to_string(camera) + ":" + std::to_string(counts_[camera]);
}

std::filesystem::path FourCameraEvaluation::fitFile() const {
    return files::resolve(store_.baseDir(), "fi.txt");
}

void FourCameraEvaluation::drawAll() {
    if (drawCamera) {
        for (int c = 1; c <= kCameras; ++c) {
            drawCamera(c);
        }
    }
}

void FourCameraEvaluation::open() {
    LoadOptions options;
    options.format = cmrFormat ? ProfileFormat::Cmr : ProfileFormat::Cam;
    options.writeDumpLines = params_.DebugMMsaveMessages;
    options.log = log;
    options.trace = trace;
    loadProfiles(store_, counts_, calibration_, params_, options);
    drawAll();
    memo_.clear();
}

void FourCameraEvaluation::valueWindowStep() {
    open();
    valueWindowFilter(store_, counts_, params_);
    drawAll();
}

void FourCameraEvaluation::pointWindowStep() {
    pointWindowFilter(store_, counts_, params_);
    drawAll();
}

void FourCameraEvaluation::medianStep() {
    evaluationMedian(store_, counts_);
    drawAll();
}

void FourCameraEvaluation::listCoils(int camera) {
    if (drawCamera) {
        drawCamera(camera);
    }
    memo_.push_back("------");
    memo_.push_back("Камера :" + std::to_string(camera));
    for (std::int32_t k = 1; k <= coils_.count[camera]; ++k) {
        const Coil& coil = coils_.coil(camera, k);
        memo_.push_back("Виток : " + std::to_string(k));
        memo_.push_back("Начало: " + std::to_string(coil.start));
        memo_.push_back("Конец: " + std::to_string(coil.end));
    }
}

void FourCameraEvaluation::segmentStep() {
    segmentCoils(store_, counts_, params_, coils_, log);
    for (int c = 1; c <= kCameras; ++c) {
        memo_.push_back("Камера:" + std::to_string(c) + "  Витков:" + std::to_string(coils_.count[c]));
        listCoils(c);
    }
}

void FourCameraEvaluation::smoothCoil(int camera, int k) {
    const Coil& coil = coils_.coil(camera, k);
    fit_.x.clear();
    fit_.y.clear();
    fit_.lower = coil.start;
    fit_.upper = coil.end;
    if (coil.end - coil.start < params_.MNKvmin) {
        return;
    }
    // Negative MNKdn or MNKup would widen the window beyond the coil; it never leaves the row.
    const std::int64_t first = std::max<std::int64_t>(static_cast<std::int64_t>(coil.start) + params_.MNKdn, 1);
    const std::int64_t last = std::min<std::int64_t>(static_cast<std::int64_t>(coil.end) - params_.MNKup, kRowSlots);
    for (std::int64_t n = first; n <= last; ++n) {
        fit_.x.push_back(static_cast<double>(n));
        fit_.y.push_back(store_.value(camera, static_cast<int>(n)));
    }
    const FitOutcome outcome = fit_.run(fitFile());
    if (!outcome.ok) {
        // A coil whose fitting window cannot be solved keeps its points; an older fi.txt
        // belongs to another coil and must not be read into this one.
        memo_.push_back("Камера " + std::to_string(camera) + ", виток " + std::to_string(k) + ": не сглажен (" +
                        outcome.error + ")");
        return;
    }
    const std::optional<std::string> content = files::readFile(fitFile());
    if (!content) {
        throw std::runtime_error("Не читается файл: " + fitFile().string());
    }
    const std::vector<std::string> lines = text::cp1251Lines(*content);
    const std::size_t needed = static_cast<std::size_t>(coil.end - coil.start) + 1;
    if (lines.size() < needed) {
        throw std::runtime_error(fitFile().string() + ": строк меньше, чем точек витка");
    }
    for (std::int32_t n = coil.start, i = 0; n <= coil.end; ++n, ++i) {
        const std::optional<double> v = text::parseDouble(text::trim(lines[static_cast<std::size_t>(i)]));
        const std::optional<std::int32_t> t = v ? text::checkedTrunc(*v) : std::nullopt;
        if (t) {
            store_.setValue(camera, n, *t);
        }
    }
}

void FourCameraEvaluation::smoothStep() {
    for (int c = 1; c <= kCameras; ++c) {
        const std::int32_t n = coils_.count[c];
        if (n < 3) {
            continue;
        }
        for (std::int32_t k = 2; k <= n - 1; ++k) {
            smoothCoil(c, k);
        }
        listCoils(c);
    }
}

void FourCameraEvaluation::computeStep() {
    memo_.push_back("===1");
    memo_.push_back("cdg=" + measureText(scanStep(params_)));
    results_ = GeometryResults{};
    results_ = evaluateGeometry(store_, counts_, coils_, calibration_, params_);
    memo_.push_back("===2");
    memo_.push_back("Vis=" + measureText(results_.height));
    memo_.push_back("Diam=" + measureText(results_.diameter));
    memo_.push_back("Nep=" + measureText(results_.nonPerp));
    memo_.push_back("mrS=" + measureText(results_.pitchSpread));
}

void FourCameraEvaluation::autoCompute() {
    valueWindowStep();
    pointWindowStep();
    medianStep();
    segmentStep();
    if (params_.FMNKEnable) {
        smoothStep();
    }
    computeStep();
}

} // namespace veltron::math
