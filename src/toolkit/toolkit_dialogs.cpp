// Modal boxes and dialogs; under a test script they answer from its queues.
#include <QColorDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "toolkit/toolkit_qt.h"
#include "toolkit/toolkit_testing.h"

namespace {

QWidget* ParentOf(TForm* owner) {
  return owner ? owner->Widget() : nullptr;
}

// "Name (*.bmp)|*.bmp|..." to Qt's "Name (*.bmp);;...": Qt takes the patterns
// from the parentheses, so a name without them gets its pattern appended.
QString ToQtFilter(const std::string& filter) {
  const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString& name = parts[i];
    if (name.contains(QLatin1Char('(') + patterns + QLatin1Char(')')))
      result.append(name);
    else
      result.append(name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
  }
  return result.join(QStringLiteral(";;"));
}

// "ColorA=BBGGRR": the box index (0..15) and the colour, or false.
bool ParseCustomColor(const std::string& entry, int* index, TColor* color) {
  const QString s = ToQString(entry);
  if (s.size() != 13 || !s.startsWith(QStringLiteral("Color")) || s[6] != QLatin1Char('=')) return false;
  const int i = s[5].unicode() - 'A';
  if (i < 0 || i > 15) return false;
  bool ok = false;
  const uint value = s.mid(7).toUInt(&ok, 16);
  if (!ok) return false;
  *index = i;
  *color = static_cast<TColor>(value);
  return true;
}

}  // namespace

namespace {

// Only its two buttons answer the question; Escape and the close box either
// do nothing or, where the question may be put off, close it unanswered.
class ConfirmationMessageBox : public QMessageBox {
 public:
  ConfirmationMessageBox(const QString& text, bool dismissable)
      : QMessageBox(QMessageBox::Question, QStringLiteral("確認"), text), dismissable_(dismissable) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Cancel)) {
      if (dismissable_) reject();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (dismissable_)
      QDialog::closeEvent(event);
    else
      event->ignore();
  }

 private:
  bool dismissable_;
};

}  // namespace

std::unique_ptr<QMessageBox> MakeConfirmationBox(const QString& text, bool dismissable) {
  auto box = std::make_unique<ConfirmationMessageBox>(text, dismissable);
  QPushButton* yes = box->addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
  box->addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
  box->setDefaultButton(yes);
  box->adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = box->frameGeometry();
    frame.moveCenter(screen->geometry().center());
    box->move(frame.topLeft());
  }
  return box;
}

int ConfirmationBox(const std::string& text, bool dismissable) {
  if (Testing::Active()) {
    const std::optional<Testing::Confirmation> answer = Testing::TakeConfirmation(text);
    if (!answer) Testing::RecordUnanswered("confirmation box: " + text);
    if (answer == Testing::Confirmation::Dismiss && !dismissable)
      Testing::RecordUnanswered("confirmation box dismissed, which only its buttons answer: " + text);
    if (answer == Testing::Confirmation::Dismiss) return dismissable ? mrCancel : mrNo;
    return answer == Testing::Confirmation::Yes ? mrYes : mrNo;
  }
  const std::unique_ptr<QMessageBox> box = MakeConfirmationBox(ToQString(text), dismissable);
  box->exec();
  const QAbstractButton* clicked = box->clickedButton();
  if (!clicked) return mrCancel;  // dismissed, or the program is ending
  return box->buttonRole(const_cast<QAbstractButton*>(clicked)) == QMessageBox::YesRole ? mrYes : mrNo;
}

// ---- Picture dialogs ----

TOpenPictureDialog::TOpenPictureDialog(TForm* owner) : owner_(owner) {}

TSavePictureDialog::TSavePictureDialog(TForm* owner) : TOpenPictureDialog(owner) {
  save_ = true;
}

bool TOpenPictureDialog::Execute() {
  if (Testing::Active()) {
    const auto answer = Testing::TakeFileAnswer();
    if (!answer) {
      Testing::RecordUnanswered(save_ ? "save picture dialog" : "open picture dialog");
      return false;
    }
    if (!*answer) return false;
    fileName_ = **answer;
    return true;
  }
  const std::unique_ptr<QFileDialog> dialog =
      MakePictureDialog(ParentOf(owner_), save_, ToQtFilter(filter_), ToQString(fileName_));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
  fileName_ = ToStdString(dialog->selectedFiles().first());
  return true;
}

// ---- Colour dialog ----

TColorDialog::TColorDialog(TForm* owner) : owner_(owner) {}

bool TColorDialog::Execute() {
  if (Testing::Active()) {
    const auto answer = Testing::TakeColorAnswer();
    if (!answer) {
      Testing::RecordUnanswered("colour dialog");
      return false;
    }
    if (!*answer) return false;
    color_ = **answer;
    return true;
  }
  // Custom boxes are process-wide in Qt: preset them from the list each time.
  for (const std::string& entry : customColors_) {
    int index;
    TColor color;
    if (ParseCustomColor(entry, &index, &color)) QColorDialog::setCustomColor(index, ToQColor(color));
  }
  QColorDialog dialog(ToQColor(color_), ParentOf(owner_));
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  const bool confirmed = dialog.exec() == QDialog::Accepted;
  if (confirmed) color_ = FromQColor(dialog.selectedColor());
  // The boxes as the user left them, in the same form, for the next opening.
  customColors_.clear();
  for (int i = 0; i < 16; ++i) {
    const QString hex =
        QStringLiteral("%1").arg(FromQColor(QColorDialog::customColor(i)), 6, 16, QLatin1Char('0'));
    customColors_.push_back("Color" + std::string(1, static_cast<char>('A' + i)) + "=" +
                            ToStdString(hex.toUpper()));
  }
  return confirmed;
}
