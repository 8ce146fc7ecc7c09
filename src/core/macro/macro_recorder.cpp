#include "core/macro/macro_recorder.h"

#include <algorithm>

#include "core/macro/key_translation.h"

namespace quillet {

unsigned keyMessageOf(bool down, std::uint8_t vkCode, bool altHeld, bool controlHeld) {
  const bool isAlt = vkCode == vk::kLMenu || vkCode == vk::kRMenu;
  const bool system = vkCode == vk::kF10 || isAlt || (altHeld && !controlHeld);
  if (down) {
    return system ? key_message::kSysKeyDown : key_message::kKeyDown;
  }
  return system ? key_message::kSysKeyUp : key_message::kKeyUp;
}

std::uint32_t SystemTimeOfDay::nowMs() const {
  using namespace std::chrono;
  const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(sinceEpoch % kDayMs);
}

std::uint32_t KeyTimeline::timeOfDay(std::uint32_t eventStamp) {
  if (eventStamp == 0) {
    return clock_.nowMs();
  }
  if (!anchored_) {
    anchored_ = true;
    anchorStamp_ = eventStamp;
    anchorTime_ = clock_.nowMs();
    return anchorTime_;
  }
  // Unsigned differences keep a counter that wrapped in order; an event stamped before the
  // anchor (events can be seen out of order across devices) counts back from it.
  const std::uint32_t ahead = eventStamp - anchorStamp_;
  if (ahead <= 0x7FFF'FFFFu) {
    return static_cast<std::uint32_t>((anchorTime_ + static_cast<std::uint64_t>(ahead)) % kDayMs);
  }
  const std::uint32_t back = (anchorStamp_ - eventStamp) % kDayMs;
  return (anchorTime_ + kDayMs - back) % kDayMs;
}

void MacroRecorder::start(Macro& macro) {
  Macro blank{};
  blank.name = macro.name;
  blank.loopCount = 1;
  blank.playMode = play_mode::kLoopCount;
  macro = blank;
  macro_ = &macro;
  recorded_ = 0;
  presses_ = 0;
  heldCount_ = 0;
  haveLast_ = false;
  lastStepTime_ = 0;
}

void MacroRecorder::stop() {
  if (macro_ != nullptr) {
    macro_->eventCount = static_cast<std::uint16_t>(recorded_);
  }
  macro_ = nullptr;
  heldCount_ = 0;
}

bool MacroRecorder::isHeld(std::uint8_t vkCode) const {
  return std::find(held_.begin(), held_.begin() + heldCount_, vkCode) != held_.begin() + heldCount_;
}

void MacroRecorder::release(std::uint8_t vkCode) {
  auto* end = held_.begin() + heldCount_;
  auto* found = std::find(held_.begin(), end, vkCode);
  std::copy(found + 1, end, found);  // later keys move up
  --heldCount_;
}

MacroRecorder::Outcome MacroRecorder::key(unsigned message, std::uint8_t vkCode, std::uint32_t timeOfDayMs) {
  // A key the usage table has no keyboard usage for (media and browser keys: the consumer
  // page's) would play as another key: it is passed on unrecorded.
  if (macro_ == nullptr || !key_message::isKeyMessage(message) || !vkIsListed(vkCode)) {
    return Outcome::Passed;
  }
  if (haveLast_ && message == lastMessage_ && vkCode == lastKey_) {
    return Outcome::Repeat;
  }
  const bool down = key_message::isDown(message);
  Outcome outcome = Outcome::Passed;
  if (recorded_ < kRecordMaxSteps) {
    if (down && (presses_ >= kRecordMaxPresses || isHeld(vkCode) || heldCount_ >= kRecordMaxHeldKeys)) {
      return Outcome::Passed;
    }
    if (!down && !isHeld(vkCode)) {
      return Outcome::Passed;
    }
    if (down) {
      held_[static_cast<std::size_t>(heldCount_++)] = vkCode;
      ++presses_;
    } else {
      release(vkCode);
    }
    const int q = recorded_;
    MacroEvent& step = macro_->events[static_cast<std::size_t>(q)];
    step = MacroEvent{};
    step.type = down ? step_type::kPress : step_type::kRelease;
    step.code = VkToUsage(vkCode);

    std::int64_t pause = static_cast<std::int64_t>(timeOfDayMs) - lastStepTime_;
    if (pause < 0) {
      pause += kDayMs;  // the recording went past midnight
    }
    lastStepTime_ = timeOfDayMs;
    if (q > 0) {
      macro_->events[static_cast<std::size_t>(q - 1)].delay = static_cast<std::uint16_t>(std::min<std::int64_t>(pause, 65'535));
      step.delay = kRecordLastDelay;
    }
    recorded_ = q + 1;
    // The record stays whole at every step: the list and any save see exactly what was played.
    macro_->eventCount = static_cast<std::uint16_t>(recorded_);
    outcome = Outcome::Recorded;
  }
  haveLast_ = true;
  lastMessage_ = message;
  lastKey_ = vkCode;
  return outcome;
}

}  // namespace quillet
