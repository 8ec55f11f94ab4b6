// Start-up: the widget library, then the window (whose creation runs
// OnWindowCreated), then the event loop until the window is closed. Nothing
// is read, opened or prepared before the window exists; the program takes
// no arguments.
#include "app/main_window.h"
#include "app/search_pipeline.h"
#include "platform/shell/shell.h"
#include "platform/toolkit/qt/qt_toolkit.h"

int main() {
  velk::platform::QtToolkit toolkit;
  velk::SearchPipeline search;
  return velk::RunMainWindow(toolkit, search, [](const velk::Text& text) {
    velk::platform::OpenWithShell(text.view());
  });
}
