// Planted: Qt in the core.
#include <QImage>
