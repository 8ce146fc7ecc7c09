#pragma once
// One page of the main window: what it draws over its idle picture (PageLayer), its commands
// (presses and releases on its regions, slider drags) and what it does when it is shown, left,
// or its model replaced. The window routes every press and release to the page shown, and has
// the page shown draw itself; a page that has nothing to do for an event leaves it alone.
#include <QPoint>

#include <cstdint>

#include "gui/pages/page_context.h"
#include "gui/widgets/window_painter.h"

namespace quillet {

class PageContext;

class WindowPage : public PageLayer {
 public:
  explicit WindowPage(PageContext& context) : context_(context) {}
  virtual ~WindowPage() = default;
  WindowPage(const WindowPage&) = delete;
  WindowPage& operator=(const WindowPage&) = delete;

  // The page is shown / left.
  virtual void enter() {}
  virtual void leave() {}
  // A left press at `pos` (window coordinates): `common` is the main layout's region under the
  // pointer (the frame's regions on every page, the main page's own on the main page), `own`
  // the page layer's region; kNoRegion for none.
  virtual void press(QPoint pos, std::int32_t common, std::int32_t own) {
    (void)pos;
    (void)common;
    (void)own;
  }
  // A left release over `common` / `own` (the regions the press dispatch saw last).
  virtual void release(std::int32_t common, std::int32_t own) {
    (void)common;
    (void)own;
  }
  // The pointer moved to x with the left button held (a slider drag goes on); every release ends
  // the drags.
  virtual void drag(int x) { (void)x; }
  virtual void endDrags() {}
  // The interface language changed (names, fonts) / the settings model was replaced (import,
  // reset, a profile followed from the mouse): the page's controls show the model again.
  virtual void languageChanged() {}
  virtual void modelReplaced() {}
  // Whether the page refuses a press on `common` / `own` now (a recording under way takes only
  // its own stop and the window's minimise and close); the window then says so and drops it.
  virtual bool refusesPress(std::int32_t common, std::int32_t own) const {
    (void)common;
    (void)own;
    return false;
  }
  // Whether the page holds the keyboard now (a recording): no menu of the window may open.
  virtual bool holdsKeyboard() const { return false; }
  // A download runs (true) or has ended (false): no control of the page may change the settings
  // meanwhile. The window ignores the page's presses itself; the page disables its own widgets.
  virtual void setBusy(bool busy) { (void)busy; }

 protected:
  PageContext& context_;
};

}  // namespace quillet
