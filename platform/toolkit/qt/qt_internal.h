// The widgets behind the Qt toolkit's controls. For the backend's own files
// only (the toolkit, its test driver and their tests); the program never
// sees a Qt type.
#ifndef VELK_PLATFORM_TOOLKIT_QT_QT_INTERNAL_H_
#define VELK_PLATFORM_TOOLKIT_QT_QT_INTERNAL_H_

#include <QApplication>
#include <QIcon>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/toolkit/qt/qt_toolkit.h"
#include "platform/toolkit/toolkit.h"

class QLabel;

namespace velk::platform {

// 936 bytes to UTF-16 and back, through the code page service (the ANSI
// page, which is 936).
QString FromGbk(std::string_view text);
std::string ToGbk(const QString& text);

// The program's icon, drawn at `size` x `size` in 32-bit colour.
QImage DrawAppIcon(int size);
// The icon with its 32 x 32 and 48 x 48 images.
QIcon AppIcon();

// The top-level window. A press of the left button on its own background
// moves it as a grab of the title bar would; closing it ends the event loop.
class WindowWidget : public QWidget {
 public:
  WindowWidget();
  bool closed() const { return closed_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  bool dragging_ = false;
  QPoint grabOffset_;
  bool closed_ = false;
};

// The report-style list. A double-click anywhere in it (on a row or the
// empty area below the rows) runs the handler; a press on the empty area
// leaves no row selected.
class ListWidget : public QTableWidget {
 public:
  ListWidget(int columns, QWidget* parent);
  Handler onDoubleClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

struct QtToolkit::Impl {
  struct Control {
    ControlSpec spec;
    QWidget* widget = nullptr;   // owned by the window
    std::vector<QLabel*> parts;  // status bar
    QTimer* timer = nullptr;     // owned by the window
    int stored = 0;              // progress bar
  };

  Control* Find(ControlId id, ControlKind kind);

  std::unique_ptr<QApplication> application;  // when this toolkit started it
  std::unique_ptr<WindowWidget> window;
  ControlId windowId = 0;
  std::map<ControlId, Control> controls;
};

}  // namespace velk::platform

#endif  // VELK_PLATFORM_TOOLKIT_QT_QT_INTERNAL_H_
