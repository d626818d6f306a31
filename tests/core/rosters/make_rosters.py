#!/usr/bin/python3
"""make_rosters.py: writes the sample workbooks the roster suites read, with
Debian's spreadsheet writers (python3-xlsxwriter, python3-openpyxl).

shared.xlsx (xlsxwriter: shared strings): sheet 名单 with a merged title
row above the header, 工号 as numbers (00123 stored as 123), a 入职日期
column of dates, a blank row, a duplicate 工号 and two 张伟; sheet 备用
with another three people.
inline.xlsx (openpyxl: inline strings): 员工编号/名字/部门名称 from A1."""
import datetime
import os
import sys

import openpyxl
import xlsxwriter

here = os.path.dirname(os.path.abspath(sys.argv[0]))

book = xlsxwriter.Workbook(os.path.join(here, "shared.xlsx"))
sheet = book.add_worksheet("名单")
sheet.merge_range("A1:D1", "2026 年会抽奖名单", book.add_format({"bold": True}))
sheet.write_row(1, 0, ["工号", "姓名", "部门", "入职日期"])
dates = book.add_format({"num_format": "yyyy-mm-dd"})
people = [
    (10001, "张伟", "销售部", datetime.date(2020, 3, 1)),
    (10002, "李娜", "研发部", datetime.date(2021, 7, 15)),
    (123, "王芳", "市场部", datetime.date(2019, 1, 2)),  # 00123 as a number
    None,
    (10004, "张伟", "研发部", datetime.date(2022, 5, 30)),
    (10002, "李娜", "研发部", datetime.date(2021, 7, 15)),  # the same 工号 again
    (10006, "Zoë Müller", "海外部", datetime.date(2023, 11, 11)),
]
for i, person in enumerate(people):
    if person is None:
        continue
    sheet.write_number(2 + i, 0, person[0])
    sheet.write_string(2 + i, 1, person[1])
    sheet.write_string(2 + i, 2, person[2])
    sheet.write_datetime(2 + i, 3, datetime.datetime.combine(person[3], datetime.time()), dates)
spare = book.add_worksheet("备用")
spare.write_row(0, 0, ["ID", "Name", "Dept"])
for row, person in enumerate([("A-1", "赵一", "财务部"), ("A-2", "钱二", "财务部"), ("A-3", "孙三", "行政部")], 1):
    spare.write_row(row, 0, person)
book.close()

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Sheet1"
ws.append(["员工编号", "名字", "部门名称"])
ws.append(["XS1122", "方平", "研发部"])
ws.append(["XS1123", "周晓", "销售部"])
wb.save(os.path.join(here, "inline.xlsx"))
