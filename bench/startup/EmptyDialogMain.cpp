// The yardstick for start-up: the least a Qt program does to put one dialog on screen.
#include <QApplication>
#include <QDialog>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Empty dialog");
    return dialog.exec();
}
