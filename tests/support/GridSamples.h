#pragma once
// Grids for the grid printer's tests and benchmark: a plain in-memory grid, and a
// long result list laid out like the query list under a statistics-style title.
#include "report/PrintableGrid.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <vector>

class MemoryGrid : public PrintableGrid {
public:
    MemoryGrid(int rows, int cols, int height = 285, int width = 1000)
        : heights(rows, height), widths(cols, width), texts(size_t(rows) * cols)
    {
        font.name = QStringLiteral("宋体");
        font.size = 9;
    }

    QString& at(int r, int c) { return texts[size_t(r) * widths.size() + c]; }
    // Every cell of row r holds the same text and the row merges.
    void mergedRow(int r, const QString& t)
    {
        for (int c = 0; c < cols(); ++c)
            at(r, c) = t;
        mergeRows.insert(r);
    }

    std::vector<int> heights;
    std::vector<int> widths;
    std::vector<QString> texts;
    QSet<int> mergeRows, mergeCols;
    QHash<int, GridFont> rowFonts;   // font of cell (r, 0)
    QHash<int, int> rowAlignments;   // alignment of cell (r, 0)
    GridFont font;
    std::pair<int, int> current{0, 0};

    int rows() const override { return int(heights.size()); }
    int cols() const override { return int(widths.size()); }
    int rowHeight(int r) const override { return heights[r]; }
    int colWidth(int c) const override { return widths[c]; }
    QString text(int r, int c) const override { return texts[size_t(r) * widths.size() + c]; }
    bool mergeRow(int r) const override { return mergeRows.contains(r); }
    bool mergeCol(int c) const override { return mergeCols.contains(c); }
    GridFont cellFont(int r, int c) const override { return c == 0 ? rowFonts.value(r, font) : font; }
    int cellAlignment(int r, int c) const override { return c == 0 ? rowAlignments.value(r, General) : General; }
    GridFont gridFont() const override { return font; }
    std::pair<int, int> currentCell() const override { return current; }
};

namespace gridsamples {

inline const QString kTitle = QStringLiteral("放射科报告查询结果一览表");

// n result rows under a title (18 pt, centred, merged), a date-range row (9 pt,
// merged) and the 22 column headers, with a merged totals row at the end. The
// columns are those of the query list, narrowed so that all fit across a landscape
// A3 page within 10 mm margins; the last is the hidden key. Every text fits its cell
// in the grid's 9 points; the long-text columns end in a line break as the query
// list's do.
inline MemoryGrid queryList(int n)
{
    static const QStringList headers{"X线号",    "病人姓名", "性别",     "年龄",     "联系方式", "科室",
                                     "申请医师", "床号",     "住院号",   "门诊号",   "检查日期", "检查次数",
                                     "复核医师", "报告医师", "收费金额", "过敏试验", "检查部位", "结果",
                                     "X线征象",  "诊断意见", "检查名称", "序号"};
    static const int widths[] = {800, 800, 500, 500, 900, 850, 800, 500,  800, 800, 1200,
                                 800, 800, 800, 800, 800, 800, 600, 1300, 900, 900, 0};
    static const QStringList names{"张三丰", "李四", "王小五", "赵敏", "周芷若", "欧阳锋", "黄蓉"};
    static const QStringList sections{"呼吸内科", "骨科", "急诊科", "普外科"};
    static const QStringList parts{"胸部", "腰椎", "膝关节", "头颅"};
    static const QStringList findings{"两肺纹理清晰", "骨质未见异常", "关节间隙变窄", "右下肺片状影"};

    MemoryGrid g(n + 4, 22);
    for (int c = 0; c < 22; ++c) {
        g.widths[c] = widths[c];
        g.at(2, c) = headers[c];
    }
    g.heights[0] = 450;
    g.mergedRow(0, kTitle);
    g.rowFonts[0] = GridFont{QStringLiteral("宋体"), 18};
    g.rowAlignments[0] = PrintableGrid::CenterCenter;
    g.mergedRow(1, QStringLiteral("统计日期: 2024年03月01日 - 2024年03月31日"));
    g.rowFonts[1] = GridFont{QStringLiteral("宋体"), 9};
    for (int i = 0; i < n; ++i) {
        const int r = i + 3;
        const QStringList row{QStringLiteral("X%1").arg(i + 1, 5, 10, QLatin1Char('0')),
                              names[i % names.size()],
                              i % 2 ? "女" : "男",
                              QStringLiteral("%1岁").arg(20 + i % 60),
                              QStringLiteral("138%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
                              sections[i % sections.size()],
                              "李医生",
                              QStringLiteral("%1床").arg(i % 40 + 1),
                              QStringLiteral("ZY%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
                              QStringLiteral("MZ%1").arg((i * 7) % 10000, 4, 10, QLatin1Char('0')),
                              QStringLiteral("2024-03-%1").arg(i % 28 + 1, 2, 10, QLatin1Char('0')),
                              QString::number(i % 3 + 1),
                              "华佗",
                              "扁鹊",
                              QStringLiteral("%1.00").arg(30 + i % 70),
                              i % 5 ? "阴性" : "阳性",
                              parts[i % parts.size()] + "\r\n",
                              "阳性\r\n",
                              findings[i % findings.size()] + "\r\n",
                              "未见异常\r\n",
                              "正侧位\r\n",
                              QString::number(i + 1)};
        for (int c = 0; c < 22; ++c)
            g.at(r, c) = row[c];
    }
    g.mergedRow(n + 3, QStringLiteral("金额合计：%1.00   人次合计：%2").arg(n * 50).arg(n));
    return g;
}
}
