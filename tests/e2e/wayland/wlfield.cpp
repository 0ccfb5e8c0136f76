// The application in front: a Qt text field on Wayland. Prints "press N" / "release N" (X
// button numbers) for every button that reaches it and keeps its text in the file given.
#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTimer>
#include <cstdio>

namespace {

int xButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::MiddleButton:
        return 2;
    case Qt::RightButton:
        return 3;
    case Qt::BackButton:
        return 8;
    case Qt::ForwardButton:
        return 9;
    default:
        return 0;
    }
}

class ButtonLog final : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            std::printf("%s %d\n", event->type() == QEvent::MouseButtonPress ? "press" : "release",
                        xButton(mouse->button()));
            std::fflush(stdout);
            // Qt 6.4 crashes pasting an empty primary selection on Wayland: the middle button,
            // the tests' marker, pastes nothing here.
            if (mouse->button() == Qt::MiddleButton)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    QPlainTextEdit field;
    field.setWindowTitle(QStringLiteral("wlfield"));
    ButtonLog log;
    field.viewport()->installEventFilter(&log);
    // Written once the text has stopped changing for a moment, not once per key.
    QTimer save;
    save.setSingleShot(true);
    save.setInterval(20);
    QObject::connect(&field, &QPlainTextEdit::textChanged, &save, qOverload<>(&QTimer::start));
    QObject::connect(&save, &QTimer::timeout, [&field, path] {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(field.toPlainText().toUtf8());
            file.commit();
        }
    });
    field.show();
    std::printf("shown\n");
    std::fflush(stdout);
    return QApplication::exec();
}
