#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace parlomax::phone {

// How an emulated telephone misbehaves, so that every failure of a real link
// can be met on purpose.
struct FaultRule {
  enum class Kind {
    Fail,   // the telephone ignores the command: no reply at all
    Stall,  // the reply comes `value` ms late
    Short,  // the reply carries only its first `value` bytes
  };
  Kind kind;
  std::uint8_t command;      // command code the rule applies to
  unsigned occurrence = 0;   // only its n-th arrival (from 1); 0 = every one
  std::uint32_t value = 0;
};

// What the telephone does with one command.
struct FaultAction {
  bool reply = true;
  std::uint32_t delayMs = 0;
  std::optional<std::uint32_t> truncateTo;
};

class FaultPlan {
 public:
  // Parses "CMD[@N]" for --fail, "CMD[@N][:MS]" for --stall (15000 ms when
  // left out) and "CMD[@N]:BYTES" for --short; throws std::invalid_argument
  // with a message fit for the user otherwise.
  void AddRule(FaultRule::Kind kind, const std::string& text);
  void SetVanishAfter(unsigned commands) { vanishAfter_ = commands; }
  void SetLatencyMs(std::uint32_t ms) { latencyMs_ = ms; }

  // Counts the command and says what to do with it.
  FaultAction Next(std::uint8_t command);
  // True once the telephone has answered as many commands as it may.
  bool ShouldVanish() const { return vanishAfter_ && answered_ >= *vanishAfter_; }
  void CountAnswered() { ++answered_; }

  const std::vector<FaultRule>& Rules() const { return rules_; }

 private:
  std::vector<FaultRule> rules_;
  std::optional<unsigned> vanishAfter_;
  std::uint32_t latencyMs_ = 0;
  unsigned answered_ = 0;
  unsigned seen_[256] = {};
};

}  // namespace parlomax::phone
