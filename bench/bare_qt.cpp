// The smallest Qt Widgets window of the same size: what Tollora's Linux program is compared to.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Bare Qt window"));
  window.resize(288, 154);
  window.show();
  return QApplication::exec();
}
