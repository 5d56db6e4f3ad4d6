// TForm1, the main window: one borderless picture (the canvas Scr) covering the display.
// Key presses and mouse clicks only feed the keypad queue; the main flow polls it.
#pragma once

#include "platform/canvas.h"
#include "platform/desktop.h"
#include "screens/host.h"
#include "screens/keypad.h"

#include <QElapsedTimer>
#include <QWidget>

namespace veltron {

// The keypad character of a key press: digits and "* + - / . ," as typed, Enter 13, Esc 27;
// keys of the numeric block give their digit whatever the Num Lock state. 0 for others.
char keypadCharacter(int qtKey, bool numericBlock, const QString& text);

class MainWindow : public QWidget, public UiHost {
public:
    MainWindow(Canvas& canvas, Desktop& desktop);

    void setKeypad(Keypad* keypad) { keypad_ = keypad; }

    // UiHost
    void processEvents() override;
    void sleepMs(int ms) override;
    std::uint64_t tickMs() override;
    void refresh() override;
    void forceNumLock() override { desktop_.forceNumLockOn(); }
    void beep() override;
    void restoreDisplay() override;

    // Display mode switched at set-up (full screen), restored on every exit.
    void setDisplayModeChanged(bool changed) { displayChanged_ = changed; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Canvas& canvas_;
    Desktop& desktop_;
    Keypad* keypad_ = nullptr;
    QElapsedTimer clock_;
    bool displayChanged_ = false;
};

} // namespace veltron
