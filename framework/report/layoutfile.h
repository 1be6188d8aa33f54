#pragma once
// Declarative report layouts: a report, its bands and their controls described in a text file
// (UTF-8, usually a Qt resource such as ":/reports/print_f1_1.rpt"), built into a Report.
// Bands and controls are numbered from 1 in declaration order, exactly as Report numbers them.
//
//   # a comment line
//   report name=P1$REPORT text="forma1 Report" at=0,0,210,297 font="MS Sans Serif",8,400
//     detail name=?DETAIL at=,,210,297 font="Times New Roman CYR"
//       string use=FRM:Z1 pic=@s50 at=25,30,105,5 font="Times New Roman CYR",11,700
//       line name=?DETAILLINE:0 at=0,0,0,6 colour=0
//     end
//   end
//
// One declaration per line: a keyword, then attributes `key=value`, `key=v1,v2` or bare flags.
// Strings are in double quotes (a doubled quote is one quote); an empty value keeps its place
// (`at=,,210,297`: no position, width 210, height 297). A line ending in `\` continues.
//
// Keywords: `report` (first), the bands `detail`, `header` (page header), `footer` (page
// footer), `form`, `groupheader`, `groupfooter`, each closed by `end`; the controls `string`,
// `line`, `box`.
// Attributes (millimetres throughout):
//   name=?LABEL   the label; a control with `use=` defaults to ? + the USE name
//   use=VAR       the bound variable (resolved when the report is built, on the running thread)
//   text="..."    fixed text of a string without `use=`
//   pic=          the display picture of the bound variable
//   at=x,y,w,h    position and size; an empty or missing width or height is the natural size;
//                 a band's x, y give it a position of its own (page headers and footers)
//   font=face,size,style,colour   style = weight + 0x1000 italic + 0x2000 underline + 0x4000
//                 strike-out; colour 0x00BBGGRR; empty parts inherit
//   colour=, color=   the colour alone; fill= a box's fill colour; pen= line width in mm
//   align=left|right|center|decimal
//   total=count|sum, reset=?BAND   a running total and the band after which it starts again
//   hide          the band or control is hidden
// `report` takes name, text (the title), at (the area), font (the default font) and
// page=w,h (the paper, A4 when not given).

#include <QString>
#include <functional>
#include <stdexcept>
#include <string_view>

#include "framework/report/report.h"
#include "framework/types/fields.h"

namespace vx::rpt {

struct ReportLayoutError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Finds the variable a `use=` names; an invalid VarRef when there is none.
using VarResolver = std::function<vx::VarRef(std::string_view name)>;

// Builds a report from layout text. Throws ReportLayoutError naming the source and the line for
// text that is not a layout and for a `use=` the resolver does not know.
Report parseReport(const QString& text, const QString& source, const VarResolver& resolve);
// The same from a file or Qt resource; the text is read once and kept.
Report loadReport(const QString& path, const VarResolver& resolve);

}  // namespace vx::rpt
