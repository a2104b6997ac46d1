// The Linux window.
#include "main_window.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

#include "drop_handler.h"

namespace {

constexpr const char* kCaption = "QuillmapGenerator";
constexpr const char* kInstruction =
    "1) Please Drag and Drop your bookmark.htm.\n\n"
    "2) Quillmap Folder will be generated in the same directory. ";

// Windows divides by four horizontally and by eight vertically, rounding to nearest.
int mulDiv(int value, int numerator, int denominator) {
  return (value * numerator + denominator / 2) / denominator;
}

}  // namespace

MainWindow::MainWindow()
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                           Qt::WindowStaysOnTopHint) {
  setWindowTitle(kCaption);
  setWindowIcon(QIcon(":/icons/quillmapgen-16.png"));
  // The dialog's font, or the nearest the system has; its metrics give the dialog units.
  QFont dialogFont("MS UI Gothic");
  dialogFont.setPointSize(9);
  setFont(dialogFont);
  QFontMetrics metrics(font());
  // The average width of the Latin letters, as Windows measures it for dialog base units.
  const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  baseUnitX_ = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
  baseUnitY_ = metrics.height();

  auto* close = new QPushButton("Close", this);
  close->setGeometry(dialogRect(40, 110, 50, 14));
  close->setDefault(true);
  close->setFocus();
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* instruction = new QLabel(kInstruction, this);
  instruction->setGeometry(dialogRect(5, 5, 125, 70));
  instruction->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  instruction->setWordWrap(true);

  auto* status = new QLabel(this);  // stays empty
  status->setGeometry(dialogRect(5, 85, 125, 15));

  QRect client = dialogRect(0, 0, 135, 129);
  setFixedSize(client.size());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  setAcceptDrops(true);
}

QRect MainWindow::dialogRect(int x, int y, int width, int height) const {
  return QRect(mulDiv(x, baseUnitX_, 4), mulDiv(y, baseUnitY_, 8), mulDiv(width, baseUnitX_, 4),
               mulDiv(height, baseUnitY_, 8));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  // The local files of the drop, first item first, as the file system's bytes.
  auto paths = std::make_shared<std::vector<std::string>>();
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths->push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  event->acceptProposedAction();
  // Handled once the drop has been completed, so that the drag source is not kept waiting
  // while a conversion runs or an error box is open.
  QTimer::singleShot(0, this, [this, paths] { handleDrop(this, paths.get()); });
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  // Escape does not close the window; only Close and the frame do.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
