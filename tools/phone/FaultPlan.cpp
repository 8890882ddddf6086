#include "phone/FaultPlan.h"

#include <stdexcept>

namespace parlomax::phone {
namespace {

constexpr std::uint32_t kDefaultStallMs = 15000;

unsigned long Number(const std::string& text, const std::string& whole) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
      text.size() > 9) {
    throw std::invalid_argument("'" + whole + "' is not a fault: expected CMD[@N][:VALUE]");
  }
  return std::stoul(text);
}

}  // namespace

void FaultPlan::AddRule(FaultRule::Kind kind, const std::string& text) {
  std::string head = text;
  std::string value;
  if (const auto colon = text.find(':'); colon != std::string::npos) {
    head = text.substr(0, colon);
    value = text.substr(colon + 1);
  }
  std::string command = head;
  unsigned occurrence = 0;
  if (const auto at = head.find('@'); at != std::string::npos) {
    command = head.substr(0, at);
    occurrence = static_cast<unsigned>(Number(head.substr(at + 1), text));
    if (occurrence == 0) throw std::invalid_argument("'" + text + "': occurrences count from 1");
  }
  const unsigned long code = Number(command, text);
  if (code > 255) throw std::invalid_argument("'" + text + "': a command code is 0 to 255");

  FaultRule rule{kind, static_cast<std::uint8_t>(code), occurrence, 0};
  switch (kind) {
    case FaultRule::Kind::Fail:
      if (!value.empty()) throw std::invalid_argument("'" + text + "': --fail takes no value");
      break;
    case FaultRule::Kind::Stall:
      rule.value = value.empty() ? kDefaultStallMs : static_cast<std::uint32_t>(Number(value, text));
      break;
    case FaultRule::Kind::Short:
      if (value.empty()) throw std::invalid_argument("'" + text + "': --short needs :BYTES");
      rule.value = static_cast<std::uint32_t>(Number(value, text));
      break;
  }
  rules_.push_back(rule);
}

FaultAction FaultPlan::Next(std::uint8_t command) {
  const unsigned occurrence = ++seen_[command];
  FaultAction action;
  action.delayMs = latencyMs_;
  for (const FaultRule& rule : rules_) {
    if (rule.command != command || (rule.occurrence != 0 && rule.occurrence != occurrence)) {
      continue;
    }
    switch (rule.kind) {
      case FaultRule::Kind::Fail:
        action.reply = false;
        break;
      case FaultRule::Kind::Stall:
        action.delayMs += rule.value;
        break;
      case FaultRule::Kind::Short:
        action.truncateTo = rule.value;
        break;
    }
  }
  // A reply cut to nothing is no reply: an empty message would read as a
  // closed link.
  if (action.truncateTo == 0u) action.reply = false;
  return action;
}

}  // namespace parlomax::phone
