#pragma once
// BROWSECLASS: a list control fed from one data file through a queue of its own, page by page.
//
// Orders. A browse has one or more orders, numbered from 1 in the order they are added. An order
// reads the file through a key (AddSortOrder(key)) or, with key 0, in no key order at all. An
// order may carry an order text (AppendOrder, ReplaceSort): comma-separated expressions of the
// thread's evaluator, each ascending or, with a leading '-', descending; a leading '+' is
// ascending. An order with a key is page-loaded: only the rows that fit in the list are read, in
// key order, and moving (keys, mouse wheel, navigation buttons, locators) reads from the key; an
// order text added to a keyed order (AppendOrder) sorts the records of equal key value among
// themselves, so a page reads at most the groups of equal key value it touches. An order without
// a key, or one whose order text was replaced (ReplaceSort, a header click), is a sorted view:
// each time the list reloads in it, the whole file (within the range and the filter) is read once
// and sorted by the order text; only record positions and sort values are kept, the rows shown
// are read again by position.
//
// Ranges. AddRange(field, value) limits the last order to records whose field equals the value
// (a variable read at each load, typically a field of another browse's record buffer). The field
// must be the first component of the order's key. A new record gets the range's value in that
// field (priming). A browse whose range comes from another browse (AddRange with a parent) is
// reloaded whenever the parent's highlighted record changes.
//
// Filter. SetFilter(expression) keeps only the records for which the expression holds, in every
// order; blank removes it.
//
// The record buffer follows the highlight: a new selection in the list re-reads the highlighted
// record into the buffer (Update re-reads it too), so the buffer is never a row other than the
// highlighted one once the browse has seen the event.
//
// Forms and prints. The insert, change and delete controls (and the toolbar's 3001-3003, and a
// double click for change) run WindowManager::Run(procedure, request); the print control runs
// Run(printProcedure, 5). Before a change, delete or print the highlighted record is re-read
// into the buffer; an insert first primes a new record (PrimeRecord, then the range fields) and is
// refused when a range has no value (blank or zero). After the form the list reloads: on a
// completed insert or change at the written record, otherwise at its place; then a NewSelection
// is posted to the list and the list gets the focus.

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/classlib/evaluator.h"
#include "framework/classlib/filemanager.h"
#include "framework/classlib/relationmanager.h"
#include "framework/classlib/steps.h"
#include "framework/classlib/toolbar.h"
#include "framework/classlib/windowmanager.h"
#include "framework/engine/window.h"

namespace vx {

// The running logical thread's expression evaluator (its own bindings: BIND of one register never
// reaches another).
Evaluator& ThreadEvaluator();

class BrowseClass;

// A query over the browsed file (query by example): Ask shows it and is true when the user
// accepted it; GetFilter is the filter expression it builds (blank: no condition).
class QueryClass {
public:
    virtual ~QueryClass() = default;
    virtual bool Ask() = 0;
    virtual std::string GetFilter() const = 0;
};

// Locators: how typed text moves the list within the current key order.
class LocatorClass {
public:
    virtual ~LocatorClass() = default;
    // field: the file field located on (the first component of the order's key).
    void Init(int control, const FieldDesc& field, bool noCase = true);
    // A key typed in the list (code page 1251 character, or key::Backspace); true when it moved.
    virtual bool TakeKey(BrowseClass& b, int keycode) { (void)b; (void)keycode; return false; }
    // The locator control was accepted.
    virtual bool TakeAccepted(BrowseClass& b) { (void)b; return false; }
    virtual void Reset() { text_.clear(); }
    int Control() const { return control_; }
    const FieldDesc* Field() const { return field_; }
    const std::string& Text() const { return text_; }

protected:
    int control_ = 0;
    const FieldDesc* field_ = nullptr;
    bool noCase_ = true;
    std::string text_;
};

// Moves to the first record whose field is at least the entry control's value (the control is
// bound to the field of the record buffer, or to any variable holding the value).
class EntryLocatorClass : public LocatorClass {
public:
    bool TakeAccepted(BrowseClass& b) override;
};
// Each key moves to the first record at or after the typed character.
class StepLocatorClass : public LocatorClass {
public:
    bool TakeKey(BrowseClass& b, int keycode) override;
};
// The typed characters add up (Backspace takes one away); every key moves to the first record at
// or after the text typed so far.
class IncrementalLocatorClass : public LocatorClass {
public:
    bool TakeKey(BrowseClass& b, int keycode) override;
};

class BrowseClass : public WindowComponent, public ToolbarTarget {
public:
    BrowseClass();
    ~BrowseClass() override;

