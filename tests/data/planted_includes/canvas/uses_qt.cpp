// Planted: Qt in a window of the program.
#include <QtWidgets/QWidget>
