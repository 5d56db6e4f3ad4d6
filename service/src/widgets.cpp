#include "service/widgets.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>

namespace veltron::service {

QPushButton* makeButton(QWidget* parent, const QString& caption, std::function<void()> action, const QString& hint,
                        const QString& objectName) {
    auto* button = new QPushButton(caption, parent);
    if (!hint.isEmpty()) {
        button->setToolTip(hint);
    }
    if (!objectName.isEmpty()) {
        button->setObjectName(objectName);
    }
    QObject::connect(button, &QPushButton::clicked, button, [action = std::move(action)] {
        if (action) {
            action();
        }
    });
    return button;
}

QPushButton* findButton(const QWidget* root, const QString& caption) {
    for (QPushButton* b : root->findChildren<QPushButton*>()) {
        if (b->text() == caption) {
            return b;
        }
    }
    return nullptr;
}

CanvasView::CanvasView(const Canvas& canvas, QWidget* parent) : QLabel(parent), canvas_(canvas) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);
    refresh();
}

void CanvasView::refresh() {
    setPixmap(QPixmap::fromImage(canvas_.image()));
    setFixedSize(canvas_.width(), canvas_.height());
}

void CanvasView::mouseMoveEvent(QMouseEvent* event) {
    if (pointerMoved) {
        const QPoint p = event->position().toPoint();
        pointerMoved(p.x(), p.y());
    }
    QLabel::mouseMoveEvent(event);
}

void EndRequest::request(int status) {
    requested_ = true;
    status_ = status;
    // Innermost first, so each nested loop returns to the one that showed it.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog == nullptr || !dialog->isVisible()) {
            break;
        }
        dialog->reject();
        if (QApplication::activeModalWidget() == modal) {
            break;
        }
    }
}

void EndRequest::finishIfRequested(const std::function<void(int)>& end) const {
    if (requested_ && end) {
        end(status_);
    }
}

void EndRequest::showModal(QDialog& dialog, const std::function<void(int)>& end) const {
    if (!requested_) {
        dialog.exec();
    }
    finishIfRequested(end);
}

void pumpFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

} // namespace veltron::service
