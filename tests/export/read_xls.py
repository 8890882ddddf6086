"""Reads an .xls file with xlrd, an independent reader, and prints what a
test needs to know about it as JSON: the cells of the first rows and of the
last row, and the formatting of row 1 and row 2."""
import json
import sys

import xlrd


def style(book, sheet, row, col):
    xf = book.xf_list[sheet.cell_xf_index(row, col)]
    return {
        "format": book.format_map[xf.format_key].format_str,
        "hor_align": xf.alignment.hor_align,
        "fill_pattern": xf.background.fill_pattern,
        "pattern_colour": xf.background.pattern_colour_index,
        "background_colour": xf.background.background_colour_index,
    }


def main(path, rows_to_dump):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    font = book.font_list[0]
    report = {
        "sheets": book.nsheets,
        "nrows": sheet.nrows,
        "ncols": sheet.ncols,
        "first_rows": [sheet.row_values(r) for r in range(min(rows_to_dump, sheet.nrows))],
        "last_row": sheet.row_values(sheet.nrows - 1),
        "font": {"name": font.name, "height": font.height},
        "column_widths": [sheet.colinfo_map[c].width if c in sheet.colinfo_map else None
                          for c in range(sheet.ncols)],
        "row_heights": [sheet.rowinfo_map[r].height if r in sheet.rowinfo_map else None
                        for r in range(min(3, sheet.nrows))],
        "header_style": style(book, sheet, 0, 0),
        "cell_style": style(book, sheet, 1, 0) if sheet.nrows > 1 else None,
    }
    json.dump(report, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 5)
