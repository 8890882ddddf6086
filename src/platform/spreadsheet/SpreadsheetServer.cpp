#include "platform/spreadsheet/SpreadsheetServer.h"

#include "platform/spreadsheet/XlsWriter.h"

#include <QSaveFile>

#include <functional>
#include <optional>

namespace parlomax::spreadsheet {
namespace {

constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;

bool Is(const QString& name, const char* expected) {
  return name.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
}

[[noreturn]] void Unknown(const char* kind, const QString& name) {
  throw AutomationError(std::string("unknown ") + kind + " '" + name.toStdString() + "'");
}

std::int32_t ToInt(const Variant& v, const char* what) {
  if (const auto* i = std::get_if<std::int32_t>(&v)) return *i;
  if (const auto* d = std::get_if<double>(&v)) return static_cast<std::int32_t>(*d);
  throw AutomationError(std::string(what) + " must be a number");
}

double ToDouble(const Variant& v, const char* what) {
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* i = std::get_if<std::int32_t>(&v)) return *i;
  throw AutomationError(std::string(what) + " must be a number");
}

QString ToText(const Variant& v, const char* what) {
  if (const auto* s = std::get_if<QString>(&v)) return *s;
  if (const auto* i = std::get_if<std::int32_t>(&v)) return QString::number(*i);
  if (const auto* d = std::get_if<double>(&v)) return QString::number(*d, 'g', 15);
  throw AutomationError(std::string(what) + " must be a text");
}

void NoArguments(const Arguments& arguments, const QString& name) {
  if (!arguments.empty()) throw AutomationError(name.toStdString() + " takes no arguments");
}

struct Server {
  bool visible = false;
  bool quit = false;
  std::optional<SheetModel> sheet;
  ObjectRef selection;

  SheetModel& Sheet() {
    if (quit) throw AutomationError("the application has quit");
    if (!sheet) throw AutomationError("there is no workbook");
    return *sheet;
  }
};
using ServerRef = std::shared_ptr<Server>;

// Cells, a column, a row, or every cell of the sheet.
struct Place {
  enum class Kind { All, Cell, Column, Row } kind = Kind::All;
  int row = 0;
  int column = 0;
};

Place CellsAt(const Arguments& arguments) {
  if (arguments.empty()) return {};
  if (arguments.size() != 2) throw AutomationError("Cells takes a row and a column");
  const int row = ToInt(arguments[0], "a row");
  const int column = ToInt(arguments[1], "a column");
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
    throw AutomationError("no such cell");
  }
  return {Place::Kind::Cell, row, column};
}

Place Line(Place::Kind kind, const Arguments& arguments) {
  if (arguments.size() != 1) throw AutomationError("a row or column number is needed");
  const int n = ToInt(arguments[0], "a row or column number");
  const int limit = kind == Place::Kind::Row ? kMaxRows : kMaxColumns;
  if (n < 1 || n > limit) throw AutomationError("no such row or column");
  return kind == Place::Kind::Row ? Place{kind, n, 0} : Place{kind, 0, n};
}

// Applies a change of style to every cell the place covers.
void Restyle(SheetModel& sheet, const Place& place, const std::function<void(CellStyle&)>& change) {
  if (place.kind == Place::Kind::All) {
    change(sheet.defaultStyle);
    for (auto& row : sheet.rows) {
      for (auto& cell : row) {
        if (cell.style) change(*cell.style);
      }
    }
  } else if (place.kind == Place::Kind::Cell) {
    Cell& cell = sheet.At(place.row, place.column);
    if (!cell.style) cell.style = sheet.defaultStyle;
    change(*cell.style);
  } else {
    throw AutomationError("cell formats are kept for single cells or the whole sheet only");
  }
}

class FontObject final : public AutomationObject {
 public:
  FontObject(ServerRef server, Place place) : server_(std::move(server)), place_(place) {}
  Variant Get(const QString& property, const Arguments&) override { Unknown("property", property); }
  void Set(const QString& property, const Variant& value) override {
    if (place_.kind != Place::Kind::All) throw AutomationError("fonts are kept for the whole sheet only");
    SheetFont& font = server_->Sheet().font;
    if (Is(property, "Size")) {
      font.size = ToDouble(value, "Size");
    } else if (Is(property, "Name")) {
      font.name = ToText(value, "Name");
    } else if (Is(property, "FontStyle")) {
      const QString style = ToText(value, "FontStyle");
      font.bold = style.contains(QStringLiteral("加粗")) || style.contains(QLatin1String("Bold"), Qt::CaseInsensitive);
      font.italic = style.contains(QStringLiteral("倾斜")) || style.contains(QLatin1String("Italic"), Qt::CaseInsensitive);
    } else {
      Unknown("property", property);
    }
  }
  Variant Call(const QString& method, const Arguments&) override { Unknown("method", method); }

