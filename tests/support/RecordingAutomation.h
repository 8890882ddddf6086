#pragma once

#include "platform/spreadsheet/Automation.h"

#include <QStringList>

#include <memory>
#include <optional>

namespace parlomax::testing {

// An automation server that only writes down what it is asked, one line a
// call, with each value's type ("App.Rows(int:1).RowHeight = int:20"). Every
// property read gives a new object named after the path that reached it.
class RecordingAutomation final : public spreadsheet::AutomationFactory {
 public:
  QStringList log;
  QStringList createdClasses;
  bool refuseToStart = false;
  // A call whose log line starts with this throws instead.
  std::optional<QString> failOn;

  spreadsheet::ObjectRef Create(const QString& className) override {
    createdClasses << className;
    if (refuseToStart) return nullptr;
    return std::make_shared<Object>(this, QStringLiteral("App"));
  }

  static QString Text(const spreadsheet::Variant& v) {
    struct Visitor {
      QString operator()(std::monostate) const { return QStringLiteral("empty"); }
      QString operator()(std::int32_t i) const { return QStringLiteral("int:%1").arg(i); }
      QString operator()(double d) const { return QStringLiteral("double:%1").arg(d, 0, 'g', 17); }
      QString operator()(const QString& s) const { return QStringLiteral("str:") + s; }
      QString operator()(bool b) const { return b ? QStringLiteral("bool:true") : QStringLiteral("bool:false"); }
      QString operator()(const spreadsheet::ObjectRef&) const { return QStringLiteral("object"); }
    };
    return std::visit(Visitor{}, v);
  }
  static QString Args(const spreadsheet::Arguments& arguments) {
    if (arguments.empty()) return {};
    QStringList parts;
    for (const auto& a : arguments) parts << Text(a);
    return QLatin1Char('(') + parts.join(QLatin1Char(',')) + QLatin1Char(')');
  }

 private:
  class Object final : public spreadsheet::AutomationObject {
   public:
    Object(RecordingAutomation* owner, QString path) : owner_(owner), path_(std::move(path)) {}
    spreadsheet::Variant Get(const QString& property, const spreadsheet::Arguments& arguments) override {
      const QString path = path_ + QLatin1Char('.') + property + Args(arguments);
      Note(QStringLiteral("get ") + path);
      return spreadsheet::ObjectRef(std::make_shared<Object>(owner_, path));
    }
    void Set(const QString& property, const spreadsheet::Variant& value) override {
      Note(QStringLiteral("set ") + path_ + QLatin1Char('.') + property + QStringLiteral(" = ") + Text(value));
    }
    spreadsheet::Variant Call(const QString& method, const spreadsheet::Arguments& arguments) override {
      Note(QStringLiteral("call ") + path_ + QLatin1Char('.') + method + Args(arguments));
      return {};
    }

   private:
    void Note(const QString& line) {
      owner_->log << line;
      if (owner_->failOn && line.startsWith(*owner_->failOn)) {
        throw spreadsheet::AutomationError("refused: " + line.toStdString());
      }
    }
    RecordingAutomation* owner_;
    QString path_;
  };
};

}  // namespace parlomax::testing
