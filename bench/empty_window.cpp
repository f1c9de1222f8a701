// The reference for start-up: an empty Qt Widgets main window with a menu bar
// of two short menus and its caption set, nothing else. startup_probe times it
// beside the program in the same run.
#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Empty - Reference"));
  QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&New"));
  file->addAction(QStringLiteral("&Open..."));
  file->addAction(QStringLiteral("&Save"));
  file->addSeparator();
  QObject::connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, &app, &QApplication::quit);
  QMenu* help = window.menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(QStringLiteral("&About"));
  window.resize(600, 400);
  window.show();
  return app.exec();
}
