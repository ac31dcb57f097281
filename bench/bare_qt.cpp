// The smallest Qt Widgets window of the same size: what Tollora's Linux program is compared to.
// With --label it shows one line of text (the date and time, as Tollora's clock does), which
// costs Qt its fonts: the fairer floor for a clock.
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
  const bool label = argc > 1 && std::strcmp(argv[1], "--label") == 0;
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(label ? QStringLiteral("Bare Qt label") : QStringLiteral("Bare Qt window"));
  window.resize(288, 154);
  if (label) (new QLabel(QDateTime::currentDateTime().toString(), &window))->move(16, 16);
  window.show();
  return QApplication::exec();
}
