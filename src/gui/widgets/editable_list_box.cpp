#include "gui/widgets/editable_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace quillet {

int CEditableListBox::editArmed_ = 0;

CEditableListBox::CEditableListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setUniformItemSizes(true);
  // Its right button opens the window's menus (rightReleased), not a context menu of its own.
  setContextMenuPolicy(Qt::PreventContextMenu);
  connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!silent_) {
      Q_EMIT rowChosen(row);
    }
  });
  connect(this, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { Q_EMIT rowDoubleClicked(row(item)); });
}

CEditableListBox::~CEditableListBox() {
  // Going with the list: nobody is told any more.
  if (editor_) {
    editor_->disconnect(this);
  }
}

void CEditableListBox::setLines(const QStringList& lines, int selected) {
  // The lines the edit was over are gone: the edit goes with them, unreported.
  if (editor_) {
    CEditHelper* box = editor_.data();
    editor_ = nullptr;
    editedRow_ = -1;
    box->disconnect(this);
    box->hide();
    box->deleteLater();
  }
  silent_ = true;
  setUpdatesEnabled(false);
  clear();
  addItems(lines);
  if (selected >= 0 && selected < count()) {
    setCurrentRow(selected);
  }
  setUpdatesEnabled(true);
  silent_ = false;
}

void CEditableListBox::selectSilently(int row) {
  silent_ = true;
  if (row >= 0 && row < count()) {
    setCurrentRow(row);
  } else {
    setCurrentRow(-1);
  }
  silent_ = false;
}

bool CEditableListBox::startEdit() {
  if (editArmed_ != 1 || editing()) {
    return false;
  }
  editArmed_ = 0;
  QListWidgetItem* item = currentItem();
  if (item == nullptr) {
    return false;  // nothing selected: nothing to edit
  }
  editedRow_ = row(item);
  auto* box = new CEditHelper(viewport());
  box->setFont(font());
  box->setFrame(true);
  box->setGeometry(visualItemRect(item).adjusted(0, -1, 0, 1));
  box->setText(item->text());
  box->selectAll();
  connect(box, &CEditHelper::editEnded, this, [this](bool keep) { endEdit(keep); });
  editor_ = box;
  box->show();
  box->setFocus(Qt::OtherFocusReason);
  return true;
}

bool CEditableListBox::editSelected() {
  if (currentItem() == nullptr) {
    return false;
  }
  armEdit();
  return startEdit();
}

void CEditableListBox::endEdit(bool keep) {
  if (!editor_) {
    return;
  }
  // Forgotten first: the box losing the focus as it goes ends the edit again.
  CEditHelper* box = editor_.data();
  editor_ = nullptr;
  const int row = editedRow_;
  editedRow_ = -1;
  box->disconnect(this);
  const bool hadFocus = box->hasFocus();
  if (keep && row >= 0 && row < count()) {
    const QString previous = item(row)->text();
    const QString text = box->text();
    if (text != previous) {
      silent_ = true;
      delete takeItem(row);
      int at = row;
      if (isSortingEnabled()) {
        addItem(text);
        sortItems(Qt::AscendingOrder);
        at = row;
        for (int i = 0; i < count(); ++i) {
          if (this->item(i)->text() == text) {
            at = i;
            break;
          }
        }
      } else {
        insertItem(row, text);
      }
      setCurrentRow(at);
      silent_ = false;
      if (notify_) {
        Q_EMIT textStored(at, previous);
      }
    }
  }
  box->hide();
  box->deleteLater();
  if (hadFocus) {
    setFocus(Qt::OtherFocusReason);
  }
  Q_EMIT editEnded(row, keep);
}

void CEditableListBox::mousePressEvent(QMouseEvent* event) {
  // The right button selects nothing: the line under it is only where the menu opens.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QListWidget::mousePressEvent(event);
}

void CEditableListBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) {
    QListWidget::mouseReleaseEvent(event);
    return;
  }
  const QPoint pos = event->position().toPoint();
  QListWidgetItem* selected = currentItem();
  if (selected != nullptr && visualItemRect(selected).contains(pos) && startEdit()) {
    return;
  }
  const QModelIndex under = indexAt(pos);
  Q_EMIT rightReleased(under.isValid() ? under.row() : -1, event->globalPosition().toPoint());
}

void CEditableListBox::keyPressEvent(QKeyEvent* event) {
  if (editing()) {
    event->accept();  // keys the edit box passed on are the edit's, not the list's
    return;
  }
  // A character is stored as the mark and may start an edit: only the character code 1 does.
  if (!event->text().isEmpty()) {
    editArmed_ = event->text().at(0).unicode();
    if (startEdit()) {
      return;
    }
  }
  QListWidget::keyPressEvent(event);
}

void CEditableListBox::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Insert && !editing() && startEdit()) {
    return;
  }
  QListWidget::keyReleaseEvent(event);
}

void CEditableListBox::scrollContentsBy(int dx, int dy) {
  endEdit(true);
  QListWidget::scrollContentsBy(dx, dy);
}

void CEditableListBox::resizeEvent(QResizeEvent* event) {
  QListWidget::resizeEvent(event);
  endEdit(true);
}

}  // namespace quillet