 private:
  ServerRef server_;
  Place place_;
};

class InteriorObject final : public AutomationObject {
 public:
  InteriorObject(ServerRef server, Place place) : server_(std::move(server)), place_(place) {}
  Variant Get(const QString& property, const Arguments&) override { Unknown("property", property); }
  void Set(const QString& property, const Variant& value) override {
    std::function<void(CellStyle&)> change;
    if (Is(property, "ColorIndex")) {
      const auto v = ToInt(value, "ColorIndex");
      change = [v](CellStyle& s) { s.fillColorIndex = v; };
    } else if (Is(property, "Pattern")) {
      const auto v = ToInt(value, "Pattern");
      change = [v](CellStyle& s) { s.fillPattern = v; };
    } else if (Is(property, "PatternColorIndex")) {
      const auto v = ToInt(value, "PatternColorIndex");
      change = [v](CellStyle& s) { s.patternColorIndex = v; };
    } else {
      Unknown("property", property);
    }
    Restyle(server_->Sheet(), place_, change);
  }
  Variant Call(const QString& method, const Arguments&) override { Unknown("method", method); }

 private:
  ServerRef server_;
  Place place_;
};

class RangeObject final : public AutomationObject, public std::enable_shared_from_this<RangeObject> {
 public:
  RangeObject(ServerRef server, Place place) : server_(std::move(server)), place_(place) {}

  Variant Get(const QString& property, const Arguments& arguments) override {
    NoArguments(arguments, property);
    server_->Sheet();
    if (Is(property, "Font")) return ObjectRef(std::make_shared<FontObject>(server_, place_));
    if (Is(property, "Interior")) return ObjectRef(std::make_shared<InteriorObject>(server_, place_));
    Unknown("property", property);
  }

  void Set(const QString& property, const Variant& value) override {
    SheetModel& sheet = server_->Sheet();
    if (Is(property, "Value")) {
      if (place_.kind != Place::Kind::Cell) throw AutomationError("a value goes into one cell");
      sheet.At(place_.row, place_.column).text = ToText(value, "Value");
    } else if (Is(property, "NumberFormatLocal")) {
      const QString format = ToText(value, "NumberFormatLocal");
      if (format != QLatin1String("@") && format != QStringLiteral("G/通用格式") &&
          format.compare(QLatin1String("General"), Qt::CaseInsensitive) != 0) {
        throw AutomationError("unknown number format '" + format.toStdString() + "'");
      }
      const bool text = format == QLatin1String("@");
      Restyle(sheet, place_, [text](CellStyle& s) { s.textFormat = text; });
    } else if (Is(property, "HorizontalAlignment")) {
      const auto alignment = ToInt(value, "HorizontalAlignment");
      Restyle(sheet, place_, [alignment](CellStyle& s) { s.horizontalAlignment = alignment; });
    } else if (Is(property, "RowHeight")) {
      if (place_.kind != Place::Kind::Row) throw AutomationError("RowHeight belongs to a row");
      sheet.rowHeights[place_.row] = ToDouble(value, "RowHeight");
    } else if (Is(property, "ColumnWidth")) {
      if (place_.kind != Place::Kind::Column) throw AutomationError("ColumnWidth belongs to a column");
      sheet.columnWidths[place_.column] = ToDouble(value, "ColumnWidth");
    } else {
      Unknown("property", property);
    }
  }

  Variant Call(const QString& method, const Arguments& arguments) override {
    NoArguments(arguments, method);
    if (!Is(method, "Select")) Unknown("method", method);
    server_->Sheet();
    server_->selection = shared_from_this();
    return {};
  }

 private:
  ServerRef server_;
  Place place_;
};

ObjectRef Range(const ServerRef& server, Place place) {
  server->Sheet();
  return std::make_shared<RangeObject>(server, place);
}

class WorksheetObject final : public AutomationObject {
 public:
  explicit WorksheetObject(ServerRef server) : server_(std::move(server)) {}
  Variant Get(const QString& property, const Arguments& arguments) override {
    if (Is(property, "Cells")) return Range(server_, CellsAt(arguments));
    Unknown("property", property);
  }
  void Set(const QString& property, const Variant&) override { Unknown("property", property); }
  Variant Call(const QString& method, const Arguments& arguments) override {
    NoArguments(arguments, method);
    if (!Is(method, "Select")) Unknown("method", method);
    server_->Sheet();  // the one sheet is always the active one
    return {};
  }

