#pragma once
// CEditableListBox: a list box whose selected line can be edited in place, in a CEditHelper laid
// over the line. An edit starts only while the process-wide edit-armed mark is 1 (the mark is
// cleared as it starts): on a right-button release inside the selected line, on the release of
// the Insert key, or on a typed character whose code (stored as the mark) is 1. The window arms
// the mark itself where it starts an edit (editSelected).
//
// An edit ends keeping its text (Return, the edit box losing the focus, a scroll of the list,
// a change of its size) or discarding it (Escape). A kept text that differs from the line
// replaces it (the line stays selected; textStored tells when the list notifies); every end
// is reported with editEnded, which says whether the edit was kept: a discarded edit (Escape)
// must change nothing, whatever the line holds.
//
// Selections the user makes are reported with rowChosen; the window's own (setLines,
// selectSilently) are not.
#include <QListWidget>
#include <QPointer>
#include <QStringList>

#include "gui/widgets/edit_helper.h"

namespace quillet {

class CEditableListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit CEditableListBox(QWidget* parent = nullptr);
  ~CEditableListBox() override;

  // The lines, rebuilt with redrawing off; `selected` (-1: none) is selected without telling.
  // An edit under way goes with the old lines, unreported: end it first to keep it.
  void setLines(const QStringList& lines, int selected);
  void selectSilently(int row);
  // Whether an end of an edit that kept a changed text is reported with textStored.
  void setNotify(bool notify) { notify_ = notify; }

  // The process-wide edit-armed mark.
  static void armEdit() { editArmed_ = 1; }
  static int editArmed() { return editArmed_; }
  // Arms the mark and edits the selected line, as a right-button release at its centre does.
  // False when no line is selected.
  bool editSelected();
  // Ends the edit under way, if any.
  void endEdit(bool keep);
  bool editing() const { return editor_ != nullptr; }
  int editedRow() const { return editedRow_; }
  CEditHelper* editor() const { return editor_; }

 Q_SIGNALS:
  void rowChosen(int row);
  void rowDoubleClicked(int row);
  // A right-button release over the list: the row under the pointer (-1: below the lines).
  void rightReleased(int row, QPoint globalPos);
  // A kept text replaced line `row`, whose text was `previous` (notifying lists only).
  void textStored(int row, const QString& previous);
  // An edit of line `row` has ended, whatever its end; `kept` is false when it was discarded.
  void editEnded(int row, bool kept);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Starts an edit of the selected line when the mark allows it; the mark is cleared.
  bool startEdit();

  static int editArmed_;
  QPointer<CEditHelper> editor_;
  int editedRow_ = -1;
  bool notify_ = true;
  bool silent_ = false;
};

}  // namespace quillet
