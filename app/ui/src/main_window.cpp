#include "app/ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <chrono>
#include <thread>

namespace veltron {

char keypadCharacter(int qtKey, bool numericBlock, const QString& text) {
    switch (qtKey) {
    case Qt::Key_Escape:
        return kEsc;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kEnter;
    default:
        break;
    }
    if (numericBlock) {
        // With Num Lock off the block sends cursor keys; they still mean their digits here.
        switch (qtKey) {
        case Qt::Key_Insert:
            return '0';
        case Qt::Key_End:
            return '1';
        case Qt::Key_Down:
            return '2';
        case Qt::Key_PageDown:
            return '3';
        case Qt::Key_Left:
            return '4';
        case Qt::Key_Clear:
            return '5';
        case Qt::Key_Right:
            return '6';
        case Qt::Key_Home:
            return '7';
        case Qt::Key_Up:
            return '8';
        case Qt::Key_PageUp:
            return '9';
        case Qt::Key_Delete:
            return '.';
        default:
            break;
        }
    }
    if (text.size() == 1) {
        const char16_t c = text.at(0).unicode();
        if ((c >= u'0' && c <= u'9') || c == u'*' || c == u'+' || c == u'-' || c == u'/' || c == u'.' || c == u',') {
            return static_cast<char>(c);
        }
    }
    return 0;
}

MainWindow::MainWindow(Canvas& canvas, Desktop& desktop) : canvas_(canvas), desktop_(desktop) {
    clock_.start();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void MainWindow::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void MainWindow::sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint64_t MainWindow::tickMs() {
    return static_cast<std::uint64_t>(clock_.elapsed());
}

void MainWindow::refresh() {
    const QRect dirty = canvas_.takeDirty();
    if (!dirty.isEmpty() && isVisible()) {
        repaint(dirty);
    }
}

void MainWindow::beep() {
    if (desktop_.hasX()) {
        desktop_.bell();
    } else {
        QApplication::beep();
    }
}

void MainWindow::restoreDisplay() {
    if (displayChanged_) {
        desktop_.restoreDisplayMode();
        displayChanged_ = false;
    }
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect r = event->rect();
    p.drawImage(r, canvas_.image(), r);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const char c = keypadCharacter(event->key(), (event->modifiers() & Qt::KeypadModifier) != 0, event->text());
    if (c != 0 && keypad_ != nullptr) {
        keypad_->keyboardCharacter(c);
    }
    event->accept();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (keypad_ != nullptr) {
        const QPoint p = event->position().toPoint();
        keypad_->mousePress(p.x(), p.y());
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (keypad_ != nullptr) {
        const QPoint p = event->position().toPoint();
        keypad_->mouseMove(p.x(), p.y());
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    restoreDisplay();
    event->accept();
}

} // namespace veltron
