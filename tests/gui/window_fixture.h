#pragma once
// The main window under the offscreen platform, on a copy of the built skin folder, with a
// mouse that is present or not and dialogs answered from a script.
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/survey/survey_record.h"
#include "gui/app/quillet_dlg.h"
#include "support/temp_dir.h"

namespace quillet::test {

// A mouse that is present or not, counting what the window asks of it.
class FakeSession : public NullDeviceSession {
 public:
  FakeSession(MessageService& messages, bool present) : NullDeviceSession(messages), present_(present) {}
  // Whether the next discovery finds the mouse: a test plugs it in after the start with true.
  void setPresent(bool present) { present_ = present; }
  bool open() override { return present_; }
  std::string accessProblem() const override { return problem; }
  bool isOpen() const override { return present_; }
  std::optional<std::uint8_t> readDeviceValue() override { return present_ ? std::optional<std::uint8_t>(5) : std::nullopt; }
  void hostExit() override { ++hostExits; }
  DownloadResult apply(ProfileSettings& s, AppState& app, MacroLibrary& library) override {
    ++applies;
    DownloadResult result = NullDeviceSession::apply(s, app, library);
    result.mouseTookAll = mouseTakesAll;
    return result;
  }
  // With `holdApplies` a started download stays running until finishApplyNow (or
  // releaseApply) ends it, as one writing many macro buttons does.
  void startApply(ProfileSettings& s, AppState& app, MacroLibrary& library, std::function<void(ApplyProgress)> progress,
                  ApplyDone done) override {
    if (!holdApplies) {
      DeviceSession::startApply(s, app, library, std::move(progress), std::move(done));
      return;
    }
    held_ = [this, &s, &app, &library, done = std::move(done)] { done(apply(s, app, library)); };
    progress(ApplyProgress{3, 10});
  }
  bool applying() const override { return static_cast<bool>(held_); }
  void finishApplyNow() override {
    if (held_) {
      auto finish = std::move(held_);
      held_ = nullptr;
      finish();
    }
  }
  int hostExits = 0;
  int applies = 0;
  bool holdApplies = false;
  bool mouseTakesAll = true;  // false: the mouse went away during the download
  std::string problem;        // a mouse that is there but may not be opened

 private:
  bool present_;
  std::function<void()> held_;
};

// File, colour and web dialogs answered from queues; what they were asked is kept.
class ScriptedDialogs : public DialogService {
 public:
  std::optional<std::filesystem::path> openFile(QWidget*, const FileDialogSpec& spec) override {
    asked.push_back(spec);
    return next(files);
  }
  std::optional<std::filesystem::path> saveFile(QWidget*, const FileDialogSpec& spec) override {
    asked.push_back(spec);
    return next(files);
  }
  std::optional<ColorRef> pickColor(QWidget*) override { return next(colours); }
  bool openUrl(const std::string& url) override {
    urls.push_back(url);
    return browserOpens;
  }

  std::deque<std::optional<std::filesystem::path>> files;
  std::deque<std::optional<ColorRef>> colours;
  std::vector<FileDialogSpec> asked;
  std::vector<std::string> urls;
  bool browserOpens = true;  // false: no browser could open an address

 private:
  template <typename T>
  static std::optional<T> next(std::deque<std::optional<T>>& q) {
    if (q.empty()) {
      return std::nullopt;
    }
    std::optional<T> v = q.front();
    q.pop_front();
    return v;
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void start(bool present = false, const std::function<void(const std::filesystem::path&)>& prepare = {},
             const std::string& problem = {}) {
    std::filesystem::copy(std::filesystem::path(QUILLET_BIN_DIR) / "skins", skins_,
                          std::filesystem::copy_options::recursive);
    // Answered, so that the window starts without the survey form.
    ASSERT_TRUE(survey::markSurveyAnswered(skins_ / "config" / "ConfigFile.ini"));
    if (prepare) {
      prepare(skins_);
    }
    auto session = std::make_unique<FakeSession>(messages_, present);
    session->problem = problem;
    session_ = session.get();
    dlg_ = std::make_unique<CQuilletDlg>(messages_, std::move(session));
    auto dialogs = std::make_unique<ScriptedDialogs>();
    dialogs_ = dialogs.get();
    dlg_->setDialogService(std::move(dialogs));
    dlg_->initDialog(QUILLET_BIN_DIR, skins_, false);
    dlg_->show();
    dlg_->move(0, 0);
    QApplication::processEvents();
  }
  void TearDown() override {
    dlg_.reset();
    QApplication::processEvents();  // popups closed on the way are deleted
  }

  static QPoint centre(const SkinButton& b) { return QPoint(b.x + b.width / 2, b.y + b.height / 2); }
  static void send(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
  void send(QEvent::Type type, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton) { send(dlg_.get(), type, pos, buttons); }
  void moveTo(QPoint p, Qt::MouseButtons held = Qt::NoButton) { send(QEvent::MouseMove, p, held); }
  void click(QPoint p) {
    moveTo(p);
    send(QEvent::MouseButtonPress, p, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, p, Qt::NoButton);
  }
  void clickMain(int region) { click(centre(dlg_->layouts().main[static_cast<std::size_t>(region)])); }
  // A move over, a press on and a release of row `row` (1-based) of a popup.
  static void hoverRow(QWidget* popup, int rowHeight, int row) {
    send(popup, QEvent::MouseMove, QPoint(popup->width() / 2, (row - 1) * rowHeight + rowHeight / 2));
  }
  static void clickRow(QWidget* popup, int rowHeight, int row) {
    const QPoint p(popup->width() / 2, (row - 1) * rowHeight + rowHeight / 2);
    send(popup, QEvent::MouseMove, p);
    send(popup, QEvent::MouseButtonPress, p, Qt::LeftButton);
    send(popup, QEvent::MouseButtonRelease, p);
  }
  // Runs `answer` on the warning dialog once the window has shown it (the dialog waits in its
  // own event loop), then presses main region `region`.
  void pressAnsweringWarning(int region, std::function<void(WarningDlg&)> answer) {
    QTimer::singleShot(0, [this, answer] {
      if (dlg_->warning() != nullptr) {
        answer(*dlg_->warning());
      }
    });
    clickMain(region);
  }
  std::filesystem::path configPath() const { return skins_ / "config" / "config.ini"; }

  TempDir dir_;
  std::filesystem::path skins_ = dir_ / "skins";
  RecordedMessages messages_;
  FakeSession* session_ = nullptr;
  ScriptedDialogs* dialogs_ = nullptr;
  std::unique_ptr<CQuilletDlg> dlg_;
};

}  // namespace quillet::test
