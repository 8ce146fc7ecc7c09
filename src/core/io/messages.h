#pragma once
// The one way the system shows its fixed message texts ("Error!", "找不到配置文件", …) to the
// user: a message box in the window, a line on stderr in quilletctl, a recorded entry in tests.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class MessageService {
 public:
  virtual ~MessageService() = default;
  // Shows `text` and returns once the user has seen it (a modal box returns when closed).
  virtual void show(std::string_view text) = 0;
};

// The message of a file that could not be written: "Error!", then the file. Said where the
// user waits for a save (a group file, the settings file).
inline constexpr const char* kMsgError = "Error!";
std::string saveFailedMessage(const std::filesystem::path& file);

// Writes each message as one line on standard error.
class StderrMessages final : public MessageService {
 public:
  void show(std::string_view text) override;
};

// Keeps every message in order; for tests.
class RecordedMessages final : public MessageService {
 public:
  void show(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

}  // namespace quillet
