// The debug input window TForm5 ("Отладочный ввод"): lets an engineer overwrite the camera
// height and outer diameter of a spring measurement before they are used. "Принять" closes
// the window only when both fields hold finite decimal numbers; otherwise the window stays
// open with the bad field marked, so a typo cannot abort a measurement while the pump runs.
#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <utility>

class QLineEdit;
class QPushButton;

namespace veltron {

// Both fields as numbers, or nothing for a field that does not hold a finite decimal number.
struct DebugInputValues {
    std::optional<double> height;
    std::optional<double> diameter;
    bool valid() const { return height.has_value() && diameter.has_value(); }
};
DebugInputValues checkDebugInput(const std::string& height, const std::string& diameter);

class TForm5 : public QDialog {
public:
    explicit TForm5(QWidget* parent = nullptr);

    void setValues(double height, double diameter);
    // "Принять": true and the window closes when both fields are numbers; otherwise the
    // bad fields are marked and the window stays open.
    bool tryAccept();
    // The accepted numbers (valid after tryAccept returned true).
    std::pair<double, double> values() const { return {height_, diameter_}; }
    // Shows the window modally with the two values and gives back the accepted numbers.
    std::pair<double, double> ask(double height, double diameter);

    QLineEdit* heightField() const { return heightEdit_; }
    QLineEdit* diameterField() const { return diameterEdit_; }

    void reject() override;

private:
    QLineEdit* heightEdit_;
    QLineEdit* diameterEdit_;
    QPushButton* button_;
    double height_ = 300.0;
    double diameter_ = 120.0;
};

} // namespace veltron
