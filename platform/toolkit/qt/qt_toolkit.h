// The toolkit service on real widgets (Qt 6 Widgets). Texts are converted
// between code page 936 and the widgets' UTF-16 by the code page service, as
// the ANSI window functions of the original platform do.
//
// The first QtToolkit of a process starts the widget library and stops it
// again when it is destroyed; later ones (in tests) reuse it. Under the
// "offscreen" platform everything works without a display.
#ifndef VELK_PLATFORM_TOOLKIT_QT_QT_TOOLKIT_H_
#define VELK_PLATFORM_TOOLKIT_QT_QT_TOOLKIT_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/toolkit/toolkit.h"

namespace velk::platform {

class QtToolkit final : public Toolkit {
 public:
  QtToolkit();
  ~QtToolkit() override;
  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;

  bool CreateMainWindow(const WindowTable& table) override;
  int RunEventLoop() override;
  void SetCaption(ControlId window, std::string_view text) override;
  void SetPartText(ControlId bar, int part, std::string_view text) override;
  std::string ControlText(ControlId control) override;
  void SetControlText(ControlId control, std::string_view text) override;
  void ClearRows(ControlId list) override;
  int RowCount(ControlId list) override;
  int AppendRow(ControlId list) override;
  void SetCellText(ControlId list, int row, int column,
                   std::string_view text) override;
  std::string CellText(ControlId list, int row, int column) override;
  int SelectedRow(ControlId list) override;
  void SetProgressPosition(ControlId bar, int position) override;
  int ProgressPosition(ControlId bar) override;
  void SetTimerPeriod(ControlId timer, int milliseconds) override;
  void PumpEvents() override;

  // The widgets behind the controls, for the backend's own parts (the test
  // driver, the backend's tests); defined in qt_internal.h.
  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace velk::platform

#endif  // VELK_PLATFORM_TOOLKIT_QT_QT_TOOLKIT_H_
