// Placeholder until the window lands.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle("Tolvane");
  window.show();
  return app.exec();
}
