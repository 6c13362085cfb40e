#!/usr/bin/python3
# enter-dialog.py's dialog in Qt, with the same lines on stdout:
#   active / button TITLE X Y W H / enter TITLE X Y / motion TITLE X Y
# all in the dialog's own coordinates (inside any frame or decoration Qt
# draws itself).
#   enter-dialog-qt.py TITLE [qt5|qt6]
# A QMessageBox with Cancel and Save, Save its default button (which also
# takes the focus: a focused button would otherwise be the default). Which
# platform it runs on is Qt's own choice from the environment.
import sys

if len(sys.argv) > 2 and sys.argv[2] == "qt6":
    from PyQt6.QtCore import QEvent, QObject, QPoint, QSocketNotifier
    from PyQt6.QtWidgets import QApplication, QMessageBox
    Button = QMessageBox.StandardButton
    ReadNotifier = QSocketNotifier.Type.Read
    Enter, Motion, Activate = QEvent.Type.Enter, QEvent.Type.MouseMove, QEvent.Type.WindowActivate
else:
    from PyQt5.QtCore import QEvent, QObject, QPoint, QSocketNotifier
    from PyQt5.QtWidgets import QApplication, QMessageBox
    Button = QMessageBox
    ReadNotifier = QSocketNotifier.Read
    Enter, Motion, Activate = QEvent.Enter, QEvent.MouseMove, QEvent.WindowActivate


def say(*words):
    print(*words, flush=True)


def position_of(event):
    # Qt 6 names it position(), Qt 5 pos(); both relative to the widget.
    point = event.position() if hasattr(event, "position") else event.localPos()
    return QPoint(round(point.x()), round(point.y()))


class Watcher(QObject):
    def __init__(self, dialog, buttons):
        super().__init__()
        self.dialog = dialog
        self.buttons = buttons

    def eventFilter(self, watched, event):
        kind = event.type()
        if watched is self.dialog and kind == Activate:
            for name, button in self.buttons.items():
                corner = button.mapTo(self.dialog, QPoint(0, 0))
                say("button", name, corner.x(), corner.y(), button.width(), button.height())
            say("active")
        for name, button in self.buttons.items():
            if watched is button and kind in (Enter, Motion):
                at = button.mapTo(self.dialog, position_of(event))
                say("enter" if kind == Enter else "motion", name, at.x(), at.y())
        return False


def main():
    title = sys.argv[1] if len(sys.argv) > 1 else "Save changes?"
    app = QApplication([sys.argv[0]])
    dialog = QMessageBox()
    dialog.setWindowTitle(title)
    dialog.setText("Your changes will be lost.")
    dialog.setStandardButtons(Button.Cancel | Button.Save)
    dialog.setDefaultButton(Button.Save)
    buttons = {"Cancel": dialog.button(Button.Cancel), "Save": dialog.button(Button.Save)}
    watcher = Watcher(dialog, buttons)
    dialog.installEventFilter(watcher)
    for button in buttons.values():
        button.setMouseTracking(True)
        button.installEventFilter(watcher)
    # Its stdin closing ends it.
    stdin = QSocketNotifier(0, ReadNotifier)
    stdin.activated.connect(lambda *_a: sys.stdin.buffer.raw.read(4096) or app.quit())
    dialog.finished.connect(app.quit)
    dialog.show()
    say("platform", app.platformName())
    app.exec() if hasattr(app, "exec") else app.exec_()


if __name__ == "__main__":
    main()
