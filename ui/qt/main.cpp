// The Linux desktop program.
#include "ui/qt/qt_main.h"

int main(int argc, char** argv) { return ui::qt::runProgram(argc, argv); }
