// The window toolkit service: one top-level window built from a table of
// controls, the operations the program's handlers call on those controls,
// and the wiring of the four events (created, clicked, double-clicked, timer
// elapsed) to the handlers.
//
// Texts cross this interface as code page 936 bytes (std::string); a backend
// converts them to whatever its widgets use. Controls are addressed by the
// ControlId their creator gave them in the table. An operation on an id that
// is not a control of the right kind does nothing and gives the empty value.
//
// Everything runs on the one thread that created the toolkit. Handlers run
// one at a time, from the event loop or nested inside PumpEvents.
#ifndef VELK_PLATFORM_TOOLKIT_TOOLKIT_H_
#define VELK_PLATFORM_TOOLKIT_TOOLKIT_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::platform {

// The creator's number for a control (or the window itself).
using ControlId = int;

enum class ControlKind {
  kLabel,        // static text
  kEdit,         // single-line edit box
  kButton,       // push button, never the window's default button
  kList,         // report-style list with a column header
  kStatusBar,    // a row of fixed-width text parts
  kProgressBar,  // horizontal, smooth fill, no border
  kTimer,        // invisible; elapses while events are handled
  kTextBox,      // multi-line plain-text box that wraps lines
};

// Client coordinates of the window, in pixels.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct ListColumn {
  std::string title;  // 936
  int width = 0;
};

struct StatusPart {
  int width = 0;
  std::string text;  // 936, the text at creation
};

using Handler = std::function<void()>;

struct ControlEntry {
  ControlId id = 0;
  std::string name;  // the program's name for it, e.g. "keywordEdit"
  ControlKind kind = ControlKind::kLabel;
  Rect rect;                        // ignored for a timer
  std::string text;                 // 936 start text: label, edit, button, box
  std::vector<ListColumn> columns;  // list
  std::vector<StatusPart> parts;    // status bar
  int rangeMin = 0;                 // progress bar
  int rangeMax = 100;
  bool hidden = false;    // never shown to the user
  Handler onClick;        // button: clicked
  Handler onDoubleClick;  // list: double-clicked on a row or the empty area
  Handler onElapsed;      // timer: its period has elapsed
};

struct WindowTable {
  ControlId id = 0;
  std::string caption;  // 936
  // The size the window takes on the desktop, frame included; the window is
  // centred on the screen by it.
  int outerWidth = 0;
  int outerHeight = 0;
  // The fixed size of the area the controls live in.
  int clientWidth = 0;
  int clientHeight = 0;
  std::vector<ControlEntry> controls;
  Handler onCreated;  // runs once, after every control exists
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Creates the window with all its controls, runs table.onCreated once,
  // and shows the window centred on the screen. Returns false (and creates
  // nothing) when a window already exists or the table names a control twice.
  virtual bool CreateMainWindow(const WindowTable& table) = 0;
  // Runs the event loop until the window is closed with its close box (or a
  // quit requested earlier, inside a pump, takes effect). Returns 0.
  virtual int RunEventLoop() = 0;

  // The title bar shows `text`.
  virtual void SetCaption(ControlId window, std::string_view text) = 0;
  // Part `part` of the status bar shows `text`; a part the bar lacks is left
  // alone.
  virtual void SetPartText(ControlId bar, int part, std::string_view text) = 0;
  // The whole current text of an edit box or text box, possibly empty.
  virtual std::string ControlText(ControlId control) = 0;
  // Replaces the whole text of an edit box or text box.
  virtual void SetControlText(ControlId control, std::string_view text) = 0;
  // Removes every row of the list.
  virtual void ClearRows(ControlId list) = 0;
  virtual int RowCount(ControlId list) = 0;
  // Adds one row with empty cells after the last and returns its 0-based
  // index; -1 when `list` is no list.
  virtual int AppendRow(ControlId list) = 0;
  // The cell shows `text`; a cell that does not exist is left alone.
  virtual void SetCellText(ControlId list, int row, int column,
                           std::string_view text) = 0;
  // The cell's text; empty when the cell does not exist (row -1 included).
  virtual std::string CellText(ControlId list, int row, int column) = 0;
  // 0-based index of the selected row, -1 when none.
  virtual int SelectedRow(ControlId list) = 0;
  // Stores `position` cut into 0..32767; the bar shows it cut into its range.
  virtual void SetProgressPosition(ControlId bar, int position) = 0;
  // The stored position, which may lie beyond the bar's range.
  virtual int ProgressPosition(ControlId bar) = 0;
  // A period above 0 (re)starts the timer; 0 (or less) stops it, and no
  // elapse follows.
  virtual void SetTimerPeriod(ControlId timer, int milliseconds) = 0;
  // Handles every pending event in order, handlers included, and returns
  // when none is pending. A pending request to quit stays pending for the
  // event loop.
  virtual void PumpEvents() = 0;
};

}  // namespace velk::platform

#endif  // VELK_PLATFORM_TOOLKIT_TOOLKIT_H_
