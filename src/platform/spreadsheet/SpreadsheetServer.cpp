#include "platform/spreadsheet/SpreadsheetServer.h"

#include "platform/files/KeptFile.h"
#include "platform/files/SystemReason.h"
#include "platform/spreadsheet/FileNameText.h"
#include "platform/spreadsheet/SheetModel.h"
#include "platform/spreadsheet/XlsWriter.h"

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
  throw AutomationError("表格服务不认识" + std::string(kind) + "“" + name.toStdString() + "”");
}

std::int32_t ToInt(const Variant& v, const char* what) {
  if (const auto* i = std::get_if<std::int32_t>(&v)) return *i;
  if (const auto* d = std::get_if<double>(&v)) return static_cast<std::int32_t>(*d);
  throw AutomationError(std::string(what) + "应当是数字");
}

double ToDouble(const Variant& v, const char* what) {
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* i = std::get_if<std::int32_t>(&v)) return *i;
  throw AutomationError(std::string(what) + "应当是数字");
}

QString ToText(const Variant& v, const char* what) {
  if (const auto* s = std::get_if<QString>(&v)) return *s;
  if (const auto* i = std::get_if<std::int32_t>(&v)) return QString::number(*i);
  if (const auto* d = std::get_if<double>(&v)) return QString::number(*d, 'g', 15);
  throw AutomationError(std::string(what) + "应当是文字");
}

void NoArguments(const Arguments& arguments, const QString& name) {
  if (!arguments.empty()) throw AutomationError(name.toStdString() + "不需要参数");
}

struct Server {
  bool visible = false;
  bool quit = false;
  std::optional<SheetModel> sheet;
  ObjectRef selection;

  SheetModel& Sheet() {
    if (quit) throw AutomationError("表格服务已经退出");
    if (!sheet) throw AutomationError("还没有工作簿");
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
  if (arguments.size() != 2) throw AutomationError("Cells 需要行号和列号");
  const int row = ToInt(arguments[0], "行号");
  const int column = ToInt(arguments[1], "列号");
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
    throw AutomationError("没有这个单元格");
  }
  return {Place::Kind::Cell, row, column};
}

Place Line(Place::Kind kind, const Arguments& arguments) {
  if (arguments.size() != 1) throw AutomationError("需要行号或列号");
  const int n = ToInt(arguments[0], "行号或列号");
  const int limit = kind == Place::Kind::Row ? kMaxRows : kMaxColumns;
  if (n < 1 || n > limit) throw AutomationError("没有这一行或这一列");
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
    throw AutomationError("单元格格式只能设给一个单元格或整张表");
  }
}

class FontObject final : public AutomationObject {
 public:
  FontObject(ServerRef server, Place place) : server_(std::move(server)), place_(place) {}
  Variant Get(const QString& property, const Arguments&) override { Unknown("属性", property); }
  void Set(const QString& property, const Variant& value) override {
    if (place_.kind != Place::Kind::All) throw AutomationError("字体只能设给整张表");
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
      Unknown("属性", property);
    }
  }
  Variant Call(const QString& method, const Arguments&) override { Unknown("方法", method); }

 private:
  ServerRef server_;
  Place place_;
};

