// The Linux program's window: the same content and layout as the Windows dialog, sized from
// dialog units with the dialog font's metrics, kept above other windows, taking file drops.
#pragma once

#include <QDialog>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;

class MainWindow : public QDialog {
  Q_OBJECT

 public:
  MainWindow();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Converts dialog units to pixels the way Windows does for the dialog's font.
  QRect dialogRect(int x, int y, int width, int height) const;

  int baseUnitX_ = 0;
  int baseUnitY_ = 0;
};
