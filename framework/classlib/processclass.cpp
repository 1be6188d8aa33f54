#include "processclass.h"

#include <algorithm>

#include "framework/engine/window.h"
#include "framework/store/store.h"

namespace vx {

// ------------------------------------------------------------------ the view

void ViewClass::Init(FileManager& primary) {
    primary_ = &primary;
    if (primary.Record && primary.Buffer && !bound_) {
        eval_.bindRecord(*primary.Record, primary.Buffer);
        bound_ = true;
    }
}

void ViewClass::Kill() {
    if (primary_ && primary_->Record && bound_) eval_.unbindRecord(*primary_->Record);
    bound_ = false;
    primary_ = nullptr;
}

int ViewClass::Reset() {
    filterError_.clear();
    hasFilter_ = false;
    bool blank = std::all_of(filterText_.begin(), filterText_.end(), [](char c) { return c == ' '; });
    if (!blank) {
        filter_ = eval_.compile(filterText_);
        filterError_ = filter_.error();
        hasFilter_ = true;
    }
    if (!primary_) return Level::Notify;
    if (primary_->UseFile() != Level::Benign) return Level::Notify;
    return primary_->File->setStart(key_) == store::NoError ? Level::Benign : Level::Notify;
}

int ViewClass::NextRaw() {
    if (!primary_) return Level::Notify;
    return primary_->TryNext() == store::NoError ? Level::Benign : Level::Notify;
}

bool ViewClass::Passes() const { return !hasFilter_ || filter_.holds(); }

// ------------------------------------------------------------------ the process

void ProcessClass::Init(ViewClass& view, RelationManager& relation, int percentControl, std::uint8_t* progress,
                        StepClass* step, VarRef progressField) {
    View = &view;
    Relation = &relation;
    PercentControl = percentControl;
    Progress = progress;
    Step = step;
    ProgressField = progressField;
    if (relation.Me && !view.Primary()) view.Init(*relation.Me);
    read_ = processed_ = 0;
    percent_ = -1;
    if (Progress) *Progress = 0;
}

void ProcessClass::Kill() {
    if (Step) Step->Kill();
    if (View) View->Kill();
}

void ProcessClass::AddSortOrder(int key) {
    if (View) View->SetOrder(key);
}

void ProcessClass::SetFilter(const std::string& filter) {
    if (View) View->SetFilter(filter);
}

int ProcessClass::Reset() {
    if (!View || !View->Primary()) return Level::Notify;
    FileManager& f = *View->Primary();
    read_ = processed_ = 0;
    percent_ = -1;
    if (Progress) *Progress = 0;
    if (f.UseFile() != Level::Benign) return Level::Notify;
    fileRecords_ = f.Records();
    if (Step && ProgressField.valid() && Step->SetLimitNeeded() && View->Order() > 0) {
        // The first and last values of the order give the estimator its range.
        std::string low, high;
        const std::string saved = f.SaveBuffer();
        if (f.File->setStart(View->Order()) == store::NoError && f.TryNext() == store::NoError) {
            low.assign(reinterpret_cast<const char*>(ProgressField.data), ProgressField.size);
            if (f.File->setEnd(View->Order()) == store::NoError && f.TryPrevious() == store::NoError) {
                high.assign(reinterpret_cast<const char*>(ProgressField.data), ProgressField.size);
                VarRef lo = ProgressField, hi = ProgressField;
                lo.data = reinterpret_cast<unsigned char*>(low.data());
                hi.data = reinterpret_cast<unsigned char*>(high.data());
                Step->SetLimit(lo, hi);
            }
        }
        f.RestoreBuffer(saved);
    }
    ShowProgress();
    return View->Reset();
}

int ProcessClass::Next() {
    if (!View) return Level::Notify;
    while (View->NextRaw() == Level::Benign) {
        ++read_;
        if (Step && ProgressField.valid() && !Step->SetLimitNeeded()) {
            percent_ = std::clamp(Step->GetPercentile(ProgressField), 0, 100);
        } else if (fileRecords_ > 0) {
            percent_ = int(std::min<long long>(100, read_ * 100 / fileRecords_));
        }
        if (Progress) *Progress = std::uint8_t(std::max(percent_, 0));
        if (View->Passes()) return Level::Benign;
    }
    percent_ = 100;
    if (Progress) *Progress = 100;
    return Level::Notify;
}

int ProcessClass::TakeRecord() {
    ++processed_;
    return Level::Benign;
}

void ProcessClass::ShowProgress() {
    if (!window_ || !PercentControl) return;
    const int p = std::max(percent_, 0);
    window_->setProp(PercentControl, eng::Prop::Text, QStringLiteral("%1% Complete").arg(p));
}

}  // namespace vx