class InteriorObject final : public AutomationObject {
 public:
  InteriorObject(ServerRef server, Place place) : server_(std::move(server)), place_(place) {}
  Variant Get(const QString& property, const Arguments&) override { Unknown("属性", property); }
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
      Unknown("属性", property);
    }
    Restyle(server_->Sheet(), place_, change);
  }
  Variant Call(const QString& method, const Arguments&) override { Unknown("方法", method); }

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
    Unknown("属性", property);
  }

  void Set(const QString& property, const Variant& value) override {
    SheetModel& sheet = server_->Sheet();
    if (Is(property, "Value")) {
      if (place_.kind != Place::Kind::Cell) throw AutomationError("一个值只能写进一个单元格");
      sheet.At(place_.row, place_.column).text = ToText(value, "Value");
    } else if (Is(property, "NumberFormatLocal")) {
      const QString format = ToText(value, "NumberFormatLocal");
      if (format != QLatin1String("@") && format != QStringLiteral("G/通用格式") &&
          format.compare(QLatin1String("General"), Qt::CaseInsensitive) != 0) {
        throw AutomationError("不认识的数字格式“" + format.toStdString() + "”");
      }
      const bool text = format == QLatin1String("@");
      Restyle(sheet, place_, [text](CellStyle& s) { s.textFormat = text; });
    } else if (Is(property, "HorizontalAlignment")) {
      const auto alignment = ToInt(value, "HorizontalAlignment");
      Restyle(sheet, place_, [alignment](CellStyle& s) { s.horizontalAlignment = alignment; });
    } else if (Is(property, "RowHeight")) {
      if (place_.kind != Place::Kind::Row) throw AutomationError("RowHeight 只能设给一行");
      sheet.rowHeights[place_.row] = ToDouble(value, "RowHeight");
    } else if (Is(property, "ColumnWidth")) {
      if (place_.kind != Place::Kind::Column) throw AutomationError("ColumnWidth 只能设给一列");
      sheet.columnWidths[place_.column] = ToDouble(value, "ColumnWidth");
    } else {
      Unknown("属性", property);
    }
  }

  Variant Call(const QString& method, const Arguments& arguments) override {
    NoArguments(arguments, method);
    if (!Is(method, "Select")) Unknown("方法", method);
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
    Unknown("属性", property);
  }
  void Set(const QString& property, const Variant&) override { Unknown("属性", property); }
  Variant Call(const QString& method, const Arguments& arguments) override {
    NoArguments(arguments, method);
    if (!Is(method, "Select")) Unknown("方法", method);
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
    if (!Is(property, "Sheets")) Unknown("属性", property);
    if (arguments.size() != 1 || ToInt(arguments[0], "表号") != 1) {
      throw AutomationError("工作簿只有一张表：Sheets(1)");
    }
    server_->Sheet();
    return ObjectRef(std::make_shared<WorksheetObject>(server_));
  }
  void Set(const QString& property, const Variant&) override { Unknown("属性", property); }
  Variant Call(const QString& method, const Arguments& arguments) override {
    if (!Is(method, "SaveAs")) Unknown("方法", method);
    if (arguments.empty()) throw AutomationError("SaveAs 需要文件名");
    const QString name = ToText(arguments[0], "文件名");
    const auto bytes = XlsFile(server_->Sheet());
    // Written as a kept file: a failure never leaves half a workbook under
    // the name, nor takes the place of an earlier one.
    files::KeptFile file;
    const auto path = PathOfFileNameText(name);
    // What a save killed in the middle left behind in this folder.
    files::RemoveLeftovers(path.has_parent_path() ? path.parent_path() : ".", ".xls");
    if (file.Create(path)) {
      file.Write(bytes);
      file.Finish(files::Ending::CompleteOrDiscard);
    }
    if (file.Error() != 0) throw AutomationError(files::WriteFailedText(path, file.Error()).toStdString());
    return {};
  }

 private:
  ServerRef server_;
};

class WorkbooksObject final : public AutomationObject {
 public:
  explicit WorkbooksObject(ServerRef server) : server_(std::move(server)) {}
  Variant Get(const QString& property, const Arguments&) override { Unknown("属性", property); }
  void Set(const QString& property, const Variant&) override { Unknown("属性", property); }
  Variant Call(const QString& method, const Arguments&) override {
    if (!Is(method, "Add")) Unknown("方法", method);
    if (server_->quit) throw AutomationError("表格服务已经退出");
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
      if (!server_->selection) throw AutomationError("没有选中任何单元格");
      return server_->selection;
    }
    if (Is(property, "Visible")) return server_->visible;
    Unknown("属性", property);
  }

  void Set(const QString& property, const Variant& value) override {
    if (!Is(property, "Visible")) Unknown("属性", property);
    const auto* visible = std::get_if<bool>(&value);
    if (!visible) throw AutomationError("Visible 应当是真或假");
    server_->visible = *visible;
  }

  Variant Call(const QString& method, const Arguments& arguments) override {
    NoArguments(arguments, method);
    if (!Is(method, "Quit")) Unknown("方法", method);
    server_->quit = true;
    server_->selection.reset();
    return {};
  }

 private:
  ServerRef server_;
};

}  // namespace

ObjectRef AsObject(const Variant& value, const QString& what) {
  if (const auto* object = std::get_if<ObjectRef>(&value); object && *object) return *object;
  throw AutomationError(what.toStdString() + "不是对象");
}

ObjectRef StartSpreadsheetServer() { return std::make_shared<ApplicationObject>(); }

ObjectRef BuiltInAutomation::Create(const QString& className) {
  if (className.compare(kSpreadsheetClass, Qt::CaseInsensitive) != 0) return nullptr;
  return StartSpreadsheetServer();
}

}  // namespace parlomax::spreadsheet
