#pragma once
// PROCESSCLASS: reads a report's VIEW record by record for the report manager, and shows how far
// it has come on the progress window.
//
// The VIEW (ViewClass) is a primary file read in one key order (key 0: file order) through its
// file manager, with a filter text in the expression language (evaluator.h). The view binds the
// primary file's fields itself; the procedure binds the other names its filter uses (BIND) on
// the view's evaluator before the first Reset. A filter is compiled at Reset and evaluated on
// every record read; a filter that does not compile lets nothing through, and FilterProblem()
// says in Russian what is wrong with it.
//
// Order: the key order of AddSortOrder, then the order text of AppendOrder (ordertext.h). Without
// an order text the records go to TakeRecord as the key reads them. With one the process object
// is a sorted view: Read() walks the key order first and keeps, for every record that passes the
// filter, its position and its sort values (the key's fields, then the text's parts); at the end
// of the file the positions are sorted (stable: equal values keep the key's order) and Next()
// then re-reads each record by its position. A record deleted since the reading is skipped, and
// one changed since then goes to TakeRecord only if it still passes the filter.
//
// Progress: after every record read (passing the filter or not) the step estimator turns the
// progress field (a field of the record, e.g. FRM:NOMSV) into a percentage between the first
// and the last value of the order; without an estimator the percentage counts the records read
// against the file's record count. A sorted view counts its reading as the first half of the way
// and its printing as the second. The percentage goes into the progress BYTE and, as
// "<n>% Complete", into the text of the percentage control of the progress window.
//
// Damaged records: the reading passes over them (filemanager.h) and counts them; at the end of
// the view the process tells once how many were left out (message 95), so that no report looks
// complete when it is not.

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/classlib/evaluator.h"
#include "framework/classlib/filemanager.h"
#include "framework/classlib/ordertext.h"
#include "framework/classlib/relationmanager.h"
#include "framework/classlib/steps.h"
#include "framework/types/fields.h"

namespace vx {

namespace eng {
class Window;
}

class ViewClass {
public:
    // The primary file; its record fields are bound under their prefixed names.
    void Init(FileManager& primary);
    void Kill();

    Evaluator& Bindings() { return eval_; }
    void SetOrder(int key) { key_ = key; }
    int Order() const { return key_; }
    void SetFilter(std::string text) { filterText_ = std::move(text); }
    const std::string& Filter() const { return filterText_; }
    // Why the filter did not compile; empty when it did (or there is none).
    const std::string& FilterError() const { return filterError_; }

    // The start of the order; compiles the filter. Returns a level.
    int Reset();
    // The next record of the order into the record buffer, whatever the filter says: benign, or
    // notify at the end (no message).
    int NextRaw();
    // True when the record in the buffer passes the filter.
    bool Passes() const;

    FileManager* Primary() const { return primary_; }

private:
    FileManager* primary_ = nullptr;
    Evaluator eval_;
    int key_ = 0;
    std::string filterText_;
    std::string filterError_;
    Expression filter_;
    bool hasFilter_ = false;
    bool bound_ = false;
};

class ProcessClass {
public:
    virtual ~ProcessClass() = default;

    // view, its relation manager, the percentage control of the progress window, the progress
    // BYTE (may be null), the step estimator (may be null) and the progress field.
    void Init(ViewClass& view, RelationManager& relation, int percentControl = 0, std::uint8_t* progress = nullptr,
              StepClass* step = nullptr, VarRef progressField = {});
    virtual void Kill();

    void AddSortOrder(int key);
    // Appends to the order text ("+FRM:datavv,+FRM:nomsv"); blank: the key order alone.
    void AppendOrder(const std::string& order);
    const std::string& OrderText() const { return orderText_; }
    void SetFilter(const std::string& filter);

    // Starts the reading at the start of the order (the limits of the step estimator are read
    // first when it wants them). Returns a level.
    int Reset();
    // A sorted view that is still reading its records (Read), not yet giving them (Next).
    bool Sorted() const { return sorted_; }
    bool Reading() const { return sorted_ && reading_; }
    // Sorted views, while reading: the next record of the key order (kept when it passes the
    // filter): benign, or notify at the end of the file, when the records are sorted.
    int Read();
    // The next record that passes the filter: benign, or notify at the end of the view.
    int Next();
    // Called for every record that passes the filter; the base counts it and returns benign.
    virtual int TakeRecord();

    // Why the filter or the order text cannot be used, in Russian; empty when they can.
    QString FilterProblem() const;

    // The window whose percentage control shows the progress (the report manager sets it).
    void SetProgressWindow(eng::Window* window) { window_ = window; }
    // Writes the percentage into the percentage control ("<n>% Complete").
    void ShowProgress();
    int Percentile() const { return percent_; }
    long long RecordsRead() const { return read_; }
    long long RecordsProcessed() const { return processed_; }
    // Sorted views: the records kept by the reading, and those not yet given by Next.
    std::size_t RecordsFound() const { return rows_.size(); }
    std::size_t RecordsLeft() const { return rows_.size() - next_; }

    ViewClass* View = nullptr;
    RelationManager* Relation = nullptr;
    StepClass* Step = nullptr;
    VarRef ProgressField;
    int PercentControl = 0;
    std::uint8_t* Progress = nullptr;

private:
    struct Row {
        std::uint32_t position = 0;
        SortOrder::Values values;
    };
    // The next record of the key order, whatever the filter says; counts it for the progress.
    bool readRaw();
    void setPercent(int percent);
    void tellLeftOut();

    eng::Window* window_ = nullptr;
    std::string orderText_;
    SortOrder order_;
    bool sorted_ = false;
    bool reading_ = false;
    std::vector<Row> rows_;
    std::size_t next_ = 0;
    std::uint32_t fileRecords_ = 0;
    long long read_ = 0;
    long long processed_ = 0;
    int percent_ = -1;
    std::unique_ptr<FileManager::ReadOperation> counting_;  // from Reset to the end of the view
};

// The expression language's reason, in Russian ("unknown name 'X' at 5" -> "неизвестное имя
// «X» (знак 5)").
QString ExpressionProblem(const std::string& reason);

}  // namespace vx

using VIEWCLASS = vx::ViewClass;
using PROCESSCLASS = vx::ProcessClass;
using STEPREALCLASS = vx::StepRealClass;
