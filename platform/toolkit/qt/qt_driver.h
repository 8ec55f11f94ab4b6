// A simulated user for the Qt toolkit's window, and read-back of what the
// window shows, for tests of the program's window on real widgets. Input is
// delivered through Qt Test, as a user's mouse and keyboard would deliver it.
#ifndef VELK_PLATFORM_TOOLKIT_QT_QT_DRIVER_H_
#define VELK_PLATFORM_TOOLKIT_QT_QT_DRIVER_H_

#include <string>
#include <string_view>

#include "platform/toolkit/qt/qt_toolkit.h"
#include "platform/toolkit/toolkit.h"

namespace velk::platform {

enum class Key { kEnter, kEscape };

class QtDriver {
 public:
  // REQUIRES: the toolkit's window has been created (except for
  // CloseLater).
  explicit QtDriver(QtToolkit& toolkit) : toolkit_(toolkit) {}

  // --- Input, handled before the call returns ---

  // A left click in the middle of a button.
  void Click(ControlId button);
  // A left click on `row` of the list, or with -1 on the empty area below
  // the rows.
  void ClickRow(ControlId list, int row);
  // A double-click there (the first click selects, as a user's would).
  void DoubleClickRow(ControlId list, int row);
  // Replaces the edit box's text by typing `text` (936). ASCII goes key by
  // key; other characters arrive as an input method would commit them.
  void Type(ControlId edit, std::string_view text);
  // A key press on `control`, or on the window for its own id.
  void PressKey(ControlId control, Key key);
  // A left-button drag from a point of the window's background by (dx, dy).
  void DragBackground(int x, int y, int dx, int dy);
  // Presses the window's close box.
  void Close();
  // Presses it once `milliseconds` have passed in the event loop, whatever
  // window exists then.
  void CloseLater(int milliseconds);

  // --- Input queued for the next pump or the event loop ---

  void PostClick(ControlId button);

  // Handles events for `milliseconds`.
  void RunFor(int milliseconds);

  // --- What the window shows ---

  bool WindowVisible();
  std::string Caption();
  std::string PartText(ControlId bar, int part);
  // The part's place in the bar, in the bar's coordinates.
  Rect PartRect(ControlId bar, int part);
  std::string ColumnTitle(ControlId list, int column);
  int ColumnWidth(ControlId list, int column);
  // The position the bar draws, inside its range.
  int ShownProgress(ControlId bar);
  bool TimerRunning(ControlId timer);
  // Whether the control is shown, and where, in client coordinates.
  bool ControlVisible(ControlId control);
  Rect ControlRect(ControlId control);
  // The client area's size, and whether the user can change it.
  int ClientWidth();
  int ClientHeight();
  bool Resizable();
  // The window's top-left corner on the screen.
  int WindowX();
  int WindowY();
  // Saves a picture of the window as a PNG file.
  bool SaveScreenshot(const std::string& path);

 private:
  QtToolkit& toolkit_;
};

}  // namespace velk::platform

#endif  // VELK_PLATFORM_TOOLKIT_QT_QT_DRIVER_H_
