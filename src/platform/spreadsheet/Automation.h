#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <variant>
#include <vector>

namespace parlomax::spreadsheet {

class AutomationObject;
using ObjectRef = std::shared_ptr<AutomationObject>;

// A value passed to or from an automation object.
using Variant = std::variant<std::monostate, std::int32_t, double, QString, bool, ObjectRef>;
using Arguments = std::vector<Variant>;

// What an automation call that cannot be carried out throws: an unknown
// name, wrong arguments, or a failure of the server itself (a folder that
// cannot be written, for instance).
class AutomationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An object reached through automation: named property reads (with
// arguments), property writes and method calls.
class AutomationObject {
 public:
  virtual ~AutomationObject() = default;
  virtual Variant Get(const QString& property, const Arguments& arguments = {}) = 0;
  virtual void Set(const QString& property, const Variant& value) = 0;
  virtual Variant Call(const QString& method, const Arguments& arguments = {}) = 0;
};

// Starts automation servers by their class name.
class AutomationFactory {
 public:
  virtual ~AutomationFactory() = default;
  // The server's application object, or nothing when no server of that
  // class can be started.
  virtual ObjectRef Create(const QString& className) = 0;
};

// The object a Get returned; throws AutomationError when it was something else.
ObjectRef AsObject(const Variant& value, const QString& what);

}  // namespace parlomax::spreadsheet