 private:
  ServerRef server_;
};

class WorkbookObject final : public AutomationObject {
 public:
  explicit WorkbookObject(ServerRef server) : server_(std::move(server)) {}
  Variant Get(const QString& property, const Arguments& arguments) override {
    if (!Is(property, "Sheets")) Unknown("property", property);
    if (arguments.size() != 1 || ToInt(arguments[0], "a sheet number") != 1) {
      throw AutomationError("the workbook has one sheet, Sheets(1)");
    }
    server_->Sheet();
    return ObjectRef(std::make_shared<WorksheetObject>(server_));
  }
  void Set(const QString& property, const Variant&) override { Unknown("property", property); }
  Variant Call(const QString& method, const Arguments& arguments) override {
    if (!Is(method, "SaveAs")) Unknown("method", method);
    if (arguments.empty()) throw AutomationError("SaveAs needs a file name");
    const QString name = ToText(arguments[0], "a file name");
    const auto bytes = XlsFile(server_->Sheet());
    // Written beside the target and renamed over it only when complete: a
    // failure never leaves half a workbook under the name.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
      throw AutomationError("cannot save " + name.toStdString() + ": " + file.errorString().toStdString());
    }
    return {};
  }

 private:
  ServerRef server_;
};

class WorkbooksObject final : public AutomationObject {
 public:
  explicit WorkbooksObject(ServerRef server) : server_(std::move(server)) {}
  Variant Get(const QString& property, const Arguments&) override { Unknown("property", property); }
  void Set(const QString& property, const Variant&) override { Unknown("property", property); }
  Variant Call(const QString& method, const Arguments&) override {
    if (!Is(method, "Add")) Unknown("method", method);
    if (server_->quit) throw AutomationError("the application has quit");
    server_->sheet.emplace();
    server_->selection.reset();
    return ObjectRef(std::make_shared<WorkbookObject>(server_));
  }

 private:
  ServerRef server_;
};

class ApplicationObject final : public AutomationObject {
 public:
  ApplicationObject() : server_(std::make_shared<Server>()) {}

  Variant Get(const QString& property, const Arguments& arguments) override {
    if (Is(property, "Workbooks")) return ObjectRef(std::make_shared<WorkbooksObject>(server_));
    if (Is(property, "ActiveWorkbook")) {
      server_->Sheet();
      return ObjectRef(std::make_shared<WorkbookObject>(server_));
    }
    if (Is(property, "Cells")) return Range(server_, CellsAt(arguments));
    if (Is(property, "Columns")) return Range(server_, Line(Place::Kind::Column, arguments));
    if (Is(property, "Rows")) return Range(server_, Line(Place::Kind::Row, arguments));
    if (Is(property, "Selection")) {
      if (!server_->selection) throw AutomationError("nothing is selected");
      return server_->selection;
    }
    if (Is(property, "Visible")) return server_->visible;
    Unknown("property", property);
  }

  void Set(const QString& property, const Variant& value) override {
    if (!Is(property, "Visible")) Unknown("property", property);
    const auto* visible = std::get_if<bool>(&value);
    if (!visible) throw AutomationError("Visible must be true or false");
    server_->visible = *visible;
  }

  Variant Call(const QString& method, const Arguments& arguments) override {
    NoArguments(arguments, method);
    if (!Is(method, "Quit")) Unknown("method", method);
    server_->quit = true;
    server_->selection.reset();
    return {};
  }

  const SheetModel* Sheet() const { return server_->sheet ? &*server_->sheet : nullptr; }

 private:
  ServerRef server_;
};

}  // namespace

ObjectRef AsObject(const Variant& value, const QString& what) {
  if (const auto* object = std::get_if<ObjectRef>(&value); object && *object) return *object;
  throw AutomationError(what.toStdString() + " is not an object");
}

ObjectRef StartSpreadsheetServer() { return std::make_shared<ApplicationObject>(); }

const SheetModel* SheetOf(const ObjectRef& application) {
  const auto* app = dynamic_cast<const ApplicationObject*>(application.get());
  return app ? app->Sheet() : nullptr;
}

ObjectRef BuiltInAutomation::Create(const QString& className) {
  if (className.compare(kSpreadsheetClass, Qt::CaseInsensitive) != 0) return nullptr;
  return StartSpreadsheetServer();
}

}  // namespace parlomax::spreadsheet
