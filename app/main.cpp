#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle("KavoEC_Quillon 4.0.0.8");
    window.show();
    return QApplication::exec();
}
