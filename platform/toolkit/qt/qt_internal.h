// The widgets behind the Qt toolkit's controls. For the backend's own files
// only (the toolkit, its test driver and their tests); the program never
// sees a Qt type.
#ifndef VELK_PLATFORM_TOOLKIT_QT_QT_INTERNAL_H_
#define VELK_PLATFORM_TOOLKIT_QT_QT_INTERNAL_H_

#include <QAbstractTableModel>
#include <QApplication>
#include <QIcon>
#include <QPlainTextEdit>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTableView>
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

// The rows of a list: each cell keeps the 936 text it was given and is
// converted for display only when the view asks for it, so filling
// thousands of rows converts only the few on screen.
class ListModel : public QAbstractTableModel {
 public:
  ListModel(std::vector<QString> titles, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void Clear();
  int Append();
  // REQUIRES: the cell exists.
  void Set(int row, int column, std::string_view text);
  const std::string& Get(int row, int column) const;

 private:
  std::vector<QString> titles_;
  std::vector<std::vector<std::string>> rows_;
};

// The report-style list. A double-click anywhere in it (on a row or the
// empty area below the rows) runs the handler; a press on the empty area
// leaves no row selected.
class ListWidget : public QTableView {
 public:
  ListWidget(std::vector<QString> titles, QWidget* parent);
  ListModel* rows() const { return rows_; }
  Handler onDoubleClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  ListModel* rows_;  // owned by this view
};

// The multi-line plain-text box. While it is hidden it keeps a text given to
// it as it came (936) and fills its document only when it is shown: a page
// of a megabyte costs its document more than the whole search that fetched
// and matched it, and a box nobody sees needs no document. Its text reads
// back the same either way.
class TextBoxWidget : public QPlainTextEdit {
 public:
  explicit TextBoxWidget(QWidget* parent);
  // Replaces the whole text (936).
  void SetText(std::string_view text);
  std::string Text() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::string pending_;
  bool stale_ = false;  // the document lags behind pending_
};

struct QtToolkit::Impl {
  struct Control {
    ControlEntry entry;
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