    // --- set-up
    // list: the list control; file: the browsed file (its buffer is the browse's record);
    // rel: its relation manager (kept for the caller); the queue's fields in the list's order.
    void Init(int list, FileManager& file, RelationManager* rel, WindowManager& wm,
              std::vector<eng::Queue::Field> queueFields);
    virtual void Kill();
    // A field copied from the record into the queue (queueField 1-based).
    void AddField(const FieldDesc& fileField, int queueField);
    // The queue field that holds the row's record position as text (VIEWPOSITION), 0 for none.
    void SetPositionField(int queueField) { positionField_ = queueField; }
    int AddSortOrder(int key = 0, StepClass* step = nullptr);
    void AppendOrder(const std::string& orderText);   // to the last order added
    void AddRange(const FieldDesc& field, VarRef value, BrowseClass* parent = nullptr);
    void AddLocator(LocatorClass* locator);            // of the last order added
    void SetFilter(const std::string& expression);
    const std::string& Filter() const { return filter_; }

    int InsertControl = 0, ChangeControl = 0, DeleteControl = 0;
    int PrintControl = 0, PrintProcedure = 0;
    int AskProcedure = 0;
    int QueryControl = 0;          // accepting it runs Query and filters the list by it
    QueryClass* Query = nullptr;
    bool PopupMenu = false;

    // --- orders
    int Order() const { return order_; }
    int Orders() const { return static_cast<int>(orders_.size()); }
    // Switches to an order (1-based); reloads when it changed or force. Returns 1 when the order
    // changed, else 0.
    virtual int SetSort(int order, bool force);
    // Reloads in the current order (a derived browse chooses the order here).
    virtual int ResetSort(bool force);
    // The next reload (SetSort, ResetSort) starts at the first row of the order, highlighted,
    // instead of at the highlighted record.
    void StartAtTop() { top_ = true; }
    // The current order's own order text comes back; true when it had been replaced.
    bool RestoreSort();
    // Replaces the current order's order text (kept until RestoreSort or a change of order).
    void ReplaceSort(const std::string& orderText, StepClass* step = nullptr);
    std::string OrderText(int order = 0) const;
    void SetLocator(LocatorClass* locator) { locatorOverride_ = locator; }
    LocatorClass* Locator() const;
    LocatorClass* OrderLocator(int order) const;

    // --- the rows
    // Copies the record buffer into queue row `row` (fields of AddField); a derived browse adds
    // its colours and styles after the base step, reading the row with Q().
    virtual void SetQueueRecord();
    VarRef Q(int queueField) const;   // a field of the row being set
    eng::Queue& Queue() { return *queue_; }
    int Rows() const { return static_cast<int>(rows_.size()); }
    store::Position RowPosition(int row) const;  // row 1-based
    int Selected() const;                        // highlighted row, 1-based, 0 when empty
    // Number of records in the sorted view (sorted orders only), else -1.
    int SortedCount() const { return sorted_ ? static_cast<int>(sortedPos_.size()) : -1; }

    // Reloads the page: from the top, or at the record at pos (highlighted), or where it is.
    void ResetFromTop();
    void ResetAt(store::Position pos);
    void ResetHere();
    // Moves the highlight; each posts a NewSelection when it moved.
    void ScrollOne(bool down);
    void ScrollPage(bool down);
    void ScrollEnd(bool bottom);
    // Locates the first record whose key value is at least the key fields of `record` (a copy of
    // the record layout); with the range in force.
    void LocateFrom(const std::string& record);
    // Locates by the value of `field` set from text (as typed; numbers parsed).
    void LocateText(const FieldDesc& field, const std::string& text);
    // Re-reads the highlighted record into the buffer (nothing when the list is empty).
    void UpdateBuffer();
    // Re-sorts the loaded rows only ("-PRE:FIELD" / "+PRE:FIELD" of a copied field).
    void SortLoadedRows(const std::string& orderText);
    // The queue field of a list column (1-based), and the file field copied into a queue field.
    int ColumnField(int column) const;
    const FieldDesc* FileFieldOf(int queueField) const;

