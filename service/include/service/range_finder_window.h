// TForm40, "Привязочный дальномер ": one camera used as a distance meter. A measurement
// takes a single profile from the chosen camera and converts its first point to millimetres
// through that camera's calibration table.
#pragma once

#include "math/params.h"
#include "math/profile.h"

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QRadioButton;

namespace veltron::service {

struct RangeReading {
    std::int32_t pixel = 0; // the first point, at most 2047
    float mm = 0.0F;        // table entry + dmm of the camera
};

// Steps 3 to 5 of a measurement: the first point clamped to 2047, its table entry (entry 0
// below 0; an entry outside 0..1000000 reads 0) plus the camera's offset.
RangeReading rangeReading(std::int32_t firstPoint, int camera, const math::Calibration& calibration,
                          const math::MathParams& params);

class RangeFinderWindow : public QDialog {
public:
    // takeProfile(camera): selects the camera, sets shutter, threshold and mode, switches the
    // laser on, takes one measurement and downloads it; returns the first point of the row, or
    // nothing when the download failed (the labels then show "?" rather than an older reading).
    RangeFinderWindow(std::function<std::optional<std::int32_t>(int camera)> takeProfile,
                      const math::Calibration& calibration, const math::MathParams& params, QWidget* parent = nullptr);

    std::function<void(int status)> endProgram; // "Выход"

    int chosenCamera() const;
    void measure(); // "Замер"
    QString pixelText() const;
    QString mmText() const;
    QString offsetText() const;
    bool autoPolling() const { return timer_.isActive() || polling_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void stopPolling();

    std::function<std::optional<std::int32_t>(int)> takeProfile_;
    const math::Calibration& calibration_;
    const math::MathParams& params_;
    QRadioButton* radio_[5] = {};
    QLabel* label2_ = nullptr;
    QLabel* label4_ = nullptr;
    QLabel* label5_ = nullptr;
    QCheckBox* auto_ = nullptr;
    QTimer timer_;
    bool polling_ = false;
};

} // namespace veltron::service
