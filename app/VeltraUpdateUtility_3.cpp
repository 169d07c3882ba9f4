// Program entry. The main window is still being built; until it exists this entry says so.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel placeholder("Veltra Update Utility 3\n\nThe main window is not built yet.");
    placeholder.setWindowTitle("Veltra Update Utility 3");
    placeholder.setMargin(24);
    placeholder.show();
    return app.exec();
}