    // Runs the form or the print procedure for a request (1, 2, 3 or 5).
    virtual void Ask(int request);

    // --- the window manager's component steps
    int TakeEvent(WindowManager& wm) override;
    void SetAlerts(WindowManager& wm) override;
    void Update(WindowManager& wm) override;
    void Reset(WindowManager& wm, bool force) override;
    // Toolbar.
    bool TakeToolbar(WindowManager& wm, int button) override;
    int ToolbarControl() const override { return list_; }

    int ListControl() const { return list_; }
    FileManager* File() const { return file_; }
    WindowManager* Manager() const { return wm_; }
    RelationManager* Relation() const { return rel_; }

    // Page size (rows that fit the list), at least 1.
    int PageSize() const;
    // Queue row of the highlighted record for sorting handed to a header (SORTHEADER).
    void RefreshList(int selectRow);

private:
    struct OrderDef {
        int key = 0;
        StepClass* step = nullptr;
        std::string text;       // as added
        std::string replaced;   // ReplaceSort's text, used when replacedOn
        bool replacedOn = false;
        StepClass* replacedStep = nullptr;
        const FieldDesc* rangeField = nullptr;
        VarRef rangeValue;
        BrowseClass* rangeParent = nullptr;
        LocatorClass* locator = nullptr;
    };
    struct Row {
        store::Position pos = 0;
        int index = -1;   // in the sorted view
        std::string q;    // the queue row
    };
    OrderDef* cur();
    const OrderDef* cur() const;
    bool sortedOrder() const;
    bool groupedOrder() const;
    // Records of one key value, in the order text's order (range and filter applied); `after` is
    // the first record past them in key order within the range, 0 when none.
    struct Group {
        std::vector<store::Position> pos;
        std::string keyRec;
        store::Position after = 0;
    };
    Group groupAt(store::Position pos);
    Group loadGroup(const std::string& keyRec);
    store::Position groupBefore(const Group& g);
    store::Position firstOrLast(bool first);
    bool rangeOk();
    bool filterOk();
    bool qualifies();        // the buffer's record, range and filter
    bool rangeEmpty() const;
    void buildSorted();
    // Reads the record after (forward) or before `from`; from 0: the first or last. True with the
    // record in the buffer.
    std::vector<Row> collect(store::Position from, int fromIndex, bool forward, int n, bool inclusive);
    void fill(std::vector<Row> rows);
    void loadFrom(store::Position pos, int index, int rowsAbove);
    void showRows(int selectRow);
    void syncBuffer(bool resetChildren);
    void resetChildren();
    void postSelection();
    bool readAt(const Row& r);
    int readError(int code);
    void compileOrder();

    int list_ = 0;
    FileManager* file_ = nullptr;
    RelationManager* rel_ = nullptr;
    WindowManager* wm_ = nullptr;
    std::unique_ptr<eng::Queue> queue_;
    struct Copy {
        const FieldDesc* from;
        int to;
    };
    std::vector<Copy> copies_;
    int positionField_ = 0;
    int fillRow_ = -1;
    std::vector<OrderDef> orders_;
    int order_ = 0;
    LocatorClass* locatorOverride_ = nullptr;
    std::string filter_;
    Expression filterExpr_;
    std::vector<Row> rows_;
    std::vector<BrowseClass*> children_;
    // Sorted view.
    bool sorted_ = false;
    std::vector<store::Position> sortedPos_;
    std::vector<Expression> orderExprs_;
    std::vector<bool> orderDesc_;
    std::string compiledFor_;
    store::Position buffered_ = 0;   // the record now in the buffer for the highlighted row
    std::string lastRange_;
    bool inForm_ = false;
    bool top_ = false;
};

}  // namespace vx

using BROWSECLASS = vx::BrowseClass;
