// Small pieces shared by the engineering windows: buttons named like the controls they stand
// for, a label showing a canvas, the guard around a button's action, and the request to end
// the program from inside a window.
#pragma once

#include "platform/canvas.h"

#include <QLabel>
#include <QPushButton>
#include <QString>

#include <functional>
#include <string>

class QDialog;
class QWidget;

namespace veltron::service {

inline QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline std::string us(const QString& s) {
    return s.toStdString();
}

// A push button with its caption, optional hint (tool tip) and object name; clicking runs action.
QPushButton* makeButton(QWidget* parent, const QString& caption, std::function<void()> action, const QString& hint = {},
                        const QString& objectName = {});
// The first button below root whose caption is exactly caption; nullptr when there is none.
QPushButton* findButton(const QWidget* root, const QString& caption);

// Shows a canvas in a label and refreshes it on demand.
class CanvasView : public QLabel {
public:
    explicit CanvasView(const Canvas& canvas, QWidget* parent = nullptr);
    void refresh();
    // Receives the pointer position in canvas pixels while it moves over the picture.
    std::function<void(int x, int y)> pointerMoved;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    const Canvas& canvas_;
};

// Ends the program at once from a window's button. The button cannot end the program from
// inside its click (the main flow is further down the stack), so it records the request and
// closes every modal window; whoever showed the window modally calls finishIfRequested()
// when the nested loop returns, which hands the end to the main flow.
class EndRequest {
public:
    // Called by the buttons; closes the modal windows that are open.
    void request(int status);
    bool requested() const { return requested_; }
    int status() const { return status_; }
    // Ends the program through end (the program's end-at-once) when a request is pending.
    void finishIfRequested(const std::function<void(int)>& end) const;
    // Shows the dialog modally, then finishIfRequested.
    void showModal(QDialog& dialog, const std::function<void(int)>& end) const;

private:
    bool requested_ = false;
    int status_ = 0;
};

// Processes pending window messages until ms milliseconds have passed.
void pumpFor(int ms);

} // namespace veltron::service
