// SPDX-License-Identifier: Apache-2.0
// The find dialog: a small window that stays open beside the main window
// while the user goes on editing. It holds only the search text, whether it
// is a pattern, and the buttons Find Next and Cancel; every press of Find Next asks the window to
// search from the pane's selection at that moment.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quorlin::ui {

class FindDialog : public QDialog {
  Q_OBJECT
 public:
  explicit FindDialog(QWidget* parent);

  QString searchText() const;
  void setSearchText(const QString& text);
  // Whether the search text is a pattern.
  bool isPattern() const;

  QLineEdit* searchField() const { return text_; }
  QCheckBox* patternBox() const { return pattern_; }
  QPushButton* findNextButton() const { return findNext_; }
  QPushButton* cancelButton() const { return cancel_; }

  // Shows the dialog with its top-left corner at the screen point, moved in
  // as little as needed to keep it whole on that screen, and puts the focus
  // in the search text with the text selected.
  void openAt(const QPoint& topLeft);

 signals:
  // Find Next was pressed (or Enter in the search text) with a search text.
  void findNextPressed();

 private:
  QLineEdit* text_ = nullptr;
  QCheckBox* pattern_ = nullptr;
  QPushButton* findNext_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace quorlin::ui
