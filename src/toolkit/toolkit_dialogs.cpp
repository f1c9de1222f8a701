// Modal boxes and dialogs; under a test script they answer from its queues.
#include <QColorDialog>
#include <QFileDialog>
#include <QGuiApplication>
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

int ConfirmationBox(const std::string& text) {
  if (Testing::Active()) {
    const std::optional<bool> answer = Testing::TakeConfirmation(text);
    if (!answer) Testing::RecordUnanswered("confirmation box: " + text);
    return answer.value_or(false) ? mrYes : mrNo;
  }
  QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), ToQString(text));
  QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = box.frameGeometry();
    frame.moveCenter(screen->geometry().center());
    box.move(frame.topLeft());
  }
  box.exec();
  return box.clickedButton() == yes ? mrYes : mrNo;
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
